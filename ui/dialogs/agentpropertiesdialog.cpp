// SPDX-License-Identifier: MIT
#include "ui/dialogs/agentpropertiesdialog.h"

#include "ui/widgets/uifont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A passphrase's text with room to grow: typing into a field whose text
// must grow moves it to a larger buffer and frees the old one as it was.
QString passphraseText(const Secret &secret)
{
    QString decoded = secret.toText();
    QString text;
    text.reserve(std::max<qsizetype>(64, 2 * decoded.size()));
    text.append(decoded);
    wipeText(decoded);
    return text;
}

// Overwrites a field's text where the field holds it (text() shares that
// buffer; a write through it reaches the field's copy), then empties it:
// clear() alone frees the buffer as it was.
void wipeField(QLineEdit *field)
{
    const QString text = field->text();
    volatile char16_t *p = const_cast<char16_t *>(reinterpret_cast<const char16_t *>(text.constData()));
    for (qsizetype i = 0; i < text.size(); ++i)
        p[i] = 0;
    field->clear();
}

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
    edtWriteCommunity = new QLineEdit(this);
    edtWriteCommunity->setEchoMode(QLineEdit::Password);
    edtWriteCommunity->setAccessibleName(tr("Write community"));
    addRow(tr("&Write community:"), edtWriteCommunity, "edtWriteCommunity");

    chkRemember = new QCheckBox(tr("&Remember passphrases in the desktop keyring"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));
    btnForget = new QPushButton(tr("&Forget passphrases"), this);
    btnForget->setObjectName(QStringLiteral("btnForget"));
    btnForget->setAutoDefault(false);
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
    auto *remember = new QHBoxLayout;
    remember->addWidget(chkRemember, 1);
    remember->addWidget(btnForget);
    layout->addLayout(remember);
    layout->addWidget(lblSecrets);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cboVersion, &QComboBox::currentIndexChanged, this, &TAgentPropertiesDialog::updateFields);
    connect(cboLevel, &QComboBox::currentIndexChanged, this, &TAgentPropertiesDialog::updateFields);
    connect(chkRemember, &QCheckBox::toggled, this, &TAgentPropertiesDialog::updateFields);
    connect(btnForget, &QPushButton::clicked, this, [this] {
        clearPassphrases();
        m_forgotten = true;
        edtAuthPass->setFocus();
    });
    for (QLineEdit *field : {edtAuthPass, edtPrivPass, edtWriteCommunity})
        connect(field, &QLineEdit::textEdited, this, [this] { m_forgotten = false; });
    connect(edtWriteCommunity, &QLineEdit::textChanged, this, &TAgentPropertiesDialog::updateFields);
}

TAgentPropertiesDialog::~TAgentPropertiesDialog()
{
    clearPassphrases();
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
    const bool writeCommunity = !v3 && !edtWriteCommunity->text().isEmpty();
    edtWriteCommunity->setEnabled(!v3);
    chkRemember->setEnabled(auth || writeCommunity);
    btnForget->setEnabled(v3 || writeCommunity);
    if (!v3 && chkRemember->isChecked() && writeCommunity && !m_keyringProblem.isEmpty())
        lblSecrets->setText(m_keyringProblem);
    else if (!v3 && chkRemember->isChecked() && writeCommunity)
        lblSecrets->setText(tr("Reads send the Community box's community; the write community goes to the desktop keyring."));
    else if (!v3 && writeCommunity)
        lblSecrets->setText(tr("Reads send the Community box's community; the write community is kept in memory until Norvane exits."));
    else if (!v3)
        lblSecrets->setText(tr("Versions 1 and 2c send the community of the Community box."));
    else if (chkRemember->isChecked() && auth && !m_keyringProblem.isEmpty())
        lblSecrets->setText(m_keyringProblem);
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
    QString text = passphraseText(authPassphrase);
    edtAuthPass->setText(text);
    wipeText(text);
    text = passphraseText(privPassphrase);
    edtPrivPass->setText(text);
    wipeText(text);
    updateFields();
}

void TAgentPropertiesDialog::setKeyringProblem(const QString &problem)
{
    m_keyringProblem = problem;
    lblSecrets->setWordWrap(!problem.isEmpty());
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

Secret TAgentPropertiesDialog::writeCommunity() const
{
    QString text = edtWriteCommunity->text();
    Secret secret = Secret::fromText(text);
    wipeText(text);
    return secret;
}

void TAgentPropertiesDialog::setWriteCommunity(const Secret &community)
{
    QString text = passphraseText(community);
    edtWriteCommunity->setText(text);
    wipeText(text);
}

void TAgentPropertiesDialog::clearPassphrases()
{
    wipeField(edtAuthPass);
    wipeField(edtPrivPass);
    wipeField(edtWriteCommunity);
}

bool TAgentPropertiesDialog::edit(QWidget *owner, AgentPropertiesEdit &edit)
{
    // Held by a guarded pointer: the owner may go while the dialog runs.
    QPointer<TAgentPropertiesDialog> dialog = new TAgentPropertiesDialog(owner, edit.agent);
    const auto release = qScopeGuard([&dialog] { delete dialog.data(); });
    dialog->setProperties(edit.properties, edit.authPassphrase, edit.privPassphrase);
    dialog->setWriteCommunity(edit.writeCommunity);
    dialog->setKeyringProblem(edit.keyringProblem);
    if (dialog->exec() != QDialog::Accepted || !dialog)
        return false;
    edit.properties = dialog->properties();
    edit.authPassphrase = dialog->authPassphrase();
    edit.privPassphrase = dialog->privPassphrase();
    edit.writeCommunity = dialog->writeCommunity();
    edit.forgetPassphrases = dialog->forgetPassphrases();
    return true;
}
