// SPDX-License-Identifier: MIT
#include "ui/mainform.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"
#include "store/resultfile.h"
#include "ui/coolbar.h"
#include "ui/dialogs/programicon.h"
#include "ui/dialogs/uifont.h"
#include "ui/listview.h"
#include "ui/menubar.h"
#include "ui/pagescroller.h"
#include "ui/resultmodel.h"
#include "ui/resultrows.h"
#include "ui/splitter.h"
#include "ui/statusbar.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// The window's built-in position; also where a window whose stored place is
// on no screen any more reappears, on the primary screen.
constexpr QPoint BuiltInPosition(191, 101);

// The writer's busy cursor, apart from a run's.
class WindowCursor final : public CursorControl
{
public:
    void pushBusyCursor() override { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    void popCursor() override { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace

TMainForm::TMainForm(std::unique_ptr<DialogService> dialogs, QWidget *parent)
    : QMainWindow(parent),
      m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<ModalDialogs>()),
      m_settings(RegistryHive::defaultFilePath()),
      m_passphrases(std::make_unique<DesktopKeyring>())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Norvane"));
    // Its own icon, the artwork the About box shows, whoever creates the window.
    setWindowIcon(programIcon());
    // The drop-down menus are windows of their own; they take the font too.
    setAttribute(Qt::WA_WindowPropagation);
    setFont(norvaneFont());

    createActions();
    createCoolBar();
    createSplitter();
    createListView();
    createStatusBar();
    arrangeClientArea();
    connectCommands();

    // The design's 640 pixels assume its narrow 8-point font; with a wider
    // one the window grows just enough to show the whole tool bar.
    setGeometry(QRect(BuiltInPosition, QSize(std::max(640, m_coolBar->sizeHint().width()), 480)));
    cboAgent->setFocus();

    m_operation = Operation::Get;
    // A failed load is shown; the window still starts idle rather than with
    // Run disabled until someone presses Stop.
    reportFailures([this] { loadSettings(); });
    reportFailures([this] { loadAgents(); });
    m_idle = true;
    setSimpleStatus(QString::fromLatin1(msg::Ready));
    updateCommands();

    // Commands refresh whenever the application has nothing left to do.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TMainForm::updateCommands);
}

TMainForm::~TMainForm()
{
    Q_ASSERT(m_runDepth == 0);
    reportFailures([this] { writeSettings(); });
}

void TMainForm::createActions()
{
    m_commands.create(this);
    // The tool bar shows these images; the menus stay text only.
    const std::pair<QAction *, const char *> images[] = {
        {m_commands.actRun, ":/images/run.png"},
        {m_commands.actStop, ":/images/stop.png"},
        {m_commands.actClear, ":/images/clear.png"},
    };
    for (const auto &[action, image] : images) {
        action->setIcon(QIcon(QString::fromLatin1(image)));
        action->setIconVisibleInMenu(false);
    }
}

void TMainForm::createCoolBar()
{
    m_coolBar = new CoolBar;

    psMenuBar = new PageScroller;
    psMenuBar->setObjectName(QStringLiteral("psMenuBar"));
    m_menuBar = new MenuBar;
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    createMenus();
    m_menuBar->watchKeys(this);
    psMenuBar->setControl(m_menuBar);
    m_coolBar->addBand(psMenuBar, 21, false);

    psToolBar = new PageScroller;
    psToolBar->setObjectName(QStringLiteral("psToolBar"));
    m_toolBar = new QWidget;
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    createToolBar();
    psToolBar->setControl(m_toolBar);
    m_coolBar->addBand(psToolBar, 22, true);
}

void TMainForm::createMenus()
{
    const ActionList &c = m_commands;
    auto makeMenu = [this](const char *name, const char *title, const char *hint, const QList<QAction *> &items) {
        auto *menu = new QMenu(QString::fromLatin1(title), this);
        menu->setObjectName(QString::fromLatin1(name));
        for (QAction *item : items) {
            if (item)
                menu->addAction(item);
            else
                menu->addSeparator();
        }
        m_menuBar->addMenu(menu, QString::fromLatin1(hint));
        return menu;
    };
    miFile = makeMenu("miFile", "&File", "File related commands.", {c.actSave, c.actSaveAs, nullptr, c.actExit});
    miView = makeMenu("miView", "&View", "Contains commands for manipulating the view.",
                      {c.actToolBar, c.actStatusBar, nullptr, c.actDetails, nullptr, c.actOptions});
    miAction = makeMenu("miAction", "&Action", "Contains action commands.",
                        {c.actRun, c.actStop, c.actClear, nullptr, c.actAgentProperties, nullptr, c.actGet,
                         c.actGetNext, c.actWalk});
    miHelp = makeMenu("miHelp", "&Help", "Help topics.", {c.actAbout});
}

void TMainForm::createToolBar()
{
    auto *layout = new QHBoxLayout(m_toolBar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto addInput = [&](QLabel *&label, const char *labelName, const char *caption, QComboBox *&box,
                        const char *boxName, int width, const char *hint) {
        label = new QLabel(QString::fromLatin1(caption), m_toolBar);
        label->setObjectName(QString::fromLatin1(labelName));
        box = new QComboBox(m_toolBar);
        box->setObjectName(QString::fromLatin1(boxName));
        box->setEditable(true);
        // The run's history rule alone decides what enters the list, and the
        // text stays in the case it was typed in.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        // The edit box's usual limit, said aloud: a longer paste keeps its first
        // 32,767 characters. Unlimited, a 1 MB text costs most of a second per
        // keystroke, and every history entry ends up in the settings file.
        box->lineEdit()->setMaxLength(InputMaxLength);
        box->setFixedWidth(width);
        box->setStatusTip(QString::fromLatin1(hint));
        label->setBuddy(box);
        // A screen reader finds the box by its label; its edit and its drop-down
        // list are named after the label too.
        const QString name = label->text().remove(u'&').trimmed();
        box->setAccessibleName(name);
        box->lineEdit()->setAccessibleName(name);
        box->view()->setAccessibleName(name);
        layout->addWidget(label);
        layout->addWidget(box);
    };
    addInput(lblAgent, "lblAgent", "A&gent ", cboAgent, "cboAgent", 110, "IP Address or IP Hostname.");
    addInput(lblCommunity, "lblCommunity", " C&ommunity ", cboCommunity, "cboCommunity", 110,
             "A community name identifies a collection of SNMP managers and agents.");
    addInput(lblOids, "lblOids", " O&ids ", cboOids, "cboOids", 211,
             "String format of an oid.You can specify multiple oids, separated by semicolons.Oid 'all' is "
             "applicable only for 'walk' action.");

    auto addButton = [&](QToolButton *&button, const char *name, QAction *action) {
        button = new QToolButton(m_toolBar);
        button->setObjectName(QString::fromLatin1(name));
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setIconSize(QSize(16, 16));
        button->setFixedSize(23, 22);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    };
    addButton(btnRun, "btnRun", m_commands.actRun);
    addButton(btnStop, "btnStop", m_commands.actStop);
    addButton(btnClear, "btnClear", m_commands.actClear);

    cboAgent->addItem(QStringLiteral("127.0.0.1"));
    cboCommunity->addItem(QStringLiteral("tarnel"));
    cboOids->addItems({QStringLiteral(".1.3.6.1.2.1.1.1.0"),
                       QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0"),
                       QStringLiteral("all")});
    // The built-in entries are in the lists, but nothing is selected until the settings load selects it.
    for (QComboBox *box : {cboAgent, cboCommunity, cboOids})
        box->setCurrentIndex(-1);

    m_agentHistory = std::make_unique<ComboHistory>(cboAgent);
    m_communityHistory = std::make_unique<ComboHistory>(cboCommunity);
    m_oidHistory = std::make_unique<ComboHistory>(cboOids);
}

void TMainForm::createSplitter()
{
    m_splitter = new Splitter(m_coolBar);
}

void TMainForm::createListView()
{
    m_results = new ResultModel(this);
    m_results->setRowIcon(QIcon(QStringLiteral(":/images/row.png")));
    m_listView = new ListView;
    m_listView->setModel(m_results);
    const int widths[ResultModel::ColumnCount] = {130, 130, 130, 220};
    for (int column = 0; column < ResultModel::ColumnCount; ++column)
        m_listView->setColumnWidth(column, widths[column]);
}

void TMainForm::createStatusBar()
{
    m_statusBar = new StatusBar(this);
    setStatusBar(m_statusBar);
}

void TMainForm::arrangeClientArea()
{
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_coolBar);
    layout->addWidget(m_splitter);
    layout->addWidget(m_listView, 1);
    setCentralWidget(client);
    setTabOrder(cboAgent, cboCommunity);
    setTabOrder(cboCommunity, cboOids);
    setTabOrder(cboOids, m_listView);
}

void TMainForm::connectCommands()
{
    const ActionList &c = m_commands;
    m_handlers = {
        {c.actSave, [this] { actSaveExecute(); }},
        {c.actSaveAs, [this] { actSaveAsExecute(); }},
        {c.actExit, [this] { actExitExecute(); }},
        {c.actToolBar, [this] { actToolBarExecute(); }},
        {c.actStatusBar, [this] { actStatusBarExecute(); }},
        {c.actDetails, [this] { actDetailsExecute(); }},
        {c.actOptions, [this] { actOptionsExecute(); }},
        {c.actRun, [this] { actRunExecute(); }},
        {c.actStop, [this] { actStopExecute(); }},
        {c.actClear, [this] { actClearExecute(); }},
        {c.actAgentProperties, [this] { actAgentPropertiesExecute(); }},
        {c.actGet, [this, a = c.actGet] { actOperationExecute(a); }},
        {c.actGetNext, [this, a = c.actGetNext] { actOperationExecute(a); }},
        {c.actWalk, [this, a = c.actWalk] { actOperationExecute(a); }},
        {c.actAbout, [this] { actAboutExecute(); }},
    };
    for (QAction *action : c.all())
        connect(action, &QAction::triggered, this, [this, action] { execute(action); });

    connect(m_listView, &ListView::doubleClicked, this, [this] { execute(m_commands.actDetails); });
    connect(m_listView, &ListView::enterPressed, this, [this] { execute(m_commands.actDetails); });
}

void TMainForm::loadSettings()
{
    ::loadSettings(m_settings, *this);
}

void TMainForm::writeSettings()
{
    // Staged first: the settings' write commits the file.
    saveAgentProperties(m_settings, m_agents);
    ::saveSettings(m_settings, *this);
}

void TMainForm::loadAgents()
{
    QString message;
    m_agents = loadAgentProperties(m_settings, &message);
    if (!message.isEmpty())
        throw AppError(message.toStdString());
}

const AgentProperties *TMainForm::agentProperties(const QString &agent) const
{
    const auto it = m_agents.find(agent);
    return it == m_agents.end() ? nullptr : &it->second;
}

SnmpVersion TMainForm::agentSnmpVersion() const
{
    const AgentProperties *properties = agentProperties(agentText());
    if (properties && properties->version == AgentVersion::V1)
        return SnmpVersion::V1;
    if (properties && properties->version == AgentVersion::V2c)
        return SnmpVersion::V2c;
    return m_version;
}

const AgentSecurity *TMainForm::agentSecurity() const
{
    m_runSecurity.reset();
    const QString agent = agentText();
    const AgentProperties *properties = agentProperties(agent);
    if (!properties || properties->version != AgentVersion::V3)
        return nullptr;
    AgentSecurity security;
    security.userName = bytesFromText(properties->userName).toStdString();
    security.level = properties->level;
    security.auth = properties->auth;
    security.priv = properties->priv;
    security.context = bytesFromText(properties->context).toStdString();
    // Not found (a keyring that is locked, or none remembered): the run then
    // says the passphrase is too short; the keyring's message is not repeated.
    Passphrases passphrases =
        m_passphrases.find(agent, properties->userName, properties->rememberPassphrases, nullptr);
    security.authPassphrase = std::move(passphrases.auth);
    security.privPassphrase = std::move(passphrases.priv);
    m_runSecurity = std::move(security);
    return &*m_runSecurity;
}

bool TMainForm::execute(QAction *command)
{
    updateCommands();
    if (!command->isEnabled())
        return false;
    if (const std::function<void()> handler = m_handlers.value(command))
        reportFailures(handler);
    updateCommands();
    if (m_closePending && m_runDepth == 0) {
        m_closePending = false;
        close();
    }
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

void TMainForm::updateCommands()
{
    const ActionList &c = m_commands;
    c.actRun->setEnabled(m_idle);
    const bool canSave = c.actRun->isEnabled() && m_results->storedRowCount() > 0;
    c.actSave->setEnabled(canSave);
    c.actSaveAs->setEnabled(canSave);
    c.actClear->setEnabled(canSave);
    c.actToolBar->setChecked(toolBarShown());
    c.actStatusBar->setChecked(statusBarShown());
    c.actDetails->setEnabled(m_listView->selectionModel()->hasSelection());
    c.actStop->setEnabled(!c.actRun->isEnabled());
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
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        setGeometry(bounds);
        return;
    }
    // No larger than the desktop, as Windows limits a window: a stored size
    // of millions of pixels would otherwise take gigabytes of backing store.
    QRect desktop;
    for (QScreen *screen : screens)
        desktop |= screen->geometry();
    QRect r(bounds.topLeft(), bounds.size().boundedTo(desktop.size()));

    // On a screen when any of it is; an empty rectangle counts by its corner.
    const QRect probe(r.topLeft(), r.size().expandedTo(QSize(1, 1)));
    const bool onScreen = std::any_of(screens.begin(), screens.end(), [&](QScreen *screen) {
        return screen->availableGeometry().intersects(probe);
    });
    // Stored on a screen that is gone, the window would open where nobody
    // can reach it: it keeps its size and opens on the primary screen.
    if (!onScreen)
        r.moveTopLeft(QGuiApplication::primaryScreen()->availableGeometry().topLeft() + BuiltInPosition);
    setGeometry(r);
}

QRect TMainForm::normalBounds() const
{
    return normalGeometry();
}

void TMainForm::setWindowStateValue(int state)
{
    // Before the window is shown this only records the state; show() then
    // opens it so, with the bounds set before as its normal bounds.
    const Qt::WindowStates others = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    switch (state) {
    case 2:
        setWindowState(others | Qt::WindowMaximized);
        break;
    case 1:
        setWindowState(others | Qt::WindowMinimized);
        break;
    default:
        setWindowState(others);
        break;
    }
    m_windowStateValue = state == 1 || state == 2 ? state : 0;
}

HistoryList &TMainForm::history(HistoryBox box)
{
    switch (box) {
    case AgentBox:
        return *m_agentHistory;
    case CommunityBox:
        return *m_communityHistory;
    case OidBox:
        break;
    }
    return *m_oidHistory;
}

bool TMainForm::toolBarShown() const
{
    return !psToolBar->isHidden();
}

void TMainForm::setToolBarShown(bool shown)
{
    psToolBar->setVisible(shown);
}

bool TMainForm::statusBarShown() const
{
    return !m_statusBar->isHidden();
}

void TMainForm::setStatusBarShown(bool shown)
{
    m_statusBar->setVisible(shown);
}

void TMainForm::setSimpleStatus(const QString &text)
{
    m_statusBar->setSimplePanel(true);
    m_statusBar->setSimpleText(text);
}

void TMainForm::pushBusyCursor()
{
    // Stopped before the cursor was set: the window already looks idle.
    if (m_busyCursor || m_idle)
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    m_busyCursor = true;
}

void TMainForm::popCursor()
{
    if (!std::exchange(m_busyCursor, false))
        return;
    QGuiApplication::restoreOverrideCursor();
}

void TMainForm::showIdleLook()
{
    popCursor();
    m_autoHint = true;
    setSimpleStatus(QString::fromLatin1(msg::Ready));
}

void TMainForm::setIdle(bool idle)
{
    m_idle = idle;
    if (!idle)
        m_sinceEventPass.invalidate(); // a run's first pass is never skipped
}

void TMainForm::processEvents()
{
    // The rows of a GetBulk answer come microseconds apart, and one pass of
    // the event loop (a poll() and Qt's dispatch) costs about as much as
    // rendering a row. A running walk passes at most every EventPassNs:
    // what arrives in between waits no longer than that, and Stop still ends
    // the walk one row after its click is handled. Idle, every call passes.
    if (!m_idle && m_sinceEventPass.isValid() && m_sinceEventPass.nsecsElapsed() < EventPassNs)
        return;
    m_sinceEventPass.start();
    QCoreApplication::processEvents();
    updateCommands();
}

QString TMainForm::agentText() const
{
    return cboAgent->currentText();
}

QString TMainForm::communityText() const
{
    return cboCommunity->currentText();
}

QString TMainForm::oidText() const
{
    return cboOids->currentText();
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
        if (m_autoHint)
            showHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showHint(const QString &hint)
{
    if (hint.isEmpty()) {
        setSimpleStatus(QString::fromLatin1(msg::Ready));
        return;
    }
    m_statusBar->setSimplePanel(false);
    m_statusBar->setPanelText(hint);
}

void TMainForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        // Minimising leaves the stored state as it was (normal or maximised),
        // whatever flags the platform reports with it.
        const Qt::WindowStates states = windowState();
        if (states & Qt::WindowMaximized)
            m_windowStateValue = 2;
        else if (!(states & Qt::WindowMinimized))
            m_windowStateValue = 0;
    }
    QMainWindow::changeEvent(event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    execute(m_commands.actStop);
    if (m_runDepth > 0) {
        // The run's loop is still on the stack and uses this window; close
        // once it has returned.
        m_closePending = true;
        event->ignore();
        return;
    }
    event->accept();
}

void TMainForm::actSaveExecute()
{
    if (m_currentFileName.isEmpty()) {
        execute(m_commands.actSaveAs);
        return;
    }
    writeResults(m_currentFileName);
}

void TMainForm::actSaveAsExecute()
{
    QCoreApplication::processEvents();
    const QString initialName = m_currentFileName.isEmpty() ? QStringLiteral("*.txt") : m_currentFileName;
    const std::optional<QString> chosen = m_dialogs->askSaveFileName(this, initialName);
    if (!chosen)
        return;
    const QString previousName = std::exchange(m_currentFileName, withTxtExtension(*chosen));
    // The dialog asked about the name it returned only; the file actually
    // written may be another one that exists. Declined, nothing changes:
    // keeping the new name would let a later Save replace that file unasked.
    if (needsReplaceQuestion(*chosen, m_currentFileName) && !m_dialogs->confirmReplace(this, m_currentFileName)) {
        m_currentFileName = previousName;
        return;
    }
    writeResults(m_currentFileName);
}

void TMainForm::writeResults(const QString &fileName)
{
    m_results->flush();
    WindowCursor cursor;
    writeResultFile(fileName, ResultRows(*m_results), cursor);
}

void TMainForm::actExitExecute()
{
    close();
}

void TMainForm::actToolBarExecute()
{
    setToolBarShown(!toolBarShown());
}

void TMainForm::actStatusBarExecute()
{
    setStatusBarShown(!statusBarShown());
}

void TMainForm::actDetailsExecute()
{
    m_results->flush();
    m_dialogs->openDetails(this, m_listView);
}

void TMainForm::actOptionsExecute()
{
    m_dialogs->editOptions(this, m_timeOut, m_retries, m_version);
}

void TMainForm::actRunExecute()
{
    if (m_runDepth > 0) {
        // A stopped run still waits for its last answer. Run inside it, and
        // the stopped run's row and message would come after the new run's,
        // and runs could nest without end: give it up and run once it has
        // returned.
        m_abandonRun = true;
        m_runPending = true;
        return;
    }
    ++m_runDepth;
    const auto ended = qScopeGuard([this] {
        --m_runDepth;
        m_abandonRun = m_runPending = m_runStopped = false;
        m_results->flush();
    });
    do {
        m_runPending = m_abandonRun = m_runStopped = false;
        try {
            runQuery(*this);
        } catch (const AppError &) {
            // The user ended this run (Stop, or closing the window): what
            // became of its last request is no longer news to them.
            if (!m_runStopped && !m_closePending)
                throw;
        }
    } while (m_runPending && !m_closePending);
}

void TMainForm::actStopExecute()
{
    const bool running = m_runDepth > 0 && !m_idle;
    stopQuery(*this);
    if (running) {
        m_runStopped = true;
        showIdleLook();
    }
}

void TMainForm::actClearExecute()
{
    // Rows a stopped run still waits for must not follow the Clear.
    if (m_runDepth > 0)
        m_abandonRun = true;
    if (m_results->storedRowCount() > 0)
        m_results->clear();
}

void TMainForm::actAgentPropertiesExecute()
{
    const QString agent = agentText();
    const AgentProperties *stored = agentProperties(agent);
    AgentProperties properties = stored ? *stored : AgentProperties();
    QString keyringMessage;
    Passphrases passphrases =
        m_passphrases.find(agent, properties.userName, properties.rememberPassphrases, &keyringMessage);
    if (!m_dialogs->editAgentProperties(this, agent, properties, passphrases.auth, passphrases.priv)) {
        if (!keyringMessage.isEmpty())
            throw AppError(keyringMessage.toStdString());
        return;
    }
    // The other settings are kept whatever the keyring does.
    m_agents[agent] = properties;
    if (properties.version == AgentVersion::V3)
        keyringMessage = m_passphrases.keep(agent, properties.userName, passphrases, properties.rememberPassphrases);
    if (!keyringMessage.isEmpty())
        throw AppError(keyringMessage.toStdString());
}

void TMainForm::actOperationExecute(QAction *command)
{
    m_operation = Operation(operationTag(command));
}

void TMainForm::actAboutExecute()
{
    m_dialogs->openAbout(this);
}
