// SPDX-License-Identifier: MIT
#include "ui/dialogs/dialogservice.h"

#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/agentpropertiesdialog.h"
#include "ui/dialogs/detailsdialog.h"
#include "ui/dialogs/errorbox.h"
#include "ui/dialogs/optionsdialog.h"
#include "ui/dialogs/trapuserdialog.h"
#include "ui/prometheus/prometheusdialog.h"
#include "ui/set/setdialog.h"

#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QStandardPaths>

#include <algorithm>

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

// Save As's filters, in the order of SaveFormat.
const QStringList &saveFilters()
{
    static const QStringList filters{QStringLiteral("Norvane Files (*.txt)"),
                                     QStringLiteral("snmpsim recording (*.snmprec)"),
                                     QStringLiteral("Net-SNMP walk (*.snmpwalk)")};
    return filters;
}

} // namespace

SaveFormat saveFormatOf(const QString &path, SaveFormat chosenFilter)
{
    if (path.endsWith(QLatin1String(".snmprec"), Qt::CaseInsensitive))
        return SaveFormat::Snmprec;
    if (path.endsWith(QLatin1String(".snmpwalk"), Qt::CaseInsensitive))
        return SaveFormat::SnmpWalk;
    return chosenFilter;
}

std::optional<QString> DialogService::askSaveFileName(QWidget *, const QString &)
{
    return std::nullopt;
}

std::optional<SaveChoice> DialogService::askSaveChoice(QWidget *owner, const QString &initialName, SaveFormat)
{
    const std::optional<QString> path = askSaveFileName(owner, initialName);
    if (!path)
        return std::nullopt;
    return SaveChoice{*path, saveFormatOf(*path, SaveFormat::ResultFile)};
}

std::optional<QString> DialogService::askRecordingFileName(QWidget *, const QString &)
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

bool DialogService::editAgentProperties(QWidget *, AgentPropertiesEdit &)
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

bool DialogService::editSet(QWidget *, SetEdit &)
{
    return false;
}

bool ModalDialogs::editSet(QWidget *owner, SetEdit &edit)
{
    const GiveBackActivation activation(owner);
    return TSetDialog::edit(owner, edit);
}

bool DialogService::confirmSet(QWidget *, const QString &)
{
    return false;
}

bool ModalDialogs::confirmSet(QWidget *owner, const QString &text)
{
    const GiveBackActivation activation(owner);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Set"), text, QMessageBox::NoButton, owner);
    QPushButton *send = box.addButton(QStringLiteral("&Send"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(send); // Enter sends
    box.exec();
    return box.clickedButton() == send;
}

void DialogService::editPrometheusExport(QWidget *, PrometheusExport &) {}

void ModalDialogs::editPrometheusExport(QWidget *owner, PrometheusExport &exporter)
{
    const GiveBackActivation activation(owner);
    TPrometheusDialog dialog(exporter, owner);
    dialog.exec();
}

bool ModalDialogs::editAgentProperties(QWidget *owner, AgentPropertiesEdit &edit)
{
    const GiveBackActivation activation(owner);
    return TAgentPropertiesDialog::edit(owner, edit);
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

namespace {

// Where a file dialog starts when no file was chosen before: the user's
// documents (or home), not the working folder, which may be anything (the
// source tree, when scripts/run.sh started the program).
QString startFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace

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
    dialog.setDirectory(startFolder()); // a current file's own path wins
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.constFirst();
}

std::optional<SaveChoice> ModalDialogs::askSaveChoice(QWidget *owner, const QString &initialName, SaveFormat current)
{
    const GiveBackActivation activation(owner);
    // As askSaveFileName's, with a filter for each format; the extensions
    // are seen to afterwards.
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilters(saveFilters());
    dialog.selectNameFilter(saveFilters().at(int(current)));
    dialog.setSizeGripEnabled(true);
    dialog.setDirectory(startFolder()); // a current file's own path wins
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    const auto filter = SaveFormat(std::max<qsizetype>(0, saveFilters().indexOf(dialog.selectedNameFilter())));
    return SaveChoice{path, saveFormatOf(path, filter)};
}

std::optional<QString> ModalDialogs::askRecordingFileName(QWidget *owner, const QString &title)
{
    const GiveBackActivation activation(owner);
    QFileDialog dialog(owner, title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // snmpsim reads its recordings compressed too; walk text comes under any name.
    dialog.setNameFilters({QStringLiteral("Recordings and results (*.snmprec *.snmprec.bz2 *.snmprec.gz *.snmpwalk "
                                          "*.walk *.txt)"),
                           QStringLiteral("All files (*)")});
    dialog.setDirectory(startFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
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
    dialog.setDirectory(startFolder());
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
    dialog.setDirectory(startFolder());
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
