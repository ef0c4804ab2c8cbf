// SPDX-License-Identifier: MIT
#pragma once

#include "common/secret.h"
#include "store/settings.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// One SNMPv3 user whose notifications the Traps window takes: its name, the
// engine ID of the sender whose traps it signs (empty: informs only, which
// are checked against Norvane's own engine ID), its level, protocols and
// passphrases. OK needs a name and an engine ID of 5 to 32 octets in hex, or none.
class TTrapUserDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TTrapUserDialog(QWidget *owner);

    void setUser(const TrapUser &user, const Secret &authPassphrase, const Secret &privPassphrase);
    TrapUser user() const;
    Secret authPassphrase() const;
    Secret privPassphrase() const;

    // On OK assigns the user and passphrases and returns true.
    static bool edit(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase);

private:
    void createControls();
    void updateFields();

    QLineEdit *edtUser = nullptr;
    QLineEdit *edtEngineId = nullptr;
    QComboBox *cboLevel = nullptr;
    QComboBox *cboAuth = nullptr;
    QLineEdit *edtAuthPass = nullptr;
    QComboBox *cboPriv = nullptr;
    QLineEdit *edtPrivPass = nullptr;
    QCheckBox *chkRemember = nullptr;
    QPushButton *btnOk = nullptr;
};

// The engine ID a text gives ("0x8000000001020304", "80 00 00 00 01"): its
// octets, or nothing when it is no hex of 5 to 32 octets. Empty for an empty text.
std::optional<QByteArray> engineIdFromText(const QString &text);
