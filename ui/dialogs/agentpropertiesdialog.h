// SPDX-License-Identifier: MIT
#pragma once

#include "common/agentproperties.h"
#include "common/secret.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Agent Properties: the SNMP version one agent text speaks and its SNMPv3
// settings. Fields the chosen version and level do not use are disabled;
// the passphrases echo as dots.
class TAgentPropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    TAgentPropertiesDialog(QWidget *owner, const QString &agent);

    void setProperties(const AgentProperties &properties, const Secret &authPassphrase, const Secret &privPassphrase);
    AgentProperties properties() const;
    Secret authPassphrase() const;
    Secret privPassphrase() const;

    // The whole open sequence: on OK assigns the properties and passphrases
    // and returns true; otherwise leaves them as they were.
    static bool edit(QWidget *owner, const QString &agent, AgentProperties &properties, Secret &authPassphrase,
                     Secret &privPassphrase);

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
    QCheckBox *chkRemember = nullptr;
    QLabel *lblSecrets = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};
