// SPDX-License-Identifier: MIT
#include "ui/dialogs/errorbox.h"

#include <QMessageBox>

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void showErrorBox(QWidget *owner, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Norvane"), errorBoxText(message), QMessageBox::Ok, owner);
    box.exec();
}
