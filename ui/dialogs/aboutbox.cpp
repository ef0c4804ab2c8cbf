// SPDX-License-Identifier: MIT
#include "ui/dialogs/aboutbox.h"

#include "ui/widgets/dialogframe.h"
#include "ui/widgets/programicon.h"
#include "ui/widgets/uifont.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int clientWidth = 353;
constexpr int clientHeight = 89;
constexpr int textX = 64;
constexpr int buttonRightMargin = 10;
constexpr int largeIconSize = 32;

} // namespace

TAboutBox::TAboutBox(QWidget *owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(tr("About Norvane"));
    setFont(norvaneFont());
    createControls();
    FormCreate();
    btnOk->setFocus();
}

void TAboutBox::createControls()
{
    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(16, 28, largeIconSize, largeIconSize);
    ProgramIcon->setAccessibleName(tr("Program icon"));

    const auto makeLabel = [this](const char *name, const QString &text, int y) {
        auto *label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setTextFormat(Qt::PlainText);
        label->move(textX, y);
        label->resize(label->sizeHint());
        return label;
    };
    lblName = makeLabel("lblName", QStringLiteral("Norvane"), 9);
    QPalette black = lblName->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    lblName->setPalette(black);
    lblVersion = makeLabel("lblVersion", tr("Version %1").arg(QStringLiteral(NORVANE_VERSION)), 29);
    lblCopyright =
        makeLabel("lblCopyright", QStringLiteral("Copyright (C) 2026 Ferrolyn. Free software under the MIT licence."), 48);

    btnOk = new QPushButton(tr("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    // The copyright line runs under the button and may use the full width;
    // a font that sets it wider than that widens the box, the button keeping
    // its right margin.
    const int width = std::max(clientWidth, lblCopyright->geometry().right() + 1 + buttonRightMargin);
    btnOk->setGeometry(width - buttonRightMargin - 75, 10, 75, 25);
    setFixedDialogFrame(this, QSize(width, clientHeight));
}

// Shows the icon the executable carries, at the large-icon size; without
// one the image stays empty.
void TAboutBox::FormCreate()
{
    const QIcon icon = programIcon();
    if (!icon.isNull())
        ProgramIcon->setPixmap(icon.pixmap(QSize(largeIconSize, largeIconSize), devicePixelRatio()));
}

// Esc presses OK, the box's cancel button as well as its default button.
void TAboutBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnOk->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
