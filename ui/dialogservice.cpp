// SPDX-License-Identifier: MIT
#include "dialogservice.h"

#include "aboutbox.h"
#include "detailsdialog.h"
#include "errorbox.h"
#include "optionsdialog.h"

void ModalDialogs::showError(QWidget *owner, const QString &message)
{
    showErrorBox(owner, message);
}

void ModalDialogs::openDetails(QWidget *owner, QTreeView *listView)
{
    TDetailsDialog dialog(listView, owner);
    dialog.exec();
}

bool ModalDialogs::editOptions(QWidget *owner, int &timeOut, int &retries)
{
    return TOptionsDialog::edit(owner, timeOut, retries);
}

void ModalDialogs::openAbout(QWidget *owner)
{
    TAboutBox box(owner);
    box.exec();
}
