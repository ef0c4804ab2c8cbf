// SPDX-License-Identifier: MIT
#include "ui/dialogs/optionsdialog.h"

#include "ui/widgets/dialogframe.h"
#include "ui/widgets/uifont.h"
#include "ui/widgets/updown.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

#include <algorithm>

namespace {

constexpr int clientWidth = 265;
constexpr int labelX = 16;
constexpr int editX = 157;
constexpr int editWidth = 60;
constexpr int rowHeight = 21;
constexpr int spinnerWidth = 15;
// The version row, below the retry count, adds its 35 pixels to the
// group box and the dialog and moves the buttons down by as much.
constexpr int versionRowY = 92;
constexpr int addedHeight = 35;
constexpr int clientHeight = 145 + addedHeight;

} // namespace

TOptionsDialog::TOptionsDialog(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(tr("Options"));
    setFont(norvaneFont());
    createControls();
    edtTimeOut->setFocus();
}

void TOptionsDialog::createControls()
{
    GroupBox = new QGroupBox(tr("SnmpMgrOpen settings"), this);
    GroupBox->setObjectName(QStringLiteral("GroupBox"));

    struct Row
    {
        QLabel *label;
        QLineEdit *edit;
        TUpDown *spinner;
    };
    const auto makeRow = [this](const char *editName, const char *spinnerName, const QString &caption, int y,
                                int labelY, int minimum, int maximum, int step) {
        auto *edit = new QLineEdit(GroupBox);
        edit->setObjectName(QLatin1String(editName));
        // Read-only: the value changes only through the spinner. The design's
        // length limits (5 and 1 characters) are left out, as a limit here
        // would also cut the text the spinner writes, and nothing can be typed.
        edit->setReadOnly(true);
        auto *spinner = new TUpDown(GroupBox);
        spinner->setObjectName(QLatin1String(spinnerName));
        spinner->setRange(minimum, maximum);
        spinner->setStep(step);
        spinner->setPosition(minimum);
        spinner->setBuddy(edit);
        auto *label = new QLabel(caption, GroupBox);
        label->setBuddy(edit);
        label->move(labelX, labelY);
        label->resize(label->sizeHint());
        edit->setGeometry(editX, y, editWidth, rowHeight);
        spinner->setGeometry(editX + editWidth, y, spinnerWidth, rowHeight);
        return Row{label, edit, spinner};
    };
    const Row timeOut = makeRow("edtTimeOut", "udTimeOut", tr("Communication &timeout (ms): "), 22, 26, 1000,
                                32000, 1000);
    const Row retries = makeRow("edtRetries", "udRetries", tr("Communication &retry count:"), 57, 61, 1, 9, 1);
    edtTimeOut = timeOut.edit;
    udTimeOut = timeOut.spinner;
    edtRetries = retries.edit;
    udRetries = retries.spinner;

    // As wide as an edit with its spinner, so that the right edges line up.
    cboVersion = new QComboBox(GroupBox);
    cboVersion->setObjectName(QStringLiteral("cboVersion"));
    cboVersion->addItems({QStringLiteral("1"), QStringLiteral("2c")});
    cboVersion->setGeometry(editX, versionRowY, editWidth + spinnerWidth, rowHeight);
    auto *versionLabel = new QLabel(tr("SNMP &version:"), GroupBox);
    versionLabel->setBuddy(cboVersion);
    versionLabel->move(labelX, versionRowY + 4);
    versionLabel->resize(versionLabel->sizeHint());

    btnOk = new QPushButton(tr("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Where the font at hand sets a label wider than the room before its
    // edit, the edits, the group box and the dialog move or grow by just
    // that much, the buttons keeping their right margin.
    const int labelRight =
        labelX + std::max({timeOut.label->width(), retries.label->width(), versionLabel->width()});
    const int extra = std::max(0, labelRight - editX);
    for (const Row &row : {timeOut, retries}) {
        row.edit->move(row.edit->x() + extra, row.edit->y());
        row.spinner->move(row.spinner->x() + extra, row.spinner->y());
    }
    cboVersion->move(cboVersion->x() + extra, cboVersion->y());
    GroupBox->setGeometry(8, 8, 249 + extra, 95 + addedHeight);
    btnOk->setGeometry(102 + extra, 112 + addedHeight, 75, 25);
    btnCancel->setGeometry(182 + extra, 112 + addedHeight, 75, 25);
    setFixedDialogFrame(this, QSize(clientWidth + extra, clientHeight));

    setTabOrder(edtTimeOut, edtRetries);
    setTabOrder(edtRetries, cboVersion);
    setTabOrder(cboVersion, btnOk);
    setTabOrder(btnOk, btnCancel);
}

void TOptionsDialog::setPositions(int timeOut, int retries)
{
    udTimeOut->setPosition(timeOut);
    udRetries->setPosition(retries);
}

int TOptionsDialog::timeOutPosition() const
{
    return udTimeOut->position();
}

int TOptionsDialog::retriesPosition() const
{
    return udRetries->position();
}

void TOptionsDialog::setVersion(SnmpVersion version)
{
    cboVersion->setCurrentIndex(version == SnmpVersion::V2c ? 1 : 0);
}

SnmpVersion TOptionsDialog::version() const
{
    return cboVersion->currentIndex() == 1 ? SnmpVersion::V2c : SnmpVersion::V1;
}

bool TOptionsDialog::edit(QWidget *owner, int &timeOut, int &retries, SnmpVersion &version)
{
    // Held by a guarded pointer: the owner may go while the dialog runs.
    QPointer<TOptionsDialog> dialog = new TOptionsDialog(owner);
    const auto release = qScopeGuard([&dialog] { delete dialog.data(); });
    dialog->setPositions(timeOut, retries);
    dialog->setVersion(version);
    if (dialog->exec() != QDialog::Accepted || !dialog)
        return false;
    timeOut = dialog->timeOutPosition();
    retries = dialog->retriesPosition();
    version = dialog->version();
    return true;
}
