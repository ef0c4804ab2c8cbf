// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class TUpDown;

// Edits the two transport settings, the timeout in milliseconds and the
// retry count, each through a read-only edit with an up-down spinner.
// The spinners hold signed 16-bit positions: a setting goes in as its low
// 16 bits and comes back sign-extended.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(QWidget *owner);

    void setPositions(int timeOut, int retries);
    int timeOutPosition() const;
    int retriesPosition() const;

    // The whole open sequence: shows the dialog modally over `owner` with the
    // two settings; on OK assigns both (changed or not) and returns true,
    // otherwise leaves both as they were and returns false.
    static bool edit(QWidget *owner, int &timeOut, int &retries);

private:
    void createControls();

    QGroupBox *GroupBox = nullptr;
    QLineEdit *edtTimeOut = nullptr;
    QLineEdit *edtRetries = nullptr;
    TUpDown *udTimeOut = nullptr;
    TUpDown *udRetries = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};
