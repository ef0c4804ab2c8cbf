// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

class DialogService;
class StatusBar;
class TMibTreeWindow;
class QWidget;

// The main window's MIB commands: the MIB Tree window (made at its first
// use, brought up to date each time it is shown), Load MIB File, and the
// status line while new MIB files are checked before the modules load.
class MibCommands final : public QObject
{
    Q_OBJECT

public:
    MibCommands(QWidget &window, DialogService &dialogs, StatusBar &status);
    ~MibCommands() override;

    // Null until first shown.
    TMibTreeWindow *treeWindow() const { return m_tree; }
    TMibTreeWindow &showTree();
    // Load MIB File: the file asked for, checked and loaded; the MIB Tree
    // shows what became of it, its errors or its module.
    void loadFile();

signals:
    // A node's OID chosen in the MIB Tree: into the Oids box, or after its last ";".
    void oidChosen(const QString &oid, bool append);
    // Export for Prometheus asked for in the MIB Tree.
    void exportRequested(const QString &description, const QStringList &oids);
    // The loaded set changed: what was derived from it is read again.
    void mibsChanged();

private:
    void showChecking(bool checking);

    QWidget &m_window;
    DialogService &m_dialogs;
    StatusBar &m_status;
    TMibTreeWindow *m_tree = nullptr;
    int m_loadListener = 0;
    QString m_statusBeforeCheck; // the status line's text when the MIB files' check began
};
