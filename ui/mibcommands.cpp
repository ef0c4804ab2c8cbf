// SPDX-License-Identifier: MIT
#include "ui/mibcommands.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/mib/mibload.h"
#include "engine/mib/mibsetup.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/mibtree/mibtreewindow.h"
#include "ui/widgets/statusbar.h"

#include <QDir>

#include <optional>

MibCommands::MibCommands(QWidget &window, DialogService &dialogs, StatusBar &status)
    : QObject(&window), m_window(window), m_dialogs(dialogs), m_status(status)
{
    m_loadListener = mibsetup::addLoadListener([this](bool checking) { showChecking(checking); });
}

MibCommands::~MibCommands()
{
    mibsetup::removeLoadListener(m_loadListener);
}

TMibTreeWindow &MibCommands::showTree()
{
    // Before the window: while new MIB files are checked the events go on,
    // and one of them may have opened it already.
    SnmpMgrLoadMibs(RequestWait::ProcessEvents);
    if (!m_tree) {
        m_tree = new TMibTreeWindow(&m_window);
        connect(m_tree, &TMibTreeWindow::oidChosen, this, &MibCommands::oidChosen);
        connect(m_tree, &TMibTreeWindow::exportRequested, this, &MibCommands::exportRequested);
    }
    m_tree->refresh();
    m_tree->show();
    m_tree->raise();
    m_tree->activateWindow();
    return *m_tree;
}

void MibCommands::loadFile()
{
    const std::optional<QString> file = m_dialogs.askMibFileName(&m_window);
    if (!file)
        return;
    const MibLoadResult loaded = loadMibFile(file->toStdString(), RequestWait::ProcessEvents);
    emit mibsChanged();
    TMibTreeWindow &window = showTree();
    if (!loaded.errors.empty()) {
        window.showLoadErrors(QString::fromStdString(loaded.errors.front().module));
        return;
    }
    window.showModule(QString::fromStdString(loaded.module));
    m_status.setSimplePanel(true);
    m_status.setSimpleText(QString::fromStdString(formatMessage(
        msg::MibLoaded, loaded.module.c_str(), QDir::toNativeSeparators(*file).toUtf8().constData())));
}

void MibCommands::showChecking(bool checking)
{
    const QString loading = QString::fromLatin1(msg::LoadingMibs);
    if (checking) {
        m_statusBeforeCheck = m_status.simpleText();
    } else if (m_status.simpleText() != loading) {
        return;
    }
    m_status.setSimplePanel(true);
    m_status.setSimpleText(checking ? loading : m_statusBeforeCheck);
}
