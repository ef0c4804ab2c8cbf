// SPDX-License-Identifier: MIT
#include "ui/dialogs/trapuserdialog.h"

#include "ui/widgets/uifont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

template<size_t N>
QStringList names(const char *const (&list)[N])
{
    QStringList out;
    for (const char *name : list)
        out << QString::fromLatin1(name);
    return out;
}

Secret secretOf(const QLineEdit *edit)
{
    QString text = edit->text();
    Secret secret = Secret::fromText(text);
    wipeText(text);
    return secret;
}

void showSecret(QLineEdit *edit, const Secret &secret)
{
    QString text = secret.toText();
    edit->setText(text);
    wipeText(text);
}

} // namespace

std::optional<QByteArray> engineIdFromText(const QString &text)
{
    QString hex = text.simplified().remove(u' ').remove(u':');
    if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = hex.mid(2);
    if (hex.isEmpty())
        return QByteArray();
    for (const QChar c : hex) {
        if (!isxdigit(c.toLatin1()))
            return std::nullopt;
    }
    if (hex.size() % 2 != 0 || hex.size() < 10 || hex.size() > 64)
        return std::nullopt;
    return QByteArray::fromHex(hex.toLatin1());
}

TTrapUserDialog::TTrapUserDialog(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("TrapUserDialog"));
    setWindowTitle(tr("SNMPv3 User"));
    setFont(norvaneFont());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    createControls();
    updateFields();
    edtUser->setFocus();
}

void TTrapUserDialog::createControls()
{
    auto *form = new QFormLayout;
    const auto addRow = [&](const QString &caption, QWidget *field, const char *name) {
        field->setObjectName(QLatin1String(name));
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    edtUser = new QLineEdit(this);
    addRow(tr("&User name:"), edtUser, "edtUser");
    edtEngineId = new QLineEdit(this);
    edtEngineId->setPlaceholderText(tr("none: informs only"));
    edtEngineId->setToolTip(tr("The engine ID of the agent whose traps this user signs, in hex"));
    // Room for the longest, 32 octets.
    edtEngineId->setMinimumWidth(edtEngineId->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 66);
    addRow(tr("Sender's &engine ID:"), edtEngineId, "edtEngineId");
    cboLevel = new QComboBox(this);
    cboLevel->addItems(names(usmnames::Levels));
    addRow(tr("Security &level:"), cboLevel, "cboLevel");
    cboAuth = new QComboBox(this);
    cboAuth->addItems(names(usmnames::Auth));
    addRow(tr("&Authentication:"), cboAuth, "cboAuth");
    edtAuthPass = new QLineEdit(this);
    edtAuthPass->setEchoMode(QLineEdit::Password);
    addRow(tr("Authentication pass&phrase:"), edtAuthPass, "edtAuthPass");
    cboPriv = new QComboBox(this);
    cboPriv->addItems(names(usmnames::Priv));
    addRow(tr("P&rivacy:"), cboPriv, "cboPriv");
    edtPrivPass = new QLineEdit(this);
    edtPrivPass->setEchoMode(QLineEdit::Password);
    addRow(tr("Privacy passph&rase:"), edtPrivPass, "edtPrivPass");
    chkRemember = new QCheckBox(tr("Re&member passphrases in the desktop keyring"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));

    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkRemember);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cboLevel, &QComboBox::currentIndexChanged, this, &TTrapUserDialog::updateFields);
    connect(edtUser, &QLineEdit::textChanged, this, &TTrapUserDialog::updateFields);
    connect(edtEngineId, &QLineEdit::textChanged, this, &TTrapUserDialog::updateFields);
}

void TTrapUserDialog::updateFields()
{
    const int level = cboLevel->currentIndex() + 1;
    const bool auth = level >= int(SecurityLevel::AuthNoPriv);
    const bool priv = level >= int(SecurityLevel::AuthPriv);
    cboAuth->setEnabled(auth);
    edtAuthPass->setEnabled(auth);
    cboPriv->setEnabled(priv);
    edtPrivPass->setEnabled(priv);
    chkRemember->setEnabled(auth);
    btnOk->setEnabled(!edtUser->text().isEmpty() && engineIdFromText(edtEngineId->text()));
}

void TTrapUserDialog::setUser(const TrapUser &u, const Secret &authPassphrase, const Secret &privPassphrase)
{
    edtUser->setText(u.userName);
    edtEngineId->setText(QString::fromLatin1(u.engineId.toHex()));
    cboLevel->setCurrentIndex(int(u.level) - 1);
    cboAuth->setCurrentIndex(int(u.auth) - 1);
    cboPriv->setCurrentIndex(int(u.priv) - 1);
    chkRemember->setChecked(u.rememberPassphrases);
    showSecret(edtAuthPass, authPassphrase);
    showSecret(edtPrivPass, privPassphrase);
    updateFields();
}

TrapUser TTrapUserDialog::user() const
{
    TrapUser u;
    u.userName = edtUser->text();
    u.engineId = engineIdFromText(edtEngineId->text()).value_or(QByteArray());
    u.level = SecurityLevel(cboLevel->currentIndex() + 1);
    u.auth = AuthProtocol(cboAuth->currentIndex() + 1);
    u.priv = PrivProtocol(cboPriv->currentIndex() + 1);
    u.rememberPassphrases = chkRemember->isChecked();
    return u;
}

Secret TTrapUserDialog::authPassphrase() const
{
    return secretOf(edtAuthPass);
}

Secret TTrapUserDialog::privPassphrase() const
{
    return secretOf(edtPrivPass);
}

bool TTrapUserDialog::edit(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase)
{
    // Held by a guarded pointer: the owner may go while the dialog runs.
    QPointer<TTrapUserDialog> dialog = new TTrapUserDialog(owner);
    const auto release = qScopeGuard([&dialog] {
        if (dialog) {
            dialog->edtAuthPass->clear();
            dialog->edtPrivPass->clear();
        }
        delete dialog.data();
    });
    dialog->setUser(user, authPassphrase, privPassphrase);
    if (dialog->exec() != QDialog::Accepted || !dialog)
        return false;
    user = dialog->user();
    authPassphrase = dialog->authPassphrase();
    privPassphrase = dialog->privPassphrase();
    return true;
}
