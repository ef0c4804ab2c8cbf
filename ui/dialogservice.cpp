// SPDX-License-Identifier: MIT
#include "dialogservice.h"

#include "aboutbox.h"
#include "detailsdialog.h"
#include "errorbox.h"
#include "optionsdialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

std::optional<QString> DialogService::askSaveFileName(QWidget *, const QString &)
{
    return std::nullopt;
}

bool DialogService::confirmReplace(QWidget *, const QString &)
{
    return false;
}

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

std::optional<QString> ModalDialogs::askSaveFileName(QWidget *owner, const QString &initialName)
{
    // No caption: the dialog's own title. It asks before replacing the file
    // it returns and adds no suffix; the ".txt" rule is applied afterwards.
    // Qt's own dialog rather than the desktop's, so that the options hold
    // everywhere and a test can drive it.
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilter(QStringLiteral("Norvane Files (*.txt)"));
    dialog.setSizeGripEnabled(true);
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.constFirst();
}

bool ModalDialogs::confirmReplace(QWidget *owner, const QString &fileName)
{
    const QString text = QStringLiteral("'%1' already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(fileName).fileName());
    return QMessageBox::question(owner, QStringLiteral("Norvane"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}
