// SPDX-License-Identifier: MIT
#pragma once

#include "ui/dialogs/agentpropertiesedit.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Agent Properties: the SNMP version one agent text speaks and its SNMPv3
// settings. Fields the chosen version and level do not use are disabled;
// the passphrases echo as dots, and their fields' text is overwritten before
// the fields let it go. Forget passphrases empties both; OK then removes
// them from memory and from the keyring.
class TAgentPropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    TAgentPropertiesDialog(QWidget *owner, const QString &agent);
    ~TAgentPropertiesDialog() override;

    void setProperties(const AgentProperties &properties, const Secret &authPassphrase, const Secret &privPassphrase);
    // Said instead of where remembered passphrases go; empty while the keyring is used.
    void setKeyringProblem(const QString &problem);
    AgentProperties properties() const;
    Secret authPassphrase() const;
    Secret privPassphrase() const;
    Secret writeCommunity() const;
    void setWriteCommunity(const Secret &community);
    // Forget passphrases was pressed and nothing typed since.
    bool forgetPassphrases() const { return m_forgotten; }

    // The whole open sequence: on OK writes the edit's properties,
    // passphrases and forgetPassphrases and returns true; otherwise leaves
    // the edit as it was.
    static bool edit(QWidget *owner, AgentPropertiesEdit &edit);

private:
    void createControls(const QString &agent);
    void updateFields();
    void clearPassphrases();

    QComboBox *cboVersion = nullptr;
    QLineEdit *edtUser = nullptr;
    QComboBox *cboLevel = nullptr;
    QComboBox *cboAuth = nullptr;
    QLineEdit *edtAuthPass = nullptr;
    QComboBox *cboPriv = nullptr;
    QLineEdit *edtPrivPass = nullptr;
    QLineEdit *edtContext = nullptr;
    QLineEdit *edtWriteCommunity = nullptr;
    QCheckBox *chkRemember = nullptr;
    QPushButton *btnForget = nullptr;
    QLabel *lblSecrets = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QString m_keyringProblem;
    bool m_forgotten = false;
};
