// SPDX-License-Identifier: MIT
#pragma once

#include "engine/queryrun.h"
#include "store/passphrasevault.h"
#include "store/registryhive.h"
#include "store/settings.h"
#include "ui/actionlist.h"
#include "ui/combohistory.h"
#include "ui/dialogservice.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class CoolBar;
class FindBar;
class ListView;
class MenuBar;
class PageScroller;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class ResultModel;
class RowCopy;
class RowSearch;
class Splitter;
class StatusBar;
class TMibTreeWindow;
class TTableWindow;

// The program's one window: the input boxes, the commands, the result list
// and the status line. Run hands the query run a request value and takes its
// rows as the run's sink. It reads its settings while it is created and
// writes them when a close is accepted.
class TMainForm : public QMainWindow, private QuerySink
{
    Q_OBJECT

public:
    // Characters an input box takes, like the platform's edit boxes.
    static constexpr int InputMaxLength = 32767;
    // How often a running walk processes the window's events at most: 0.1 ms.
    static constexpr qint64 EventPassNs = 100000;

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
    StatusBar *statusLine() const { return m_statusBar; }
    CoolBar *coolBar() const { return m_coolBar; }
    QComboBox *agentBox() const { return cboAgent; }
    QComboBox *communityBox() const { return cboCommunity; }
    QComboBox *oidBox() const { return cboOids; }
    // The MIB Tree window; null until MIB Tree or Load MIB File first opened it.
    TMibTreeWindow *mibTreeWindow() const { return m_mibTree; }
    bool isRunning() const { return m_runDepth > 0; }
    // Runs on the stack at once; a Run never starts inside another, so at most 1.
    int runDepth() const { return m_runDepth; }

    QString currentFileName() const { return m_currentFileName; }

    // What the settings keep. Bounds are the client area's geometry
    // (setGeometry and normalGeometry), so a stored rectangle comes back as
    // the same numbers.
    void setOperation(Operation operation) { m_operation = operation; }
    void setBounds(const QRect &bounds);
    QRect normalBounds() const;
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

    Operation operation() const { return m_operation; }

    // True when no run is in progress, or the one in progress was stopped.
    bool isIdle() const { return m_idle; }
    // A result row at the end of the list, as a run adds it.
    void appendRow(ResultRow &&row) override;

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    void createCoolBar();
    void createMenus();
    void createToolBar();
    void createSplitter();
    void createListView();
    void createStatusBar();
    void arrangeClientArea();
    void connectCommands();
    void applySettings(const Settings &settings);
    Settings currentSettings() const;
    void writeSettings();
    // The stored properties of the agent text (letter case aside), or end().
    AgentPropertiesMap::const_iterator findAgent(const QString &agent) const;
    void writeResults(const QString &fileName);

    // The top-level handler: runs the step and shows any failure it raises.
    void reportFailures(const std::function<void()> &step);
    // Shows a failure the store reports, when there is one.
    void reportFailure(const StoreError &failure);
    void showHint(const QString &hint);
    void setSimpleStatus(const QString &text);
    // New MIB files are checked before the MIBs load: the status line says so meanwhile.
    void showMibsChecked(bool checking);
    // Processes pending events once; a running walk at most every EventPassNs.
    void processEvents();
    void pushBusyCursor();
    void popCursor();
    // A stopped run may still wait for its last answer; the window looks idle already.
    void showIdleLook();
    // The request of a run from the boxes, the transport settings and the
    // agent's own properties (with its passphrases, for SNMPv3).
    QueryRequest currentRequest();
    // QuerySink
    void inputsAccepted() override;
    void betweenRows() override { processEvents(); }

    void actSaveExecute();
    void actSaveAsExecute();
    void actExitExecute();
    void actToolBarExecute();
    void actStatusBarExecute();
    void actMibValuesExecute();
    void actDetailsExecute();
    void actOptionsExecute();
    void actRunExecute();
    QueryEnd runOnce();
    void actStopExecute();
    void actClearExecute();
    void actAgentPropertiesExecute();
    void actOperationExecute(QAction *command);
    void actAboutExecute();
    void actMibTreeExecute();
    void actLoadMibExecute();
    // The MIB Tree window, created the first time, brought up to date and shown.
    TMibTreeWindow &showMibTree();
    // A node's OID chosen in the MIB Tree: into the Oids box, or after its last ";".
    void takeOid(const QString &oid, bool append);
    void actFindExecute();
    void findRow(bool backwards);
    void showFound(qsizetype row);
    void closeFindBar();
    void actTableViewExecute();

    std::unique_ptr<DialogService> m_dialogs;
    RegistryHive m_settings;
    ActionList m_commands;
    QHash<QAction *, std::function<void()>> m_handlers;

    // The controls. Their object names are the names the window's design
    // gives them; CoolBar, MenuBar, ToolBar, Splitter, ListView and StatusBar
    // name classes here, so those members carry the m_ prefix instead.
    CoolBar *m_coolBar = nullptr;
    PageScroller *psMenuBar = nullptr;
    MenuBar *m_menuBar = nullptr;
    PageScroller *psToolBar = nullptr;
    QWidget *m_toolBar = nullptr;
    QMenu *miFile = nullptr;
    QMenu *miView = nullptr;
    QMenu *miAction = nullptr;
    QMenu *miHelp = nullptr;
    QLabel *lblAgent = nullptr;
    QLabel *lblCommunity = nullptr;
    QLabel *lblOids = nullptr;
    QComboBox *cboAgent = nullptr;
    QComboBox *cboCommunity = nullptr;
    QComboBox *cboOids = nullptr;
    QToolButton *btnRun = nullptr;
    QToolButton *btnStop = nullptr;
    QToolButton *btnClear = nullptr;
    Splitter *m_splitter = nullptr;
    ListView *m_listView = nullptr;
    FindBar *m_findBar = nullptr;
    StatusBar *m_statusBar = nullptr;
    TMibTreeWindow *m_mibTree = nullptr;
    TTableWindow *m_tableWindow = nullptr;

    ResultModel *m_results = nullptr;
    RowSearch *m_search = nullptr;
    RowCopy *m_rowCopy = nullptr;
    std::unique_ptr<ComboHistory> m_agentHistory;
    std::unique_ptr<ComboHistory> m_communityHistory;
    std::unique_ptr<ComboHistory> m_oidHistory;

    bool m_idle = false;
    qint64 m_eventPassNs = -1; // ResultModel::clockNs() at a running walk's last event pass; -1: not yet
    qint64 m_rowStoredNs = -1; // and when the last row was stored
    Operation m_operation = Settings().operation;
    TransportSettings m_transport;
    int m_windowStateValue = 0; // 0 normal, 1 minimised, 2 maximised, as stored
    QString m_currentFileName;
    bool m_autoHint = true;
    int m_runDepth = 0;         // runs in progress: 0 or 1
    RunControl m_control;       // what Stop, a new Run, Clear and a close tell the run in progress
    bool m_runPending = false;  // Run came while a stopped run was still on the stack
    bool m_busyCursor = false;  // the run's busy cursor is shown
    bool m_closePending = false; // a close came during a run: close when it has ended
    bool m_runSendsCommunity = true; // the run's community goes into its history (not with SNMPv3)
    int m_mibLoadListener = 0;
    QString m_statusBeforeMibs;      // the status line's text when the MIB files' check began

    AgentPropertiesMap m_agentProperties;
    PassphraseVault m_passphrases; // reads the desktop keyring at an agent's first run or edit
};
