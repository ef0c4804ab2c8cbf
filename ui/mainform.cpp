// SPDX-License-Identifier: MIT
#include "ui/mainform.h"

#include "common/messages.h"
#include "engine/tables/mibtables.h"
#include "store/settingsstore.h"
#include "ui/mibcommands.h"
#include "ui/mibtree/mibtreewindow.h"
#include "ui/prometheuslaunch.h"
#include "ui/results/findbar.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/results/rowcopy.h"
#include "ui/results/rowfinder.h"
#include "ui/tableview/tablewindow.h"
#include "ui/traps/trapswindow.h"
#include "ui/setcommands.h"
#include "ui/watchcommands.h"
#include "ui/widgets/coolbar.h"
#include "ui/widgets/pagescroller.h"
#include "ui/widgets/programicon.h"
#include "ui/widgets/splitter.h"
#include "ui/widgets/statusbar.h"
#include "ui/widgets/uifont.h"
#include "ui/windowplacement.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The window's built-in position; also where a window whose stored place is
// on no screen any more reappears, on the primary screen.
constexpr QPoint BuiltInPosition(191, 101);

} // namespace

TMainForm::TMainForm(std::unique_ptr<DialogService> dialogs, QWidget *parent)
    : QMainWindow(parent),
      m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<ModalDialogs>()),
      m_settings(RegistryHive::defaultFilePath()),
      m_results(new ResultModel(this)),
      m_agents(std::make_unique<DesktopKeyring>()),
      m_agentPrompts(m_agents, *m_dialogs, this,
                     {[this] {
                          if (!m_run.isRunning())
                              setSimpleStatus(readyText());
                          updateCommands();
                      },
                      [this] { execute(m_commands.actRun); },
                      [this](const QString &message) { m_dialogs->showError(this, message); }}),
      m_saving(*m_dialogs, *m_results),
      m_run(*this, *m_results),
      m_opening(*this, *m_dialogs, *m_results, m_run),
      m_comparing(*this, *m_dialogs, *m_results, m_run)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Norvane"));
    // Its own icon, the artwork the About box shows, whoever creates the window.
    setWindowIcon(programIcon());
    // The drop-down menus are windows of their own; they take the font too.
    setAttribute(Qt::WA_WindowPropagation);
    setFont(norvaneFont());

    m_commands.create(this);
    m_bars = CommandBars(m_commands, this);
    m_inputs = m_bars.inputs;
    m_splitter = new Splitter(m_bars.coolBar);
    createListView();
    m_watch = std::make_unique<WatchCommands>(*m_results, *m_listView, m_agents, m_transport, *m_dialogs, this);
    m_set = std::make_unique<SetCommands>(
        *m_results, *m_listView, m_agents, *m_dialogs, this,
        SetCommands::Hooks{[this] { return boxesRequest(); },
                           [this](const QString &text) { setSimpleStatus(text.isEmpty() ? readyText() : text); },
                           [this](const QueryRequest &request) { m_watch->runStarted(request); }});
    m_statusBar = new StatusBar(this);
    setStatusBar(m_statusBar);
    arrangeClientArea();
    connectCommands();

    setGeometry(builtInBounds());
    m_inputs->agentBox()->setFocus();

    // A failed load is shown, and what it read before the failure applies; the
    // window still starts idle rather than with Run disabled until someone
    // presses Stop.
    const LoadedSettings loaded = loadSettings(m_settings);
    applySettings(loaded.settings);
    reportFailure(loaded.error);
    m_run.becomeIdle();

    // Commands refresh whenever the application has nothing left to do.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TMainForm::updateCommands);
    m_mibs = new MibCommands(*this, *m_dialogs, *m_statusBar);
    connect(m_mibs, &MibCommands::oidChosen, this, &TMainForm::takeOid);
    connect(m_mibs, &MibCommands::exportRequested, this, &TMainForm::exportOids);
    connect(m_mibs, &MibCommands::mibsChanged, this, [this] {
        m_results->mibsChanged();
        if (m_tableWindow)
            m_tableWindow->mibsChanged();
    });
}

TMainForm::~TMainForm()
{
    delete m_tableWindow; // it reads the result model, which goes with the window
}

