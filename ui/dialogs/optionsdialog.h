// SPDX-License-Identifier: MIT
#pragma once

#include "common/snmpversion.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TUpDown;

// Edits the transport settings: the timeout in milliseconds and the retry
// count, each through a read-only edit with an up-down spinner, and the SNMP
// version through a drop-down list. The spinners hold signed 16-bit
// positions: a setting goes in as its low 16 bits and comes back sign-extended.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(QWidget *owner);

    void setPositions(int timeOut, int retries);
    int timeOutPosition() const;
    int retriesPosition() const;
    void setVersion(SnmpVersion version);
    SnmpVersion version() const;

    // The whole open sequence: shows the dialog modally over `owner` with the
    // settings; on OK assigns all three (changed or not) and returns true,
    // otherwise leaves them as they were and returns false.
    static bool edit(QWidget *owner, int &timeOut, int &retries, SnmpVersion &version);

private:
    void createControls();

    QGroupBox *GroupBox = nullptr;
    QLineEdit *edtTimeOut = nullptr;
    QLineEdit *edtRetries = nullptr;
    TUpDown *udTimeOut = nullptr;
    TUpDown *udRetries = nullptr;
    QComboBox *cboVersion = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};
