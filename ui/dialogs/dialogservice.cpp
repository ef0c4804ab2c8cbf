// SPDX-License-Identifier: MIT
#include "ui/dialogs/dialogservice.h"

#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/agentpropertiesdialog.h"
#include "ui/dialogs/detailsdialog.h"
#include "ui/dialogs/errorbox.h"
#include "ui/dialogs/optionsdialog.h"
#include "ui/dialogs/trapuserdialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

// Hands the activation back to the owner's window once a dialog has closed.
// A window manager does this itself; without one (a bare X server, a kiosk)
// nothing does, and the window's shortcuts stay dead until a click.
class GiveBackActivation
{
public:
    explicit GiveBackActivation(QWidget *owner) : m_window(owner ? owner->window() : nullptr) {}
    ~GiveBackActivation()
    {
        if (m_window && m_window->isVisible() && !m_window->isActiveWindow())
            m_window->activateWindow();
    }
    GiveBackActivation(const GiveBackActivation &) = delete;
    GiveBackActivation &operator=(const GiveBackActivation &) = delete;

private:
    QPointer<QWidget> m_window;
};

} // namespace

std::optional<QString> DialogService::askSaveFileName(QWidget *, const QString &)
{
    return std::nullopt;
}

bool DialogService::confirmReplace(QWidget *, const QString &)
{
    return false;
}

std::optional<QString> DialogService::askMibFileName(QWidget *)
{
    return std::nullopt;
}

std::optional<QString> DialogService::askCsvFileName(QWidget *, const QString &)
{
    return std::nullopt;
}

bool DialogService::editAgentProperties(QWidget *, const QString &, AgentProperties &, Secret &, Secret &)
{
    return false;
}

bool DialogService::editTrapUser(QWidget *, TrapUser &, Secret &, Secret &)
{
    return false;
}

bool ModalDialogs::editTrapUser(QWidget *owner, TrapUser &user, Secret &authPassphrase, Secret &privPassphrase)
{
    const GiveBackActivation activation(owner);
    return TTrapUserDialog::edit(owner, user, authPassphrase, privPassphrase);
}

bool ModalDialogs::editAgentProperties(QWidget *owner, const QString &agent, AgentProperties &properties,
                                       Secret &authPassphrase, Secret &privPassphrase)
{
    const GiveBackActivation activation(owner);
    return TAgentPropertiesDialog::edit(owner, agent, properties, authPassphrase, privPassphrase);
}

void ModalDialogs::showError(QWidget *owner, const QString &message)
{
    const GiveBackActivation activation(owner);
    showErrorBox(owner, message);
}

void ModalDialogs::openDetails(QWidget *owner, QAbstractItemView *listView)
{
    const GiveBackActivation activation(owner);
    TDetailsDialog dialog(listView, owner);
    dialog.exec();
}

bool ModalDialogs::editOptions(QWidget *owner, int &timeOut, int &retries, SnmpVersion &version)
{
    const GiveBackActivation activation(owner);
    return TOptionsDialog::edit(owner, timeOut, retries, version);
}

void ModalDialogs::openAbout(QWidget *owner)
{
    const GiveBackActivation activation(owner);
    TAboutBox box(owner);
    box.exec();
}

std::optional<QString> ModalDialogs::askSaveFileName(QWidget *owner, const QString &initialName)
{
    const GiveBackActivation activation(owner);
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
    const GiveBackActivation activation(owner);
    const QString text = QStringLiteral("'%1' already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(fileName).fileName());
    return QMessageBox::question(owner, QStringLiteral("Norvane"), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
           == QMessageBox::Yes;
}

std::optional<QString> ModalDialogs::askMibFileName(QWidget *owner)
{
    const GiveBackActivation activation(owner);
    QFileDialog dialog(owner, QStringLiteral("Load MIB File"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Vendors ship modules under any name: ".my", ".mib", ".txt" or none.
    dialog.setNameFilters({QStringLiteral("MIB modules (*.mib *.my *.txt *.smi *.asn1)"), QStringLiteral("All files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> ModalDialogs::askCsvFileName(QWidget *owner, const QString &initialName)
{
    const GiveBackActivation activation(owner);
    // The dialog asks before replacing a file and adds ".csv" to a bare name.
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("CSV Files (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