void TMainForm::createListView()
{
    m_results->setRowIcon(QIcon(QStringLiteral(":/images/row.png")));
    m_listView = new ListView;
    m_listView->setModel(m_results);
    const int widths[ResultModel::ColumnCount] = {130, 130, 130, 220};
    for (int column = 0; column < ResultModel::ColumnCount; ++column)
        m_listView->setColumnWidth(column, widths[column]);
    m_rowCopy = new RowCopy(m_listView, *m_results);
    m_findBar = new FindBar;
    m_finder = new RowFinder(*m_findBar, *m_listView, *m_results, this);
}

void TMainForm::arrangeClientArea()
{
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bars.coolBar);
    layout->addWidget(m_splitter);
    layout->addWidget(m_listView, 1);
    layout->addWidget(m_findBar); // hidden until Ctrl+F
    setCentralWidget(client);
    setTabOrder(m_inputs->agentBox(), m_inputs->communityBox());
    setTabOrder(m_inputs->communityBox(), m_inputs->oidBox());
    setTabOrder(m_inputs->oidBox(), m_listView);
}

void TMainForm::connectCommands()
{
    const ActionList &c = m_commands;
    m_handlers = {
        {c.actSave, [this] {
             if (m_saving.fileName().isEmpty())
                 execute(m_commands.actSaveAs);
             else
                 reportFailure(m_saving.save());
         }},
        {c.actSaveAs, [this] { reportFailure(m_saving.saveAs(this)); }},
        {c.actExit, [this] { close(); }},
        {c.actToolBar, [this] { setToolBarShown(!toolBarShown()); }},
        {c.actStatusBar, [this] { setStatusBarShown(!statusBarShown()); }},
        {c.actMibValues, [this] { setMibValues(!mibValues()); }},
        {c.actDetails, [this] { actDetailsExecute(); }},
        {c.actOptions,
         [this] { m_dialogs->editOptions(this, m_transport.timeOut, m_transport.retries, m_transport.version); }},
        {c.actRun, [this] { m_opening.leaveFile(); m_run.run(); }},
        {c.actStop, [this] {
             m_run.stop();
             m_agentPrompts.cancel();
             m_set->cancel();
         }},
        {c.actClear, [this] {
             m_run.abandonStopped();
             if (m_results->storedRowCount() > 0)
                 m_results->clear();
         }},
        {c.actAgentProperties, [this] { m_agentPrompts.editProperties(m_inputs->agentBox()->currentText()); }},
        {c.actGet, [this] { m_operation = Operation::Get; }},
        {c.actGetNext, [this] { m_operation = Operation::GetNext; }},
        {c.actWalk, [this] { m_operation = Operation::Walk; }},
        {c.actAbout, [this] { m_dialogs->openAbout(this); }},
        {c.actMibTree, [this] { m_mibs->showTree().focusSearch(); }}, // typing searches, each time it is shown
        {c.actLoadMib, [this] { m_mibs->loadFile(); }},
        {c.actFind, [this] { m_findBar->open(); }},
        {c.actFindNext, [this] { m_finder->find(false); }},
        {c.actFindPrevious, [this] { m_finder->find(true); }},
        {c.actTableView, [this] { actTableViewExecute(); }},
        {c.actExportPrometheus, [this] { exportForPrometheus(selectedRows(*m_listView, results())); }},
        {c.actAddToWatch, [this] { m_watch->addSelected(m_tableWindow); }},
        {c.actWatch, [this] { m_watch->show(); }},
        {c.actSet, [this] { m_set->execute(); }},
        {c.actOpen, [this] { m_opening.open(); }},
        {c.actCompareWith, [this] { m_comparing.compareWithFile(); }},
        {c.actComparePrevious, [this] { m_comparing.compareWithPreviousWalk(); }},
        {c.actTraps, [this] {
             if (!m_traps)
                 m_traps = new TTrapsWindow(*m_dialogs, m_trapSettings, m_commands.actMibValues,
                                            std::make_unique<DesktopKeyring>(), this);
             m_traps->present();
         }},
    };
    for (QAction *action : c.all())
        connect(action, &QAction::triggered, this, [this, action] { execute(action); });

    connect(m_listView, &ListView::doubleClicked, this, [this] { execute(m_commands.actDetails); });
    connect(m_listView, &ListView::enterPressed, this, [this] { execute(m_commands.actDetails); });

    connect(m_findBar, &FindBar::findNext, this, [this] { execute(m_commands.actFindNext); });
    connect(m_findBar, &FindBar::findPrevious, this, [this] { execute(m_commands.actFindPrevious); });
    connect(m_finder, &RowFinder::found, this, &TMainForm::setSimpleStatus);
}

