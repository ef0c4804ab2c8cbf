// SPDX-License-Identifier: MIT
#include "ui/dialogs/agentpropertiesdialog.h"

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

} // namespace

TAgentPropertiesDialog::TAgentPropertiesDialog(QWidget *owner, const QString &agent) : QDialog(owner)
{
    setObjectName(QStringLiteral("AgentPropertiesDialog"));
    setWindowTitle(tr("Agent Properties"));
    setFont(norvaneFont());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    createControls(agent);
    updateFields();
    cboVersion->setFocus();
}

void TAgentPropertiesDialog::createControls(const QString &agent)
{
    auto *form = new QFormLayout;
    const auto addRow = [&](const QString &caption, QWidget *field, const char *name) {
        field->setObjectName(QLatin1String(name));
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    auto *lblAgent = new QLabel(agent, this);
    lblAgent->setObjectName(QStringLiteral("lblAgentText"));
    lblAgent->setTextFormat(Qt::PlainText);
    form->addRow(new QLabel(tr("Agent:"), this), lblAgent);

    cboVersion = new QComboBox(this);
    cboVersion->addItems({tr("Default (the Options version)"), QStringLiteral("1"), QStringLiteral("2c"), QStringLiteral("3")});
    addRow(tr("SNMP &version:"), cboVersion, "cboVersion");
    edtUser = new QLineEdit(this);
    addRow(tr("&User name:"), edtUser, "edtUser");
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
    edtContext = new QLineEdit(this);
    addRow(tr("Con&text:"), edtContext, "edtContext");

    chkRemember = new QCheckBox(tr("&Remember passphrases in the desktop keyring"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));
    lblSecrets = new QLabel(this);
    lblSecrets->setObjectName(QStringLiteral("lblSecrets"));

    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkRemember);
    layout->addWidget(lblSecrets);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cboVersion, &QComboBox::currentIndexChanged, this, &TAgentPropertiesDialog::updateFields);
    connect(cboLevel, &QComboBox::currentIndexChanged, this, &TAgentPropertiesDialog::updateFields);
    connect(chkRemember, &QCheckBox::toggled, this, &TAgentPropertiesDialog::updateFields);
}

void TAgentPropertiesDialog::updateFields()
{
    const bool v3 = cboVersion->currentIndex() == int(AgentVersion::V3);
    const int level = cboLevel->currentIndex() + 1;
    const bool auth = v3 && level >= int(SecurityLevel::AuthNoPriv);
    const bool priv = v3 && level >= int(SecurityLevel::AuthPriv);
    edtUser->setEnabled(v3);
    cboLevel->setEnabled(v3);
    edtContext->setEnabled(v3);
    cboAuth->setEnabled(auth);
    edtAuthPass->setEnabled(auth);
    cboPriv->setEnabled(priv);
    edtPrivPass->setEnabled(priv);
    chkRemember->setEnabled(auth);
    if (!v3)
        lblSecrets->setText(tr("Versions 1 and 2c send the community of the Community box."));
    else if (chkRemember->isChecked() && auth)
        lblSecrets->setText(tr("Passphrases go to the desktop keyring; the Community box is not used."));
    else
        lblSecrets->setText(tr("Passphrases are kept in memory until Norvane exits; the Community box is not used."));
}

void TAgentPropertiesDialog::setProperties(const AgentProperties &p, const Secret &authPassphrase,
                                           const Secret &privPassphrase)
{
    cboVersion->setCurrentIndex(int(p.version));
    edtUser->setText(p.userName);
    cboLevel->setCurrentIndex(int(p.level) - 1);
    cboAuth->setCurrentIndex(int(p.auth) - 1);
    cboPriv->setCurrentIndex(int(p.priv) - 1);
    edtContext->setText(p.context);
    chkRemember->setChecked(p.rememberPassphrases);
    QString text = authPassphrase.toText();
    edtAuthPass->setText(text);
    wipeText(text);
    text = privPassphrase.toText();
    edtPrivPass->setText(text);
    wipeText(text);
    updateFields();
}

AgentProperties TAgentPropertiesDialog::properties() const
{
    AgentProperties p;
    p.version = AgentVersion(cboVersion->currentIndex());
    p.userName = edtUser->text();
    p.level = SecurityLevel(cboLevel->currentIndex() + 1);
    p.auth = AuthProtocol(cboAuth->currentIndex() + 1);
    p.priv = PrivProtocol(cboPriv->currentIndex() + 1);
    p.context = edtContext->text();
    p.rememberPassphrases = chkRemember->isChecked();
    return p;
}

Secret TAgentPropertiesDialog::authPassphrase() const
{
    QString text = edtAuthPass->text();
    Secret secret = Secret::fromText(text);
    wipeText(text);
    return secret;
}

Secret TAgentPropertiesDialog::privPassphrase() const
{
    QString text = edtPrivPass->text();
    Secret secret = Secret::fromText(text);
    wipeText(text);
    return secret;
}

void TAgentPropertiesDialog::clearPassphrases()
{
    edtAuthPass->clear();
    edtPrivPass->clear();
}

bool TAgentPropertiesDialog::edit(QWidget *owner, const QString &agent, AgentProperties &properties,
                                  Secret &authPassphrase, Secret &privPassphrase)
{
    // Held by a guarded pointer: the owner may go while the dialog runs.
    QPointer<TAgentPropertiesDialog> dialog = new TAgentPropertiesDialog(owner, agent);
    const auto release = qScopeGuard([&dialog] {
        if (dialog)
            dialog->clearPassphrases();
        delete dialog.data();
    });
    dialog->setProperties(properties, authPassphrase, privPassphrase);
    if (dialog->exec() != QDialog::Accepted || !dialog)
        return false;
    properties = dialog->properties();
    authPassphrase = dialog->authPassphrase();
    privPassphrase = dialog->privPassphrase();
    return true;
}
