// SPDX-License-Identifier: MIT
#include "ui/mainform.h"

#include "common/apperror.h"
#include "common/bytetext.h"
#include "common/messages.h"
#include "engine/historyrule.h"
#include "engine/mibload.h"
#include "engine/mibtables.h"
#include "store/resultfile.h"
#include "store/settingsstore.h"
#include "ui/coolbar.h"
#include "ui/dialogs/programicon.h"
#include "ui/dialogs/uifont.h"
#include "ui/findbar.h"
#include "ui/listview.h"
#include "ui/menubar.h"
#include "ui/mibtreewindow.h"
#include "ui/oidcompleter.h"
#include "ui/pagescroller.h"
#include "ui/resultmodel.h"
#include "ui/resultrows.h"
#include "ui/rowcopy.h"
#include "ui/rowsearch.h"
#include "ui/splitter.h"
#include "ui/statusbar.h"
#include "ui/tableview/tablewindow.h"
#include "ui/windowplacement.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
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

QStringList entries(const HistoryList &list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items.append(list.item(i));
    return items;
}

// The box's edit text stays as it is while the entries are replaced.
void applyHistory(const HistorySettings &stored, HistoryList &list)
{
    if (stored.items) {
        for (int i = list.count() - 1; i >= 0; --i)
            list.removeItem(i);
        for (const QString &text : *stored.items)
            list.insertItem(list.count(), text);
    }
    if (stored.selectFirst && list.count() > 0)
        list.selectItem(0);
}

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

    // A failed load is shown, and what it read before the failure applies; the
    // window still starts idle rather than with Run disabled until someone
    // presses Stop.
    const LoadedSettings loaded = loadSettings(m_settings);
    applySettings(loaded.settings);
    reportFailure(loaded.error);
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
    delete m_tableWindow; // it reads the result model, which goes with the window
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
    miFile = makeMenu("miFile", "&File", "File related commands.",
                      {c.actSave, c.actSaveAs, nullptr, c.actLoadMib, nullptr, c.actExit});
    miView = makeMenu("miView", "&View", "Contains commands for manipulating the view.",
                      {c.actToolBar, c.actStatusBar, c.actMibValues, nullptr, c.actDetails, c.actMibTree, nullptr,
                       c.actFind, c.actFindNext, c.actFindPrevious, c.actTableView, nullptr, c.actOptions});
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
    // A wide window leaves its free width after the last button: the items
    // keep their widths, and each caption stays beside its box.
    layout->addStretch(1);

    cboAgent->addItem(QStringLiteral("127.0.0.1"));
    cboCommunity->addItem(QStringLiteral("tarnel"));
    cboOids->addItems({QStringLiteral(".1.3.6.1.2.1.1.1.0"),
                       QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0"),
                       QStringLiteral("all")});
    // The built-in entries are in the lists, but nothing is selected until the settings load selects it.
    for (QComboBox *box : {cboAgent, cboCommunity, cboOids})
        box->setCurrentIndex(-1);

    new OidCompleter(cboOids);

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
    m_rowCopy = new RowCopy(m_listView, *m_results);
    m_search = new RowSearch(*m_results, this);
    m_findBar = new FindBar;
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
    layout->addWidget(m_findBar); // hidden until Ctrl+F
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
        {c.actMibValues, [this] { actMibValuesExecute(); }},
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
        {c.actMibTree, [this] { actMibTreeExecute(); }},
        {c.actLoadMib, [this] { actLoadMibExecute(); }},
        {c.actFind, [this] { actFindExecute(); }},
        {c.actFindNext, [this] { findRow(false); }},
        {c.actFindPrevious, [this] { findRow(true); }},
        {c.actTableView, [this] { actTableViewExecute(); }},
    };
    for (QAction *action : c.all())
        connect(action, &QAction::triggered, this, [this, action] { execute(action); });

    connect(m_listView, &ListView::doubleClicked, this, [this] { execute(m_commands.actDetails); });
    connect(m_listView, &ListView::enterPressed, this, [this] { execute(m_commands.actDetails); });

    connect(m_findBar, &FindBar::findNext, this, [this] { execute(m_commands.actFindNext); });
    connect(m_findBar, &FindBar::findPrevious, this, [this] { execute(m_commands.actFindPrevious); });
    connect(m_findBar, &FindBar::closed, this, &TMainForm::closeFindBar);
    connect(m_search, &RowSearch::finished, this, &TMainForm::showFound);
    connect(m_results, &QAbstractItemModel::modelReset, m_search, &RowSearch::cancel);
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
    applyHistory(settings.agents, *m_agentHistory);
    applyHistory(settings.communities, *m_communityHistory);
    applyHistory(settings.oids, *m_oidHistory);
    m_agentProperties = settings.agentProperties;
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
    settings.agents.items = entries(*m_agentHistory);
    settings.communities.items = entries(*m_communityHistory);
    settings.oids.items = entries(*m_oidHistory);
    settings.agentProperties = m_agentProperties;
    return settings;
}