void TMainForm::applySettings(const Settings &settings)
{
    // Bounds first, so that a window that starts maximised keeps them as its
    // normal bounds.
    if (settings.bounds)
        setBounds(*settings.bounds);
    if (settings.windowState == 2)
        setWindowStateValue(2);
    // Shown is how the window is built.
    if (!settings.toolBarShown)
        setToolBarShown(false);
    if (!settings.statusBarShown)
        setStatusBarShown(false);
    m_operation = settings.operation;
    m_transport = settings.transport;
    setMibValues(settings.mibValues);
    m_inputs->applyHistory(settings);
    m_agents.setProperties(settings.agentProperties);
    m_watch->applySettings(settings.watch);
    m_trapSettings = settings.traps;
}

Settings TMainForm::currentSettings() const
{
    Settings settings;
    settings.bounds = normalBounds();
    settings.windowState = m_windowStateValue;
    settings.toolBarShown = toolBarShown();
    settings.statusBarShown = statusBarShown();
    settings.operation = m_operation;
    settings.transport = m_transport;
    settings.mibValues = mibValues();
    m_inputs->storeHistory(settings);
    settings.agentProperties = m_agents.properties();
    settings.watch = m_watch->settings();
    settings.traps = m_traps ? m_traps->settings() : m_trapSettings;
    return settings;
}

void TMainForm::writeSettings()
{
    reportFailure(saveSettings(m_settings, currentSettings()));
}

bool TMainForm::execute(QAction *command)
{
    updateCommands();
    if (!command->isEnabled())
        return false;
    if (const std::function<void()> handler = m_handlers.value(command))
        reportFailures(handler);
    updateCommands();
    if (m_run.closeDue())
        close();
    return true;
}

void TMainForm::reportFailures(const std::function<void()> &step)
{
    try {
        step();
    } catch (const std::exception &failure) {
        m_dialogs->showError(this, QString::fromUtf8(failure.what()));
    }
}

void TMainForm::reportFailure(const StoreError &failure)
{
    if (failure)
        m_dialogs->showError(this, failure.message());
}

void TMainForm::updateCommands()
{
    const ActionList &c = m_commands;
    c.actRun->setEnabled(m_run.isIdle() && !m_set->isSetting());
    c.actSet->setEnabled(c.actRun->isEnabled() && !m_agentPrompts.waiting());
    const bool canSave = c.actRun->isEnabled() && m_results->storedRowCount() > 0;
    c.actSave->setEnabled(canSave);
    c.actSaveAs->setEnabled(canSave);
    c.actClear->setEnabled(canSave);
    c.actOpen->setEnabled(c.actRun->isEnabled());
    c.actCompareWith->setEnabled(canSave);
    c.actComparePrevious->setEnabled(c.actRun->isEnabled() && m_comparing.hasPreviousWalk());
    c.actToolBar->setChecked(toolBarShown());
    c.actStatusBar->setChecked(statusBarShown());
    c.actMibValues->setChecked(mibValues());
    c.actDetails->setEnabled(m_listView->selectionModel()->hasSelection());
    c.actExportPrometheus->setEnabled(c.actDetails->isEnabled());
    // An opened file's rows have no agent to poll.
    c.actAddToWatch->setEnabled(m_opening.fileName().isEmpty() && m_watch->canAdd(m_tableWindow));
    // Stop also gives a wait for the keyring up.
    c.actStop->setEnabled(!c.actRun->isEnabled() || m_agentPrompts.waiting());
    // Names would change under a running walk's rows.
    c.actLoadMib->setEnabled(c.actRun->isEnabled());
    for (QAction *action : c.operations->actions())
        action->setChecked(operationTag(action) == int(m_operation));
}

ResultModel &TMainForm::results()
{
    m_results->flush();
    return *m_results;
}

void TMainForm::setBounds(const QRect &bounds)
{
    setGeometry(placeOnScreens(bounds, builtInBounds()));
}

QRect TMainForm::builtInBounds() const
{
    // The design's 640 pixels assume its narrow 8-point font; with a wider
    // one the window grows just enough to show the whole tool bar.
    return QRect(BuiltInPosition, QSize(std::max(640, m_bars.coolBar->sizeHint().width()), 480));
}

QRect TMainForm::normalBounds() const
{
    return normalGeometry();
}

void TMainForm::setWindowStateValue(int state)
{
    // Before the window is shown this only records the state; show() then
    // opens it so, with the bounds set before as its normal bounds.
    setWindowState(windowStatesFor(windowState(), state));
    m_windowStateValue = state == 1 || state == 2 ? state : 0;
}

