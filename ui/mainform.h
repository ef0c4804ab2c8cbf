// SPDX-License-Identifier: MIT
#pragma once

#include "store/registryhive.h"
#include "store/settings.h"
#include "ui/actionlist.h"
#include "ui/agentprofiles.h"
#include "ui/agentprompts.h"
#include "ui/commandbars.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/inputbar.h"
#include "ui/prometheus/prometheusexport.h"
#include "ui/resultopening.h"
#include "ui/resultsaving.h"
#include "ui/runlifecycle.h"
#include "ui/walkcomparing.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class CoolBar;
class FindBar;
class ListView;
class MibCommands;
class QComboBox;
class QMenu;
class ResultModel;
class RowCopy;
class RowFinder;
class Splitter;
class StatusBar;
class TMibTreeWindow;
class TTableWindow;
class SetCommands;
class WatchCommands;
class TTrapsWindow;

// The program's one window: it composes the tool bar's input boxes, the
// commands, the result list and the status line, and dispatches each command
// to the engine, the store or the window it opens. A run's life is
// RunLifecycle's; what an agent's requests go with, AgentProfiles'. It reads
// its settings while it is created and writes them when a close is accepted.
class TMainForm : public QMainWindow, private RunHost
{
    Q_OBJECT

public:
    static constexpr int InputMaxLength = InputBar::InputMaxLength;

    // Without a dialog service the window shows the real modal dialogs.
    explicit TMainForm(std::unique_ptr<DialogService> dialogs = nullptr, QWidget *parent = nullptr);
    ~TMainForm() override;

    // Every way of running a command ends here: the enabling rules are
    // re-evaluated, then the handler runs only when the command is enabled.
    // A failure it raises is shown in the error box. False when disabled.
    bool execute(QAction *command);
    // The enabling rules, applied to every command.
    void updateCommands();

    const ActionList &commands() const { return m_commands; }
    // The result rows, all of them announced to the view.
    ResultModel &results();
    ListView *listView() const { return m_listView; }
    FindBar *findBar() const { return m_findBar; }
    RowCopy *rowCopy() const { return m_rowCopy; }
    // The Table View, once opened.
    TTableWindow *tableWindow() const { return m_tableWindow; }
    // The Traps window, once opened.
    TTrapsWindow *trapsWindow() const { return m_traps; }
    StatusBar *statusLine() const { return m_statusBar; }
    CoolBar *coolBar() const { return m_bars.coolBar; }
    QComboBox *agentBox() const { return m_inputs->agentBox(); }
    QComboBox *communityBox() const { return m_inputs->communityBox(); }
    QComboBox *oidBox() const { return m_inputs->oidBox(); }
    // The Watch: Add to Watch, the Watch window and its polling.
    WatchCommands &watch() const { return *m_watch; }
    // The MIB Tree window; null until MIB Tree or Load MIB File first opened it.
    TMibTreeWindow *mibTreeWindow() const;
    bool isRunning() const { return m_run.isRunning(); }
    // Runs on the stack at once; a Run never starts inside another, so at most 1.
    int runDepth() const { return m_run.depth(); }
    // True when no run is in progress, or the one in progress was stopped.
    bool isIdle() const { return m_run.isIdle(); }

    QString currentFileName() const { return m_saving.fileName(); }
    // The recording or result file the list shows; empty when it shows runs.
    QString openedFile() const { return m_opening.fileName(); }
    ResultOpening &opening() { return m_opening; }
    WalkComparing &comparing() { return m_comparing; }

    // What the settings keep. Bounds are the client area's geometry
    // (setGeometry and normalGeometry), so a stored rectangle comes back as
    // the same numbers.
    void setOperation(Operation operation) { m_operation = operation; }
    Operation operation() const { return m_operation; }
    void setBounds(const QRect &bounds);
    QRect normalBounds() const;
    // Where the window opens without stored bounds.
    QRect builtInBounds() const;
    void setWindowStateValue(int state); // 0 normal, 1 minimised, 2 maximised
    int windowStateValue() const { return m_windowStateValue; }
    bool toolBarShown() const;
    void setToolBarShown(bool shown);
    bool statusBarShown() const;
    void setStatusBarShown(bool shown);
    const TransportSettings &transport() const { return m_transport; }
    void setTransport(const TransportSettings &transport) { m_transport = transport; }
    bool mibValues() const;
    void setMibValues(bool on);

    // A result row at the end of the list, as a run adds it.
    void appendRow(ResultRow &&row);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createListView();
    void arrangeClientArea();
    void connectCommands();
    void applySettings(const Settings &settings);
    Settings currentSettings() const;
    void writeSettings();

    // The top-level handler: runs the step and shows any failure it raises.
    void reportFailures(const std::function<void()> &step);
    // Shows a failure the store reports, when there is one.
    void reportFailure(const StoreError &failure);
    void showHint(const QString &hint);
    void setSimpleStatus(const QString &text);

    // RunHost: the request from the boxes, the transport settings and the
    // agent's own properties (with its passphrases, for SNMPv3).
    std::optional<QueryRequest> runRequest() override;
    // The boxes' texts, the operation and the transport settings, as a run would take them.
    QueryRequest boxesRequest() const;
    void recordInputs() override { m_inputs->recordInputs(m_runSendsCommunity); }
    void refreshCommands() override { updateCommands(); }
    void showStatus(const QString &text) override { setSimpleStatus(text); }
    QString readyText() const override;

    void actDetailsExecute();
    // A node's OID chosen in the MIB Tree: into the Oids box, or after its last ";".
    void takeOid(const QString &oid, bool append);
    void actTableViewExecute();
    // Export for Prometheus of what was chosen, for the agent in the Agent box.
    void exportForPrometheus(ExportSource source);
    void exportOids(const QString &description, const QStringList &oids) { exportForPrometheus({description, oids}); }

    std::unique_ptr<DialogService> m_dialogs;
    RegistryHive m_settings;
    ActionList m_commands;
    QHash<QAction *, std::function<void()>> m_handlers;

    // The controls. Their object names are the names the window's design
    // gives them; CoolBar, ToolBar, Splitter, ListView and StatusBar name
    // classes here, so those members carry the m_ prefix instead.
    CommandBars m_bars;           // the cool bar with the menus and the tool bar
    InputBar *m_inputs = nullptr; // the tool bar
    Splitter *m_splitter = nullptr;
    ListView *m_listView = nullptr;
    FindBar *m_findBar = nullptr;
    StatusBar *m_statusBar = nullptr;
    MibCommands *m_mibs = nullptr;
    TTableWindow *m_tableWindow = nullptr;
    TTrapsWindow *m_traps = nullptr;
    TrapSettings m_trapSettings; // as loaded, until the Traps window keeps them

    ResultModel *m_results = nullptr;
    RowFinder *m_finder = nullptr;
    RowCopy *m_rowCopy = nullptr;

    Operation m_operation = Settings().operation;
    TransportSettings m_transport;
    int m_windowStateValue = 0; // 0 normal, 1 minimised, 2 maximised, as stored
    bool m_runSendsCommunity = true; // the run's community goes into its history (not with SNMPv3)

    AgentProfiles m_agents;
    AgentPrompts m_agentPrompts; // Agent Properties and a run's passphrases, waiting for the keyring
    ResultSaving m_saving;
    RunLifecycle m_run;
    std::unique_ptr<WatchCommands> m_watch;
    std::unique_ptr<SetCommands> m_set;
    ResultOpening m_opening;
    WalkComparing m_comparing;
};