void TMainForm::writeSettings()
{
    reportFailure(saveSettings(m_settings, currentSettings()));
}

AgentPropertiesMap::const_iterator TMainForm::findAgent(const QString &agent) const
{
    return m_agentProperties.find(agent);
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

void TMainForm::reportFailure(const StoreError &failure)
{
    if (failure)
        m_dialogs->showError(this, failure.message());
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
    c.actMibValues->setChecked(mibValues());
    c.actDetails->setEnabled(m_listView->selectionModel()->hasSelection());
    c.actStop->setEnabled(!c.actRun->isEnabled());
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
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        setGeometry(bounds);
        return;
    }
    // No larger than the desktop, as Windows limits a window: a stored size
    // of millions of pixels would otherwise take gigabytes of backing store.
    QRect desktop;
    QList<QRect> available;
    for (QScreen *screen : screens) {
        desktop |= screen->geometry();
        available << screen->availableGeometry();
    }
    // Stored on a larger screen or a screen that is gone, the window could
    // open where nobody can grab it, and without a window manager nothing
    // brings it back: then it opens on the primary screen.
    setGeometry(placeWindow(QRect(bounds.topLeft(), bounds.size().boundedTo(desktop.size())), available,
                            QGuiApplication::primaryScreen()->availableGeometry(),
                            QRect(BuiltInPosition, QSize(std::max(640, m_coolBar->sizeHint().width()), 480))));
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

void TMainForm::processEvents()
{
    // The rows of a GetBulk answer come microseconds apart, and one pass of
    // the event loop (a poll() and Qt's dispatch) costs about as much as
    // rendering a row. A running walk passes at most every EventPassNs:
    // what arrives in between waits no longer than that, and Stop still ends
    // the walk one row after its click is handled. Idle, every call passes.
    // Called right after a row is stored, it takes that row's time, as
    // reading the clock costs a twentieth of a row on a virtual machine.
    if (!m_idle && m_eventPassNs >= 0) {
        const qint64 now = m_rowStoredNs > m_eventPassNs ? m_rowStoredNs : ResultModel::clockNs();
        if (now - m_eventPassNs < EventPassNs)
            return;
    }
    m_eventPassNs = ResultModel::clockNs();
    QCoreApplication::processEvents();
    updateCommands();
}

QueryRequest TMainForm::currentRequest()
{
    QueryRequest request;
    request.operation = m_operation;
    request.agent = cboAgent->currentText();
    request.community = cboCommunity->currentText();
    request.oids = cboOids->currentText();
    request.transport = m_transport;
    request.wait = RequestWait::ProcessEvents;
    m_runSendsCommunity = true;
    const auto found = findAgent(request.agent);
    if (found == m_agentProperties.end())
        return request;
    const AgentProperties &p = found->second;
    switch (p.version) {
    case AgentVersion::Default:
        break;
    case AgentVersion::V1:
        request.transport.version = SnmpVersion::V1;
        break;
    case AgentVersion::V2c:
        request.transport.version = SnmpVersion::V2c;
        break;
    case AgentVersion::V3: {
        AgentSecurity security;
        security.userName = bytesFromText(p.userName).toStdString();
        security.level = p.level;
        security.auth = p.auth;
        security.priv = p.priv;
        security.context = bytesFromText(p.context).toStdString();
        // None found (not remembered, or a keyring that does not answer): the
        // run says the passphrase is too short; the keyring's own message
        // came with the properties.
        Passphrases passphrases = m_passphrases.find(found->first, p.userName, p.rememberPassphrases, nullptr);
        security.authPassphrase = std::move(passphrases.auth);
        security.privPassphrase = std::move(passphrases.priv);
        request.security = std::move(security);
        m_runSendsCommunity = false;
        break;
    }
    }
    return request;
}

void TMainForm::inputsAccepted()
{
    recordHistory(*m_agentHistory);
    if (m_runSendsCommunity)
        recordHistory(*m_communityHistory);
    recordHistory(*m_oidHistory);
}

void TMainForm::appendRow(ResultRow &&row)
{
    m_rowStoredNs = ResultModel::clockNs();
    m_results->appendRow(std::move(row), m_rowStoredNs);
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
        m_control.closing = true;
        event->ignore();
        return;
    }
    event->accept();
    // Here rather than in the destructor: a failure is still shown over the
    // window, and every way the program ends normally closes the window.
    writeSettings();
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
    ResultFile file;
    // A file that cannot be opened leaves the cursor as it was.
    if (const StoreError failure = file.open(fileName)) {
        reportFailure(failure);
        return;
    }
    StoreError failure;
    {
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        failure = file.write(ResultRows(*m_results));
    }
    reportFailure(failure);
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

void TMainForm::actMibValuesExecute()
{
    setMibValues(!mibValues());
}

void TMainForm::actDetailsExecute()
{
    m_results->flush();
    m_dialogs->openDetails(this, m_listView);
}

void TMainForm::actOptionsExecute()
{
    m_dialogs->editOptions(this, m_transport.timeOut, m_transport.retries, m_transport.version);
}

void TMainForm::actRunExecute()
{
    if (m_runDepth > 0) {
        // A stopped run still waits for its last answer. Run inside it, and
        // the stopped run's row and message would come after the new run's,
        // and runs could nest without end: give it up and run once it has
        // returned.
        m_control.abandoned = true;
        m_runPending = true;
        return;
    }
    ++m_runDepth;
    const auto ended = qScopeGuard([this] {
        --m_runDepth;
        m_runPending = false;
        m_control = RunControl();
        m_results->flush();
    });
    do {
        m_runPending = false;
        m_control = RunControl{false, false, m_closePending};
        try {
            // The closing steps showed "Ready"; a walk that found nothing says so instead.
            if (runOnce() == QueryEnd::EmptySubtree)
                setSimpleStatus(QString::fromLatin1(msg::NoObjects));
        } catch (const AppError &) {
            // The user ended this run (Stop, or closing the window): what
            // became of its last request is no longer news to them.
            if (!m_control.stopped && !m_closePending)
                throw;
        }
    } while (m_runPending && !m_closePending);
}

QueryEnd TMainForm::runOnce()
{
    // Run disabled and Stop enabled before any work starts.
    m_idle = false;
    m_eventPassNs = -1; // a run's first pass is never skipped
    updateCommands();
    // The closing steps, on every way out: normal end, Stop and failures alike.
    const auto closing = qScopeGuard([this] {
        m_idle = true;
        setSimpleStatus(QString::fromLatin1(msg::Ready));
        m_autoHint = true;
        popCursor();
    });
    m_autoHint = false;
    setSimpleStatus(QString::fromLatin1(msg::Updating));
    processEvents(); // paints the text; a Stop here ends a walk after its first row
    pushBusyCursor();
    return runQuery(currentRequest(), *this, m_control);
}

void TMainForm::actStopExecute()
{
    const bool running = m_runDepth > 0 && !m_idle;
    m_idle = true;
    if (running) {
        m_control.stopped = true;
        showIdleLook();
    }
    processEvents();
}

void TMainForm::actClearExecute()
{
    // Rows a stopped run still waits for must not follow the Clear.
    if (m_runDepth > 0)
        m_control.abandoned = true;
    if (m_results->storedRowCount() > 0)
        m_results->clear();
}

void TMainForm::actAgentPropertiesExecute()
{
    QString agent = cboAgent->currentText();
    AgentProperties properties;
    if (const auto found = findAgent(agent); found != m_agentProperties.end()) {
        agent = found->first; // the passphrases are kept under the text the properties have
        properties = found->second;
    }
    StoreError keyring;
    Passphrases passphrases = m_passphrases.find(agent, properties.userName, properties.rememberPassphrases, &keyring);
    const bool wasRemembered = properties.rememberPassphrases;
    if (!m_dialogs->editAgentProperties(this, agent, properties, passphrases.auth, passphrases.priv)) {
        reportFailure(keyring);
        return;
    }
    // The other properties are kept whatever the keyring does.
    m_agentProperties[agent] = properties;
    if (properties.version == AgentVersion::V3)
        keyring = m_passphrases.keep(agent, properties.userName, passphrases,
                                     properties.rememberPassphrases, wasRemembered);
    reportFailure(keyring);
}

void TMainForm::actOperationExecute(QAction *command)
{
    m_operation = Operation(operationTag(command));
}

void TMainForm::actAboutExecute()
{
    m_dialogs->openAbout(this);
}

void TMainForm::actMibTreeExecute()
{
    // Typing searches, each time the window is shown.
    showMibTree().focusSearch();
}

void TMainForm::actLoadMibExecute()
{
    const std::optional<QString> file = m_dialogs->askMibFileName(this);
    if (!file)
        return;
    const MibLoadResult loaded = loadMibFile(file->toStdString());
    // Either way the MIB Tree shows what became of it: the errors, or the module.
    TMibTreeWindow &window = showMibTree();
    if (!loaded.errors.empty())
        window.showLoadErrors(QString::fromStdString(loaded.errors.front().module));
    else
        window.showModule(QString::fromStdString(loaded.module));
    if (loaded.errors.empty())
        setSimpleStatus(QString::fromStdString(formatMessage(msg::MibLoaded, loaded.module.c_str(),
                                                             QDir::toNativeSeparators(*file).toUtf8().constData())));
}

TMibTreeWindow &TMainForm::showMibTree()
{
    if (!m_mibTree) {
        m_mibTree = new TMibTreeWindow(this);
        connect(m_mibTree, &TMibTreeWindow::oidChosen, this, &TMainForm::takeOid);
    }
    m_mibTree->refresh();
    m_mibTree->show();
    m_mibTree->raise();
    m_mibTree->activateWindow();
    return *m_mibTree;
}

void TMainForm::takeOid(const QString &oid, bool append)
{
    // A Walk refuses several OIDs: appending would build a list the Run rejects.
    const bool walk = append && m_operation == Operation::Walk;
    if (walk)
        append = false;
    QString text = append ? cboOids->currentText() : QString();
    if (!text.isEmpty() && !text.endsWith(u';'))
        text += u';';
    cboOids->setEditText(text + oid);
    // Replacing: the window comes up with the box, ready for F9. Appending
    // goes on in the MIB Tree, for the next node.
    if (!append) {
        raise();
        activateWindow();
        cboOids->setFocus();
    }
    if (walk)
        setSimpleStatus(QString::fromLatin1(msg::WalkTakesOneOid));
}

void TMainForm::actFindExecute()
{
    m_findBar->open();
}

void TMainForm::findRow(bool backwards)
{
    if (m_findBar->text().isEmpty()) {
        m_findBar->open();
        return;
    }
    const QModelIndex current = m_listView->currentIndex();
    m_search->start(m_findBar->text(), m_findBar->options(), current.isValid() ? current.row() : -1, backwards);
}

void TMainForm::showFound(qsizetype row)
{
    if (row < 0) {
        setSimpleStatus(QString::fromLatin1(msg::NotFound));
        return;
    }
    const QModelIndex found = results().index(int(row), 0);
    m_listView->selectionModel()->setCurrentIndex(found, QItemSelectionModel::ClearAndSelect
                                                             | QItemSelectionModel::Rows);
    m_listView->scrollTo(found);
    setSimpleStatus(QString::asprintf(msg::RowOfRows, static_cast<long long>(row + 1),
                                      static_cast<long long>(m_results->storedRowCount())));
}

void TMainForm::closeFindBar()
{
    m_search->cancel();
    m_findBar->hide();
    m_listView->setFocus();
}

void TMainForm::actTableViewExecute()
{
    if (!m_tableWindow) {
        // Tables by the shape of the names, their indexes read by the MIB where it defines them.
        m_tableWindow = new TTableWindow(*m_results, *m_dialogs, std::make_unique<MibTableProvider>(), this);
    }
    m_results->flush();
    m_tableWindow->show();
    m_tableWindow->raise();
    m_tableWindow->activateWindow();
}