bool TMainForm::toolBarShown() const
{
    return !m_bars.psToolBar->isHidden();
}

void TMainForm::setToolBarShown(bool shown)
{
    m_bars.psToolBar->setVisible(shown);
}

bool TMainForm::statusBarShown() const
{
    return !m_statusBar->isHidden();
}

void TMainForm::setStatusBarShown(bool shown)
{
    m_statusBar->setVisible(shown);
}

bool TMainForm::mibValues() const
{
    return m_results->mibValues();
}

void TMainForm::setMibValues(bool on)
{
    m_results->setMibValues(on);
}

void TMainForm::setSimpleStatus(const QString &text)
{
    m_statusBar->setSimplePanel(true);
    m_statusBar->setSimpleText(text);
}

QString TMainForm::readyText() const
{
    return QString::fromLatin1(m_agentPrompts.waiting() ? msg::KeyringWait : msg::Ready);
}

QueryRequest TMainForm::boxesRequest() const
{
    QueryRequest request;
    request.operation = m_operation;
    request.agent = m_inputs->agentBox()->currentText();
    request.community = m_inputs->communityBox()->currentText();
    request.oids = m_inputs->oidBox()->currentText();
    request.transport = m_transport;
    request.wait = RequestWait::ProcessEvents;
    return request;
}

std::optional<QueryRequest> TMainForm::runRequest()
{
    std::optional<QueryRequest> prepared = m_agentPrompts.prepare(boxesRequest(), m_runSendsCommunity);
    if (prepared)
        m_watch->runStarted(*prepared);
    return prepared;
}

void TMainForm::appendRow(ResultRow &&row)
{
    m_results->appendRow(std::move(row));
}

bool TMainForm::event(QEvent *event)
{
    // The application's current hint changed: the long part of the hint of
    // the control under the pointer or of the highlighted menu item.
    if (event->type() == QEvent::StatusTip) {
        if (m_run.hintsShown())
            showHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showHint(const QString &hint)
{
    if (hint.isEmpty()) {
        setSimpleStatus(readyText());
        return;
    }
    m_statusBar->setSimplePanel(false);
    m_statusBar->setPanelText(hint);
}

void TMainForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange)
        m_windowStateValue = storedWindowState(windowState(), m_windowStateValue);
    QMainWindow::changeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    execute(m_commands.actStop);
    if (m_run.isRunning()) {
        m_run.closeWhenEnded();
        event->ignore();
        return;
    }
    event->accept();
    // Here rather than in the destructor: a failure is still shown over the
    // window, and every way the program ends normally closes the window.
    writeSettings();
}

void TMainForm::actDetailsExecute()
{
    m_results->flush();
    m_dialogs->openDetails(this, m_listView);
}

TMibTreeWindow *TMainForm::mibTreeWindow() const
{
    return m_mibs->treeWindow();
}

void TMainForm::takeOid(const QString &oid, bool append)
{
    // A Walk refuses several OIDs: appending would build a list the Run rejects.
    const bool walk = append && m_operation == Operation::Walk;
    m_inputs->takeOid(oid, append && !walk);
    if (walk)
        setSimpleStatus(QString::fromLatin1(msg::WalkTakesOneOid));
    // Replacing: the window comes up with the box, ready for F9. Appending
    // goes on in the MIB Tree, for the next node.
    if (!append || walk) {
        raise();
        activateWindow();
        m_inputs->oidBox()->setFocus();
    }
}

void TMainForm::actTableViewExecute()
{
    if (!m_tableWindow) {
        // Tables by the shape of the names, their indexes read by the MIB where it defines them.
        m_tableWindow = new TTableWindow(*m_results, *m_dialogs, std::make_unique<MibTableProvider>(), this);
        connect(m_tableWindow, &TTableWindow::exportRequested, this, &TMainForm::exportOids);
        m_tableWindow->gridView()->addAction(m_commands.actAddToWatch); // its shortcut and context menu there
    }
    m_results->flush();
    m_tableWindow->show();
    m_tableWindow->raise();
    m_tableWindow->activateWindow();
}

void TMainForm::exportForPrometheus(ExportSource source)
{
    // The agent's settings with what passphrases are at hand: the export may leave them out.
    QueryRequest agent = boxesRequest();
    m_agents.complete(agent);
    openPrometheusExport(*m_dialogs, this, std::move(source), agent);
}
