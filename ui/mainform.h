// SPDX-License-Identifier: MIT
#pragma once

#include "engine/queryrun.h"
#include "store/agentproperties.h"
#include "store/passphrasevault.h"
#include "store/settingsstore.h"
#include "ui/actionlist.h"
#include "ui/combohistory.h"
#include "ui/dialogservice.h"

#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class CoolBar;
class ListView;
class MenuBar;
class PageScroller;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class ResultModel;
class Splitter;
class StatusBar;

// The program's one window: the input boxes, the commands, the result list
// and the status line. It is also the query run's host: runQuery() and
// stopQuery() drive it through QueryHost; and the settings store reads and
// restores its state through SettingsHost, once at creation and once at
// destruction.
class TMainForm : public QMainWindow, public QueryHost, public SettingsHost
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
    StatusBar *statusLine() const { return m_statusBar; }
    CoolBar *coolBar() const { return m_coolBar; }
    QComboBox *agentBox() const { return cboAgent; }
    QComboBox *communityBox() const { return cboCommunity; }
    QComboBox *oidBox() const { return cboOids; }
    bool isRunning() const { return m_runDepth > 0; }
    // Runs on the stack at once; a Run never starts inside another, so at most 1.
    int runDepth() const { return m_runDepth; }

    QString currentFileName() const { return m_currentFileName; }

    // SettingsHost. Bounds are the client area's geometry (setGeometry and
    // normalGeometry), so a stored rectangle comes back as the same numbers.
    void setOperation(Operation operation) override { m_operation = operation; }
    void setBounds(const QRect &bounds) override;
    QRect normalBounds() const override;
    void setWindowStateValue(int state) override;
    int windowStateValue() const override { return m_windowStateValue; }
    bool toolBarShown() const override;
    void setToolBarShown(bool shown) override;
    bool statusBarShown() const override;
    void setStatusBarShown(bool shown) override;
    void setTimeOut(int milliseconds) override { m_timeOut = milliseconds; }
    void setRetries(int retries) override { m_retries = retries; }
    void setSnmpVersion(SnmpVersion version) override { m_version = version; }
    HistoryList &history(HistoryBox box) override;

    // QueryHost
    bool isIdle() const override { return m_idle; }
    void setIdle(bool idle) override;
    void refreshCommands() override { updateCommands(); }
    void setAutoHint(bool on) override { m_autoHint = on; }
    void setSimpleStatus(const QString &text) override;
    void pushBusyCursor() override;
    void popCursor() override;
    void processEvents() override;
    RequestWait requestWait() const override { return RequestWait::ProcessEvents; }
    bool abandoned() const override { return m_abandonRun; }
    bool waitAbandoned() const override { return m_abandonRun || m_closePending; }
    QString agentText() const override;
    QString communityText() const override;
    QString oidText() const override;
    Operation operation() const override { return m_operation; }
    int timeOut() const override { return m_timeOut; }
    int retries() const override { return m_retries; }
    SnmpVersion snmpVersion() const override { return m_version; }
    const AgentSecurity *agentSecurity() const override;
    SnmpVersion agentSnmpVersion() const override;
    HistoryList &agentHistory() override { return *m_agentHistory; }
    HistoryList &communityHistory() override { return *m_communityHistory; }
    HistoryList &oidHistory() override { return *m_oidHistory; }
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
    void loadSettings();
    void writeSettings();
    void loadAgents();
    // The properties of the agent text, when it has any.
    const AgentProperties *agentProperties(const QString &agent) const;
    void writeResults(const QString &fileName);

    // The top-level handler: runs the step and shows any failure it raises.
    void reportFailures(const std::function<void()> &step);
    void showHint(const QString &hint);
    // A stopped run may still wait for its last answer; the window looks idle already.
    void showIdleLook();

    void actSaveExecute();
    void actSaveAsExecute();
    void actExitExecute();
    void actToolBarExecute();
    void actStatusBarExecute();
    void actDetailsExecute();
    void actOptionsExecute();
    void actRunExecute();
    void actStopExecute();
    void actClearExecute();
    void actAgentPropertiesExecute();
    void actOperationExecute(QAction *command);
    void actAboutExecute();

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
    StatusBar *m_statusBar = nullptr;

    ResultModel *m_results = nullptr;
    std::unique_ptr<ComboHistory> m_agentHistory;
    std::unique_ptr<ComboHistory> m_communityHistory;
    std::unique_ptr<ComboHistory> m_oidHistory;

    bool m_idle = false;
    QElapsedTimer m_sinceEventPass; // since a running walk last processed the events; invalid: not yet
    Operation m_operation = Operation::Get;
    int m_timeOut = 1000;
    int m_retries = 1;
    SnmpVersion m_version = SnmpVersion::V1;
    int m_windowStateValue = 0; // 0 normal, 1 minimised, 2 maximised, as stored
    QString m_currentFileName;
    bool m_autoHint = true;
    int m_runDepth = 0;         // runs in progress: 0 or 1
    bool m_runStopped = false;  // Stop came during the run in progress
    bool m_abandonRun = false;  // the run in progress is given up (Run or Clear after Stop)
    bool m_runPending = false;  // Run came while a stopped run was still on the stack
    bool m_busyCursor = false;  // the run's busy cursor is shown
    bool m_closePending = false; // a close came during a run: close when it has ended

    AgentPropertiesMap m_agents;
    mutable PassphraseVault m_passphrases; // reads the keyring on a run's first look
    mutable std::optional<AgentSecurity> m_runSecurity; // the SNMPv3 settings of the run in progress
};
