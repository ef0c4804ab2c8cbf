// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The program's icon, name, version and copyright notice, with one OK button.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *owner);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void FormCreate();

    QLabel *ProgramIcon = nullptr;
    QLabel *lblName = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblCopyright = nullptr;
    QPushButton *btnOk = nullptr;
};
