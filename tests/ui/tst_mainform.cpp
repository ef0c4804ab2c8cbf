// SPDX-License-Identifier: MIT
#include "engine/mib/oidtext.h"
#include "tests/support/files.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/aboutbox.h"
#include "ui/dialogs/detailsdialog.h"
#include "ui/dialogs/errorbox.h"
#include "ui/dialogs/optionsdialog.h"
#include "ui/mibtree/mibtreewindow.h"
#include "ui/results/findbar.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/results/rowcopy.h"
#include "ui/tableview/tablemodel.h"
#include "ui/tableview/tablewindow.h"
#include "ui/widgets/coolbar.h"
#include "ui/widgets/menubar.h"
#include "ui/widgets/statusbar.h"

#include <QAccessible>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

// Records the keys that reach a widget, and counts its paints.
class KeyRecorder final : public QObject
{
public:
    QList<int> keys;
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            keys << static_cast<QKeyEvent *>(event)->key();
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

ResultRow row(int n)
{
    const std::string s = std::to_string(n);
    return {".1.3.6.1.4.1.99999.1." + s, "enterprises.99999.1." + s, "Integer32", s};
}

// A walk under .1.3.6.1.4.1.99999 goes on until it is stopped.
ScriptedAgent::Handler endlessSubtreeHandler()
{
    return ScriptedAgent::endlessSubtreeHandler("1.3.6.1.4.1.99999.1", ScriptedAgent::Value::integer(1));
}

// Snapshot of the commands' states.
struct CommandStates
{
    QMap<QString, bool> enabled;
    QMap<QString, bool> checked;
};

} // namespace

class TestMainForm final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsReady();
    void layoutAsDesigned();
    void menusAsShown_data();
    void menusAsShown();
    void menusAndToolBar();
    void enablingRulesWhileIdle();
    void executeReevaluatesRules();
    void enablingRulesWhileRunning();
    void f9RunsGetFromTheFocusedBox();
    void walkAndClear();
    void stopAddsExactlyOneRow();
    void enterOpensDetails();
    void listKeysAsInAReportList_data();
    void listKeysAsInAReportList();
    void cutOffCellsShowTheirText();
    void disabledShortcutKeysReachTheFocusedBox();
    void failuresShowInTheErrorBox_data();
    void failuresShowInTheErrorBox();
    void closingDuringWalk_data();
    void closingDuringWalk();
    void exitDuringWalk();
    void slowAnswer_data();
    void slowAnswer();
    void silentAgentWindowAnswers();
    void tenThousandRowWalk();
    void hintsInTheStatusBar();
    void menuBandByKeyboard();
    void everyControlIsNamed();
    void escAndTabInEachWindow_data();
    void escAndTabInEachWindow();
    void findInTheList_data();
    void findInTheList();
    void copyRows_data();
    void copyRows();
    void optionsAndAbout();
    void realDialogsAreWired();

private:
    QComboBox *box(const char *name) const;
    CommandStates states() const;

    SnmpdAgent m_snmpd;
    bool m_snmpdUp = false;
    WindowFixture m_window;
};

QComboBox *TestMainForm::box(const char *name) const
{
    return m_window->findChild<QComboBox *>(QString::fromLatin1(name));
}

CommandStates TestMainForm::states() const
{
    CommandStates s;
    for (QAction *action : m_window->commands().all()) {
        s.enabled[action->objectName()] = action->isEnabled();
        s.checked[action->objectName()] = action->isChecked();
    }
    return s;
}

void TestMainForm::initTestCase()
{
    m_snmpdUp = m_snmpd.start();
    if (!m_snmpdUp)
        qWarning("snmpd did not start: %s", qPrintable(m_snmpd.log()));
}

void TestMainForm::init()
{
    // The window stores its state at exit; every case starts as a first start.
    QVERIFY(m_window.start());
}

void TestMainForm::cleanup()
{
    m_window.stop();
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestMainForm::startsReady()
{
    QCOMPARE(box("cboAgent")->currentText(), QStringLiteral("127.0.0.1"));
    QCOMPARE(box("cboCommunity")->currentText(), QStringLiteral("tarnel"));
    QCOMPARE(box("cboOids")->currentText(), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    QCOMPARE(box("cboOids")->count(), 3);
    QCOMPARE(box("cboOids")->itemText(1), QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0"));
    QCOMPARE(box("cboOids")->itemText(2), QStringLiteral("all"));
    QCOMPARE(int(m_window->operation()), 1);
    QVERIFY(m_window.command("actGet")->isChecked());
    QVERIFY(!m_window.command("actGetNext")->isChecked());
    QVERIFY(!m_window.command("actWalk")->isChecked());
    QVERIFY(m_window->isIdle());
    QVERIFY(m_window->statusLine()->simplePanel());
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("Ready"));
    QCOMPARE(QApplication::focusWidget(), box("cboAgent"));
    QVERIFY(m_window->findBar()->isHidden()); // the window as designed until Ctrl+F
    QCOMPARE(m_window->transport().timeOut, 1000);
    QCOMPARE(m_window->transport().retries, 1);
    QVERIFY(m_window->currentFileName().isEmpty());

    const CommandStates s = states();
    QVERIFY(s.enabled["actRun"]);
    QVERIFY(!s.enabled["actStop"]);
    QVERIFY(!s.enabled["actSave"]);
    QVERIFY(!s.enabled["actSaveAs"]);
    QVERIFY(!s.enabled["actClear"]);
    QVERIFY(!s.enabled["actDetails"]);
    QVERIFY(s.checked["actToolBar"]);
    QVERIFY(s.checked["actStatusBar"]);
}

void TestMainForm::layoutAsDesigned()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Norvane"));
    // 640 by 480, wider only when the font needs it for the whole tool bar.
    QCOMPARE(m_window->height(), 480);
    QCOMPARE(m_window->width(), std::max(640, m_window->coolBar()->sizeHint().width()));
    QCOMPARE(m_window->font().pointSize(), 8);
    // No classic menu bar: the menus drop down from the cool bar's buttons.
    QCOMPARE(m_window->findChild<QMenuBar *>(), nullptr);

    CoolBar *bar = m_window->coolBar();
    QCOMPARE(bar->bandCount(), 2);
    QCOMPARE(bar->band(0)->control()->objectName(), QStringLiteral("psMenuBar"));
    QCOMPARE(bar->band(1)->control()->objectName(), QStringLiteral("psToolBar"));
    QCOMPARE(bar->bandRow(0), 0);
    QCOMPARE(bar->bandRow(1), 1);
    QVERIFY(bar->bandHeight(0) >= 21);
    QVERIFY(bar->bandHeight(1) >= 22);

    QCOMPARE(box("cboAgent")->width(), 110);
    QCOMPARE(box("cboCommunity")->width(), 110);
    QCOMPARE(box("cboOids")->width(), 211);
    for (const char *name : {"cboAgent", "cboCommunity", "cboOids"}) {
        QVERIFY(box(name)->isEditable());
        QCOMPARE(box(name)->insertPolicy(), QComboBox::NoInsert);
        // No completion from the history lists; the Oids box completes MIB names.
        QCOMPARE(box(name)->completer() != nullptr, qstrcmp(name, "cboOids") == 0);
    }

    // Captions fit: no label or button is narrower than its text needs.
    for (QLabel *label : m_window->findChildren<QLabel *>()) {
        if (label->isVisible())
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    }
    for (QToolButton *button : m_window->findChildren<QToolButton *>()) {
        if (!button->isVisible())
            continue;
        if (button->toolButtonStyle() == Qt::ToolButtonIconOnly)
            QVERIFY(button->width() >= button->iconSize().width() + 4);
        else
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
    }
    // The whole tool bar fits the window without scrolling.
    QWidget *toolBar = m_window->findChild<QWidget *>(QStringLiteral("ToolBar"));
    QCOMPARE(toolBar->x(), 0);
    QVERIFY(toolBar->width() >= toolBar->sizeHint().width());
    QCOMPARE(toolBar->parentWidget()->width(), toolBar->width());
    for (const char *name : {"btnRun", "btnStop", "btnClear"})
        QCOMPARE(m_window->findChild<QToolButton *>(QString::fromLatin1(name))->size(), QSize(23, 22));
    // At 652 and 1280 pixels alike its items are packed from the left at their
    // widths: each starts where the one before ends, a caption's text where
    // its label's size hint does, and the free width comes after Clear.
    for (int width : {652, 1280}) {
        m_window->resize(width, 480);
        QTRY_COMPARE(toolBar->parentWidget()->width(), width - CoolBand::GripWidth - 2 * CoolBar::Margin);
        int x = 0;
        for (const char *name : {"lblAgent", "cboAgent", "lblCommunity", "cboCommunity", "lblOids", "cboOids",
                                 "btnRun", "btnStop", "btnClear"}) {
            const QWidget *item = m_window->findChild<QWidget *>(QString::fromLatin1(name));
            QVERIFY2(qAbs(item->x() - x) <= 3, qPrintable(QStringLiteral("%1 at %2").arg(name).arg(width)));
            x = item->x() + (qobject_cast<const QLabel *>(item) ? item->sizeHint().width() : item->width());
        }
        QCOMPARE(QList({box("cboAgent")->width(), box("cboCommunity")->width(), box("cboOids")->width()}),
                 QList({110, 110, 211}));
    }

    ListView *list = m_window->listView();
    const QStringList headers = {"Object Identifier", "Name", "Type", "Value"};
    const int widths[] = {130, 130, 130, 220};
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(list->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
        QCOMPARE(list->columnWidth(c), widths[c]);
    }
    // A report list: no grid, no row headers, rows of one fixed height that
    // holds a small icon and a line of text.
    QVERIFY(!list->showGrid());
    QVERIFY(list->verticalHeader()->isHidden());
    QVERIFY(list->verticalHeader()->defaultSectionSize() >= qMax(16, list->fontMetrics().height()));
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    // Without the focus the selection stays in sight, in another colour than with it.
    const QPalette colours = list->palette();
    QVERIFY(colours.color(QPalette::Inactive, QPalette::Highlight) != colours.color(QPalette::Active, QPalette::Highlight));
    QVERIFY(colours.color(QPalette::Inactive, QPalette::Highlight) != colours.color(QPalette::Inactive, QPalette::Base));
    QCOMPARE(list->y() + list->height() <= m_window->statusLine()->y(), true);
}

// The menus as the user reads them, against the command table: each item's
// caption, the shortcut the menu shows beside it, and the hint the status bar
// shows while the item is highlighted, enabled or not ("-": a separator).
void TestMainForm::menusAsShown_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::newRow("miFile") << QStringList{"&Open...\tCtrl+O\tOpens a recording (snmpsim, Net-SNMP walk) or a result file into the list.",
                                           "&Save\tCtrl+S\tSave current file.",
                                           "Save &As...\t\tSave current file with different name.",
                                           "Export for &Prometheus...\t\tExports the selected row's object as a module "
                                           "of Prometheus's SNMP exporter.", "-",
                                           "Co&mpare With...\t\tCompares the list with a recording or result file.", "-",
                                           "&Load MIB File...\t\tLoads a MIB module from a file and keeps it in your MIB folder.",
                                           "-", "E&xit\t\tExit application."};
    QTest::newRow("miView") << QStringList{"&Toolbar\t\tShows or hides toolbar.",
                                           "Status &Bar\t\tShows or hides the status bar.",
                                           "&MIB Values\t\tShows values as their MIB modules describe them.", "-",
                                           "&Details...\tEnter\tMIB Object Details.",
                                           "MIB Tr&ee\t\tBrowses and searches the loaded MIB modules.",
                                           "T&raps\t\tReceives SNMP traps and informs, and lists them.", "-",
                                           "&Find...\tCtrl+F\tFinds a row holding a text.",
                                           "Find &Next\tF3\tFinds the next row holding the text.",
                                           "Find Pre&vious\tShift+F3\tFinds the row before holding the text.",
                                           "T&able View\tCtrl+Shift+T\tShows the tables among the results as grids.",
                                           "&Watch\t\tShows the watched objects with their values and rates over time.", "-",
                                           "&Options...\t\tSnmpMgrOpen settings."};
    QTest::newRow("miAction") << QStringList{
        "&Run\tF9\tRun.", "Sto&p\tEsc\tStop.", "&Clear\tCtrl+R\tClear previous results.",
        "Compare With Pre&vious Walk\t\tCompares the last walk with the one before it of the same agent and OIDs.", "-",
        "Agent Pr&operties...\t\tThe SNMP version and SNMPv3 security settings of the agent in the Agent box.", "-",
        "&Get\tCtrl+G\tRetrieve the value of the specified variable.",
        "Get&Next\tCtrl+T\tRetrieve the value of the lexicographic successor the specified variable.",
        "&Walk\tCtrl+W\tRetrieve the all values of the specified subtree.", "-",
        "&Add to Watch\tCtrl+Shift+W\tPolls the selected row's object (in the Table View, the selected cells) on its "
        "agent and graphs it in the Watch window.",
        "&Set...\tCtrl+E\tWrites a new value to the selected row's object (or the Oids box's OID), checked by its MIB, "
        "after a confirmation."};
    QTest::newRow("miHelp") << QStringList{
        "&About Norvane...\t\tDisplays program information, version number, and copyright."};
}

void TestMainForm::menusAsShown()
{
    QFETCH(QStringList, items);
    auto *menu = m_window->findChild<QMenu *>(QLatin1String(QTest::currentDataTag()));
    menu->popup(m_window->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    QStringList shown;
    QString letters; // each item's accelerator, unique within the menu
    for (QAction *item : menu->actions()) {
        if (item->isSeparator()) {
            shown << QStringLiteral("-");
            continue;
        }
        const QChar letter = item->text().at(item->text().indexOf(u'&') + 1).toLower();
        QVERIFY2(!letters.contains(letter), qPrintable(item->text()));
        letters += letter;
        menu->setActiveAction(item);
        shown << item->text() + '\t' + item->shortcut().toString(QKeySequence::NativeText) + '\t'
                     + m_window->statusLine()->panelText();
    }
    menu->close();
    QCOMPARE(shown, items);
}

void TestMainForm::menusAndToolBar()
{
    // The operation items are drawn as one radio group.
    QVERIFY(m_window.command("actGet")->actionGroup());
    QCOMPARE(m_window.command("actGet")->actionGroup(), m_window.command("actWalk")->actionGroup());
    QVERIFY(m_window.command("actGet")->actionGroup()->isExclusive());

    QWidget *menuBar = m_window->findChild<QWidget *>(QStringLiteral("MenuBar"));
    const auto buttons = menuBar->findChildren<MenuButton *>();
    QCOMPARE(buttons.size(), 4);
    const QStringList captions = {"&File", "&View", "&Action", "&Help"};
    const QStringList hints = {"File related commands.", "Contains commands for manipulating the view.",
                               "Contains action commands.", "Help topics."};
    const QStringList menus = {"miFile", "miView", "miAction", "miHelp"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(buttons[i]->text(), captions[i]);
        QCOMPARE(buttons[i]->statusTip(), hints[i]);
        QVERIFY(buttons[i]->toolTip().isEmpty());
        QCOMPARE(buttons[i]->dropDownMenu()->objectName(), menus[i]);
        QVERIFY(buttons[i]->width() <= 135);
    }

    const char *toolButtons[] = {"btnRun", "btnStop", "btnClear"};
    const char *actions[] = {"actRun", "actStop", "actClear"};
    const QStringList tips = {"Run", "Stop", "Clear"};
    for (int i = 0; i < 3; ++i) {
        auto *button = m_window->findChild<QToolButton *>(QString::fromLatin1(toolButtons[i]));
        QCOMPARE(button->defaultAction(), m_window.command(actions[i]));
        QCOMPARE(button->toolTip(), tips[i]);
        QVERIFY(!button->icon().isNull());
    }
    for (const char *name : {"cboAgent", "cboCommunity", "cboOids"})
        QVERIFY(box(name)->toolTip().isEmpty());
    QCOMPARE(box("cboAgent")->statusTip(), QStringLiteral("IP Address or IP Hostname."));

    // Each label's accelerator moves the focus to its box.
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblAgent"))->text(), QStringLiteral("A&gent "));
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblCommunity"))->text(), QStringLiteral(" C&ommunity "));
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblOids"))->text(), QStringLiteral(" O&ids "));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), box("cboOids"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), box("cboCommunity"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), box("cboAgent"));

    // Alt+F drops the File menu down.
    QMenu *file = m_window->findChild<QMenu *>(QStringLiteral("miFile"));
    QTimer::singleShot(0, this, [file] {
        QTRY_VERIFY(file->isVisible());
        file->close();
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(!file->isVisible());
}

void TestMainForm::enablingRulesWhileIdle()
{
    // Rule 2: rows make Save, Save As and Clear available.
    m_window->appendRow(row(1));
    m_window->appendRow(row(2));
    m_window->results();
    m_window->updateCommands();
    CommandStates s = states();
    QVERIFY(s.enabled["actSave"] && s.enabled["actSaveAs"] && s.enabled["actClear"]);
    QVERIFY(!s.enabled["actDetails"]);

    // Rule 4: a selected row makes Details available.
    ListView *list = m_window->listView();
    list->setCurrentIndex(list->model()->index(1, 0));
    m_window->updateCommands();
    QVERIFY(m_window.command("actDetails")->isEnabled());
    list->clearSelection();
    m_window->updateCommands();
    QVERIFY(!m_window.command("actDetails")->isEnabled());

    // Rule 3: the view toggles follow what is shown.
    QVERIFY(m_window.trigger("actToolBar"));
    QVERIFY(m_window->findChild<QWidget *>(QStringLiteral("psToolBar"))->isHidden());
    QVERIFY(!m_window.command("actToolBar")->isChecked());
    QCOMPARE(m_window->coolBar()->rowCount(), 1);
    QVERIFY(m_window.trigger("actToolBar"));
    QVERIFY(m_window.command("actToolBar")->isChecked());
    QCOMPARE(m_window->coolBar()->rowCount(), 2);
    QVERIFY(m_window.trigger("actStatusBar"));
    QVERIFY(m_window->statusLine()->isHidden());
    QVERIFY(!m_window.command("actStatusBar")->isChecked());
    m_window->setStatusBarShown(true);
    m_window->updateCommands();
    QVERIFY(m_window.command("actStatusBar")->isChecked());

    // Rule 6: the operation chosen is the one checked; none outside 1..3.
    QVERIFY(m_window.trigger("actWalk"));
    QCOMPARE(int(m_window->operation()), 3);
    s = states();
    QVERIFY(s.checked["actWalk"] && !s.checked["actGet"] && !s.checked["actGetNext"]);
    // Triggering the checked item again keeps it checked.
    QVERIFY(m_window.trigger("actWalk"));
    QVERIFY(m_window.command("actWalk")->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(int(m_window->operation()), 2);
    QVERIFY(m_window.command("actGetNext")->isChecked() && !m_window.command("actWalk")->isChecked());
    m_window->setOperation(Operation(7));
    m_window->updateCommands();
    s = states();
    QVERIFY(!s.checked["actGet"] && !s.checked["actGetNext"] && !s.checked["actWalk"]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(int(m_window->operation()), 1);

    // Clear empties the list in one go and becomes unavailable.
    QVERIFY(m_window.trigger("actClear"));
    QCOMPARE(m_window->results().storedRowCount(), 0);
    QVERIFY(!m_window.command("actClear")->isEnabled());
    QVERIFY(!m_window.trigger("actClear"));
}

void TestMainForm::executeReevaluatesRules()
{
    // The enabled states are stale (no refresh after the rows came), yet
    // execute() re-evaluates before it runs the handler.
    m_window->appendRow(row(1));
    QVERIFY(!m_window.command("actClear")->isEnabled());
    QVERIFY(m_window->execute(m_window.command("actClear")));
    QCOMPARE(m_window->results().storedRowCount(), 0);

    // And refuses a command whose rule now says no, whatever its stale
    // state: Clear while a run waits for an agent that does not answer.
    m_window->appendRow(row(2));
    ScriptedAgent agent;
    agent.setHandler(ScriptedAgent::silentHandler());
    QVERIFY(agent.start());
    m_window->setTransport({100, 0});
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.2.1.1.1.0");
    bool refused = false;
    QTimer::singleShot(50, m_window.get(), [&] {
        m_window.command("actClear")->setEnabled(true);
        refused = !m_window->execute(m_window.command("actClear")) && !m_window.command("actRun")->isEnabled()
            && m_window.command("actStop")->isEnabled();
        QVERIFY(m_window.trigger("actStop"));
    });
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY(refused);
    QCOMPARE(m_window->results().storedRowCount(), 1);
}

void TestMainForm::enablingRulesWhileRunning()
{
    ScriptedAgent agent;
    agent.setHandler(endlessSubtreeHandler());
    QVERIFY(agent.start());
    m_window->appendRow(row(0)); // rows from an earlier run
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.4.1.99999");
    QVERIFY(m_window.trigger("actWalk"));

    CommandStates during;
    CommandStates selected;
    bool stillUpdating = false;
    bool simpleDuring = false;
    QTimer::singleShot(100, m_window.get(), [&] {
        during = states();
        // A hint while running: automatic hint display is off.
        QStatusTipEvent tip(QStringLiteral("some hint"));
        QCoreApplication::sendEvent(m_window.get(), &tip);
        stillUpdating = m_window->statusLine()->simpleText() == QLatin1String("Updating...");
        simpleDuring = m_window->statusLine()->simplePanel();
        m_window->listView()->setCurrentIndex(m_window->listView()->model()->index(0, 0));
        QTimer::singleShot(20, m_window.get(), [&] {
            selected = states();
            QVERIFY(m_window.trigger("actStop"));
        });
    });
    QVERIFY(m_window.trigger("actRun"));

    QVERIFY(!during.enabled["actRun"]);
    QVERIFY(during.enabled["actStop"]);
    QVERIFY(!during.enabled["actSave"]);
    QVERIFY(!during.enabled["actSaveAs"]);
    QVERIFY(!during.enabled["actClear"]);
    QVERIFY(!during.enabled["actDetails"]);
    QVERIFY(!during.enabled["actLoadMib"]);
    for (const char *name : {"actGet", "actGetNext", "actWalk", "actOptions", "actAbout", "actExit", "actToolBar",
                             "actStatusBar", "actMibTree"})
        QVERIFY2(during.enabled[name], name);
    QVERIFY(during.checked["actWalk"]);
    QVERIFY(stillUpdating);
    QVERIFY(simpleDuring);
    QVERIFY(selected.enabled["actDetails"]);
    QVERIFY(!selected.enabled["actRun"]);

    // Back to idle: Run, Save, Save As, Clear again; Stop not.
    const CommandStates after = states();
    QVERIFY(after.enabled["actRun"] && after.enabled["actSave"] && after.enabled["actClear"]);
    QVERIFY(!after.enabled["actStop"]);
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("Ready"));
    QVERIFY(m_window.log.errors.isEmpty());
}

void TestMainForm::f9RunsGetFromTheFocusedBox()
{
    if (!m_snmpdUp)
        QSKIP("snmpd is not available");
    QComboBox *agentBox = box("cboAgent");
    QCOMPARE(QApplication::focusWidget(), agentBox);
    agentBox->lineEdit()->selectAll();
    QTest::keyClicks(agentBox, m_snmpd.address());
    QCOMPARE(agentBox->currentText(), m_snmpd.address());
    QTest::keyClick(agentBox, Qt::Key_F9);

    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    ResultModel &rows = m_window->results();
    QCOMPARE(rows.rowCount(), 1);
    const auto texts = rows.rowTexts(0);
    QCOMPARE(texts[0], QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    QVERIFY2(texts[1].endsWith(QLatin1String("sysDescr.0")), qPrintable(texts[1]));
    QCOMPARE(texts[2], QStringLiteral("Octet String"));
    QVERIFY(!texts[3].isEmpty());
    // Appending neither selects nor scrolls.
    QVERIFY(!m_window->listView()->selectionModel()->hasSelection());
    // The typed agent went on top of its history; the others were already there.
    QCOMPARE(agentBox->itemText(0), m_snmpd.address());
    QCOMPARE(agentBox->itemText(1), QStringLiteral("127.0.0.1"));
    QCOMPARE(box("cboCommunity")->count(), 1);
    QVERIFY(m_window->isIdle());
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("Ready"));
}

void TestMainForm::walkAndClear()
{
    if (!m_snmpdUp)
        QSKIP("snmpd is not available");
    m_window.setInputs(m_snmpd.address(), "tarnel", ".1.3.6.1.2.1.1");
    QWidget *focused = QApplication::focusWidget();
    QTest::keyClick(focused, Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(int(m_window->operation()), 3);
    QTest::keyClick(focused, Qt::Key_F9);
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));

    ResultModel &rows = m_window->results();
    QVERIFY2(rows.rowCount() >= 7, qPrintable(QString::number(rows.rowCount())));
    QCOMPARE(rows.rowTexts(0)[0], QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    bool sawName = false;
    for (int i = 0; i < rows.rowCount(); ++i) {
        const auto texts = rows.rowTexts(i);
        QVERIFY2(texts[0].startsWith(QLatin1String(".1.3.6.1.2.1.1.")), qPrintable(texts[0]));
        sawName = sawName || texts[3] == QLatin1String(SnmpdAgent::SysName);
    }
    QVERIFY(sawName);
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("Ready"));

    // Nothing lies under a scalar instance: no row, and the status line says so.
    const int before = rows.rowCount();
    m_window.setInputs(m_snmpd.address(), "tarnel", "SNMPv2-MIB::sysName.0");
    QTest::keyClick(focused, Qt::Key_F9);
    QCOMPARE(m_window->results().rowCount(), before);
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("No objects under this OID."));
    QVERIFY(m_window.log.errors.isEmpty());

    QTest::keyClick(focused, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(rows.rowCount(), 0);
    QVERIFY(!m_window.command("actClear")->isEnabled());
    QVERIFY(!m_window.command("actSave")->isEnabled());
}

void TestMainForm::stopAddsExactlyOneRow()
{
    ScriptedAgent agent;
    agent.setHandler(endlessSubtreeHandler());
    QVERIFY(agent.start());
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.4.1.99999");
    QVERIFY(m_window.trigger("actWalk"));

    qsizetype atStop = -1;
    QTimer::singleShot(150, m_window.get(), [&] {
        atStop = m_window->results().storedRowCount();
        // Esc from the focused box, as a user stops a walk.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    QVERIFY(atStop > 0);
    QCOMPARE(m_window->results().storedRowCount(), atStop + 1);
    QCOMPARE(m_window->listView()->model()->rowCount(), int(atStop + 1));
    QVERIFY(m_window->isIdle());
    QVERIFY(m_window.log.errors.isEmpty());
}

void TestMainForm::enterOpensDetails()
{
    for (int i = 0; i < 5; ++i)
        m_window->appendRow(row(i));
    m_window->results();
    ListView *list = m_window->listView();
    list->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), list);

    // Without a selected row Enter does nothing.
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(m_window.log.detailsOpened, 0);

    list->setCurrentIndex(list->model()->index(2, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(m_window.log.detailsOpened, 1);
    QCOMPARE(m_window.log.detailsRow, 2);
    // The list looks at the key only, not at Shift or Ctrl.
    QTest::keyClick(list, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(list, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(m_window.log.detailsOpened, 5);

    // A double click on a row.
    const QRect rect = list->visualRect(list->model()->index(3, 1));
    // (QTest sends a lone double-click event to a widget; a real one follows a press and release.)
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(m_window.log.detailsOpened, 6);
    QCOMPARE(m_window.log.detailsRow, 3);

    // Enter in a box opens the details while the list has a selected row.
    box("cboOids")->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), box("cboOids"));
    QTest::keyClick(box("cboOids"), Qt::Key_Return);
    QCOMPARE(m_window.log.detailsOpened, 7);

    // Rows still waiting to be announced are shown to the dialog.
    m_window->appendRow(row(5));
    m_window->appendRow(row(6));
    QTest::keyClick(box("cboOids"), Qt::Key_Return);
    QCOMPARE(m_window.log.detailsRowCount, 7);
}

void TestMainForm::listKeysAsInAReportList_data()
{
    QTest::addColumn<int>("firstKey");
    QTest::addColumn<int>("firstRow");
    QTest::newRow("Down") << int(Qt::Key_Down) << 0;
    QTest::newRow("Up") << int(Qt::Key_Up) << 0;
    QTest::newRow("Home") << int(Qt::Key_Home) << 0;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << 0;
    QTest::newRow("End") << int(Qt::Key_End) << 499;
}

// Tabbed into with nothing selected, the first arrow key selects a row.
// Home and End go to the first and last row, Left and Right scroll sideways
// and leave the row alone, Tab leaves the list. The current row shows a
// focus rectangle while the list has the focus, and the selection another
// colour without it.
void TestMainForm::listKeysAsInAReportList()
{
    QFETCH(int, firstKey);
    QFETCH(int, firstRow);
    for (int n = 1; n <= 500; ++n)
        m_window->results().appendRow(row(n));
    m_window->results().flush();
    ListView *list = m_window->listView();
    list->setColumnWidth(3, 3000);
    box("cboOids")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);

    const auto selectedRow = [list] {
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -1;
    };
    QCOMPARE(selectedRow(), -1);
    QTest::keyClick(list, Qt::Key(firstKey));
    QCOMPARE(selectedRow(), firstRow);
    QCOMPARE(list->currentIndex().row(), firstRow);

    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->currentIndex().row(), 499);
    QCOMPARE(selectedRow(), 499);
    // The last row whole at the bottom, and a whole row at the top as well.
    QVERIFY(list->visualRect(list->currentIndex()).bottom() < list->viewport()->height());
    QCOMPARE(list->visualRect(list->indexAt(QPoint(1, 0))).top(), 0);

    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(selectedRow(), 0);
    QCOMPARE(list->verticalScrollBar()->value(), 0);

    const int column = list->currentIndex().column();
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Right);
    QVERIFY(list->horizontalScrollBar()->value() > 0);
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(list->currentIndex().column(), column);
    QTest::keyClick(list, Qt::Key_Left);
    QTest::keyClick(list, Qt::Key_Left);
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
    QCOMPARE(selectedRow(), 0);

    // Row 0 as drawn: its background at the far right, and the dots of the
    // focus rectangle along its top edge.
    const QRect row0 = list->visualRect(list->model()->index(0, 0)) & list->viewport()->rect();
    const auto drawn = [&](QColor *background) {
        const QImage image = list->viewport()->grab().toImage();
        *background = image.pixelColor(image.width() - 3, row0.center().y());
        int dots = 0;
        for (int x = 0; x < image.width(); ++x)
            dots += image.pixelColor(x, row0.top()) == list->palette().color(QPalette::Active, QPalette::HighlightedText);
        return dots;
    };
    QColor background;
    QVERIFY(drawn(&background) > list->viewport()->width() / 4);
    QCOMPARE(background.rgb(), list->palette().color(QPalette::Active, QPalette::Highlight).rgb());

    QTest::keyClick(list, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != list);
    QCOMPARE(drawn(&background), 0);
    QCOMPARE(background.rgb(), list->palette().color(QPalette::Inactive, QPalette::Highlight).rgb());
}

// The text of a cell its column cuts off shows whole in a tooltip; a cell
// that shows all of its text has none.
void TestMainForm::cutOffCellsShowTheirText()
{
    const std::string longName(60, 'n');
    const QString value(3000, u'v');
    m_window->appendRow({".1.3.6.1.2.1.1.5.0", longName, "Octet String", value.toStdString()});
    m_window->results().flush();
    ListView *list = m_window->listView();
    const auto tipAt = [list](int column) {
        const QRect cell = list->visualRect(list->model()->index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tipAt(ResultModel::TypeColumn), QString());
    QCOMPARE(tipAt(ResultModel::NameColumn), QString::fromStdString(longName));
    // Wider than the screen, in lines that fit it.
    const QStringList lines = tipAt(ResultModel::ValueColumn).split(u'\n');
    QCOMPARE(lines.join(QString()), value);
    for (const QString &line : lines)
        QVERIFY(QFontMetrics(QToolTip::font()).horizontalAdvance(line) < list->screen()->availableGeometry().width());
    QTRY_COMPARE(tipAt(ResultModel::OidColumn), QString());
    // The first column's icon counts: a column as wide as the text and its
    // margins still cuts the text off beside the icon.
    list->setColumnWidth(0, list->fontMetrics().horizontalAdvance(QStringLiteral(".1.3.6.1.2.1.1.5.0")) + 8);
    QCOMPARE(tipAt(ResultModel::OidColumn), QStringLiteral(".1.3.6.1.2.1.1.5.0"));
}

void TestMainForm::disabledShortcutKeysReachTheFocusedBox()
{
    QComboBox *oids = box("cboOids");
    oids->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), oids);
    KeyRecorder recorder;
    oids->installEventFilter(&recorder);

    // Details and Stop are disabled: their keys go on to the box.
    QVERIFY(!m_window.command("actDetails")->isEnabled());
    QVERIFY(!m_window.command("actStop")->isEnabled());
    QTest::keyClick(oids, Qt::Key_Return);
    QTest::keyClick(oids, Qt::Key_Escape);
    QCOMPARE(recorder.keys, QList<int>({Qt::Key_Return, Qt::Key_Escape}));
    QCOMPARE(m_window.log.detailsOpened, 0);

    // Enabled, the shortcut takes the key.
    m_window->appendRow(row(1));
    m_window->results();
    m_window->listView()->setCurrentIndex(m_window->listView()->model()->index(0, 0));
    m_window->updateCommands();
    recorder.keys.clear();
    QTest::keyClick(oids, Qt::Key_Return);
    QCOMPARE(m_window.log.detailsOpened, 1);
    QVERIFY(recorder.keys.isEmpty());
    oids->removeEventFilter(&recorder);
}

void TestMainForm::failuresShowInTheErrorBox_data()
{
    QTest::addColumn<QString>("agent");
    QTest::addColumn<QString>("community");
    QTest::addColumn<QString>("oids");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("scripted"); // "" for no agent, or how the scripted agent answers
    QTest::addColumn<QString>("message");

    QTest::newRow("blank agent") << "  " << "tarnel" << ".1.3.6.1.2.1.1.1.0" << 1 << ""
                                 << "Input parameters (Agent, Community, Oid) cannot be empty.";
    QTest::newRow("empty oid") << "127.0.0.1" << "tarnel" << "" << 3 << ""
                               << "Input parameters (Agent, Community, Oid) cannot be empty.";
    QTest::newRow("bad port") << "127.0.0.1:99999" << "tarnel" << ".1.3.6.1.2.1.1.1.0" << 1 << ""
                              << "SnmpMgrOpen error: 87.";
    QTest::newRow("invalid oid") << "SCRIPTED" << "tarnel" << "no-such-object-name" << 2 << "silent"
                                 << "Invalid Oids, 'no-such-object-name', specified.";
    QTest::newRow("invalid piece") << "SCRIPTED" << "tarnel" << ".1.3.6.1.2.1.1.1.0;;.1.3.6.1.2.1.1.3.0" << 1
                                   << "silent" << "Invalid Oids, '', specified.";
    QTest::newRow("timeout") << "SCRIPTED" << "tarnel" << ".1.3.6.1.2.1.1.1.0" << 1 << "silent"
                             << "SnmpMgrRequest error: 40.";
    QTest::newRow("error status") << "SCRIPTED" << "tarnel" << ".1.3.6.1.2.1.1.1.0" << 1 << "status"
                                  << "SnmpMgrRequest: ErrorStatus = 5, ErrorIndex = 1.";
}

void TestMainForm::failuresShowInTheErrorBox()
{
    QFETCH(QString, agent);
    QFETCH(QString, community);
    QFETCH(QString, oids);
    QFETCH(int, operation);
    QFETCH(QString, scripted);
    QFETCH(QString, message);

    ScriptedAgent scriptedAgent;
    if (!scripted.isEmpty()) {
        scriptedAgent.setHandler(scripted == "silent" ? ScriptedAgent::silentHandler()
                                                      : ScriptedAgent::errorStatusHandler(5, 1));
        QVERIFY(scriptedAgent.start());
        agent = scriptedAgent.address();
    }
    m_window->setTransport({80 * SlowBuild, 0});
    m_window->setOperation(Operation(operation));
    m_window.setInputs(agent, community, oids);
    QVERIFY(m_window.trigger("actRun"));

    QCOMPARE(m_window.log.errors, QStringList({message}));
    // Every run failure ends in ".", so the box adds none.
    QCOMPARE(errorBoxText(m_window.log.errors.first()), message);
    QCOMPARE(m_window->results().storedRowCount(), 0);
    QCOMPARE(m_window.notIdle(), QString()); // the program carries on idle
}

void TestMainForm::closingDuringWalk_data()
{
    QTest::addColumn<bool>("v2c");
    QTest::newRow("SNMPv1") << false;
    QTest::newRow("SNMPv2c, answers of 50 rows") << true;
}

void TestMainForm::closingDuringWalk()
{
    QFETCH(bool, v2c);
    ScriptedAgent agent;
    agent.setHandler(endlessSubtreeHandler());
    QVERIFY(agent.start());
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.4.1.99999");
    m_window->setTransport({1000, 1, v2c ? SnmpVersion::V2c : SnmpVersion::V1});
    QVERIFY(m_window.trigger("actWalk"));

    qsizetype atClose = -1;
    bool closedAtOnce = true;
    bool visibleAfterClose = false;
    QTimer::singleShot(50, m_window.get(), [&] {
        atClose = m_window->results().storedRowCount();
        closedAtOnce = m_window->close(); // the window's close box
        visibleAfterClose = m_window->isVisible();
    });
    QVERIFY(m_window.trigger("actRun"));

    // The close stopped the walk and waited for its loop to end.
    QVERIFY(!closedAtOnce);
    QVERIFY(visibleAfterClose);
    QCOMPARE(m_window->results().storedRowCount(), atClose + 1);
    QVERIFY(!m_window->isRunning());
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(m_window.log.errors.isEmpty());
}

void TestMainForm::exitDuringWalk()
{
    ScriptedAgent agent;
    agent.setHandler(endlessSubtreeHandler());
    QVERIFY(agent.start());
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.4.1.99999");
    QVERIFY(m_window.trigger("actWalk"));
    bool exitEnabled = false;
    QTimer::singleShot(50, m_window.get(), [&] { exitEnabled = m_window.trigger("actExit"); });
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY(exitEnabled);
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(m_window->isIdle());
}

void TestMainForm::slowAnswer_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("rows"); // the rows' last sub-identifiers
    QTest::newRow("stop") << "stop" << "1 2 3";
    // The close gives the awaited answer up: no timeouts are waited out.
    QTest::newRow("close") << "close" << "1 2";
    // Run, enabled again by Stop, gives the stopped walk's answer up and
    // walks to its end once the stopped walk has returned. The answer, let
    // go with the Stop, may still come in before the Run is looked at: its
    // row then comes before the new run's, never after.
    QTest::newRow("stop, then run") << "stop and run" << "1 2 1 2 3 4 5 6 7 8 9 10|1 2 3 1 2 3 4 5 6 7 8 9 10";
}

// The third answer is held until Stop (after a close: until the window has
// closed), 2.5 s at most. The window answers meanwhile: the row before it
// shows, the rules still say running, and Stop or a close acts at once;
// after Stop the walk ends with that answer's row.
void TestMainForm::slowAnswer()
{
    QFETCH(QString, action);
    QFETCH(QString, rows);
    std::atomic<bool> acted{false};
    ScriptedAgent agent;
    agent.setHandler([subtree = ScriptedAgent::integerSubtreeHandler("1.3.6.1.4.1.99999.1", 10), count = 0,
                      &acted](const ScriptedAgent::Request &request) mutable {
        if (++count == 3) {
            for (int waited = 0; !acted && waited < 2500; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return subtree(request);
    });
    QVERIFY(agent.start());
    m_window->setTransport({3000, 1}); // no retry while the agent holds the answer
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.4.1.99999.1");
    QVERIFY(m_window.trigger("actWalk"));

    const auto *model = static_cast<const ResultModel *>(m_window->listView()->model()); // results() would flush
    // Shown while the third answer is awaited: counted in rows, not in
    // milliseconds, which a loaded machine stretches.
    bool rowTwoShownWhileWaiting = false;
    CommandStates waiting;
    bool actedWhileRunning = false;
    bool lookedIdle = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (model->storedRowCount() < 2 || !waiting.enabled.isEmpty())
            return;
        rowTwoShownWhileWaiting = rowTwoShownWhileWaiting || (model->rowCount() == 2 && model->storedRowCount() == 2);
        if (!rowTwoShownWhileWaiting || agent.requests().size() < 3)
            return;
        waiting = states();
        QVERIFY(action == QLatin1String("close") ? !m_window->close() : m_window.trigger("actStop"));
        actedWhileRunning = m_window->isRunning() && m_window->isIdle();
        // Its commands enabled again, the window no longer looks busy.
        lookedIdle = m_window->statusLine()->simpleText() == QLatin1String("Ready") && !QGuiApplication::overrideCursor();
        acted = action != QLatin1String("close");
        if (action == QLatin1String("stop and run"))
            QVERIFY(m_window.trigger("actRun"));
    });
    watch.start(5);
    QVERIFY(m_window.trigger("actRun"));
    watch.stop();

    QVERIFY(rowTwoShownWhileWaiting);
    QVERIFY(actedWhileRunning && waiting.enabled["actStop"] && !waiting.enabled["actRun"] && !waiting.enabled["actClear"]);
    QVERIFY(lookedIdle || action == QLatin1String("close"));
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row)
        shown << model->rowTexts(row)[0].section(QLatin1Char('.'), -1);
    QVERIFY2(rows.split(QLatin1Char('|')).contains(shown.join(' ')), qPrintable(shown.join(' ')));
    QVERIFY(m_window.log.errors.isEmpty() && m_window->isIdle() && !m_window->isRunning());
    if (action != QLatin1String("close"))
        return;
    QTRY_VERIFY(!m_window->isVisible());
    acted = true;
    m_window.quit(); // what the program does once its window has closed
    QVERIFY(readAll(RegistryHive::defaultFilePath()).contains(agent.address().toLatin1()));
}

// A Get of an agent that never answers, TimeOut 1000 and Retries 1: for the
// whole 2 s a 100 ms timer keeps firing and the list keeps repainting, then
// the error box comes as before. A run that blocked would leave a gap of a
// whole timeout; the bound leaves room for a loaded machine.
void TestMainForm::silentAgentWindowAnswers()
{
    ScriptedAgent agent;
    agent.setHandler(ScriptedAgent::silentHandler());
    QVERIFY(agent.start());
    m_window->setTransport({500, 1});
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.2.1.1.1.0");

    KeyRecorder paints;
    QWidget *viewport = m_window->listView()->viewport();
    viewport->installEventFilter(&paints);
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - std::exchange(lastTick, clock.elapsed()));
        ++ticks;
        viewport->update();
    });
    clock.start();
    tick.start(100);
    QVERIFY(m_window.trigger("actRun"));
    longestGap = std::max(longestGap, clock.elapsed() - lastTick);
    QCOMPARE(m_window.log.errors, QStringList{QStringLiteral("SnmpMgrRequest error: 40.")});
    QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed()))); // timeout x (retries + 1)
    QCOMPARE(agent.requests().size(), size_t(2));
    QVERIFY2(longestGap <= 600 && ticks >= 6 && paints.paints >= 5,
             qPrintable(QStringLiteral("%1 %2 %3").arg(longestGap).arg(ticks).arg(paints.paints)));
}

void TestMainForm::tenThousandRowWalk()
{
    constexpr int Rows = 10'000;
    ScriptedAgent agent;
    agent.setHandler(ScriptedAgent::integerSubtreeHandler("1.3.6.1.4.1.99999.1", Rows));
    QVERIFY(agent.start());
    m_window.setInputs(agent.address(), "tarnel", ".1.3.6.1.4.1.99999.1");
    QVERIFY(m_window.trigger("actWalk"));

    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_window.trigger("actRun"));
    const qint64 elapsed = clock.elapsed();
    qInfo("%d rows in %lld ms", Rows, qlonglong(elapsed));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    QCOMPARE(m_window->listView()->model()->rowCount(), Rows);
    QCOMPARE(m_window->results().rowTexts(Rows - 1)[0], QStringLiteral(".1.3.6.1.4.1.99999.1.10000"));
    QVERIFY2(elapsed < 8000, qPrintable(QString::number(elapsed)));
}

void TestMainForm::hintsInTheStatusBar()
{
    StatusBar *status = m_window->statusLine();
    QStatusTipEvent tip(QStringLiteral("Clear previous results."));
    QCoreApplication::sendEvent(m_window.get(), &tip);
    QVERIFY(!status->simplePanel());
    QCOMPARE(status->panelText(), QStringLiteral("Clear previous results."));
    QVERIFY(status->findChildren<QLabel *>().size() >= 1);
    QStatusTipEvent none{QString()};
    QCoreApplication::sendEvent(m_window.get(), &none);
    QVERIFY(status->simplePanel());
    QCOMPARE(status->simpleText(), QStringLiteral("Ready"));

    // The pointer over a box shows its hint; leaving it brings "Ready" back.
    QComboBox *agentBox = box("cboAgent");
    QTest::mouseMove(agentBox, QPoint(20, 5));
    QTRY_VERIFY(!status->simplePanel());
    QCOMPARE(status->panelText(), QStringLiteral("IP Address or IP Hostname."));
    QTest::mouseMove(m_window->listView()->viewport(), QPoint(100, 100));
    QTRY_VERIFY2(status->simplePanel(), qPrintable(status->panelText()));
    QCOMPARE(status->simpleText(), QStringLiteral("Ready"));

    // Over a tool bar button: the long part of the hint.
    auto *clear = m_window->findChild<QToolButton *>(QStringLiteral("btnClear"));
    QTest::mouseMove(clear, QPoint(5, 5));
    QTRY_COMPARE(status->panelText(), QStringLiteral("Clear previous results."));
    QTest::mouseMove(m_window->listView()->viewport(), QPoint(100, 100));
    QTRY_VERIFY(status->simplePanel());

    // A highlighted menu item.
    QMenu *menu = m_window->findChild<QMenu *>(QStringLiteral("miAction"));
    menu->popup(m_window->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    menu->setActiveAction(m_window.command("actGetNext"));
    QTRY_COMPARE(status->panelText(),
                 QStringLiteral("Retrieve the value of the lexicographic successor the specified variable."));
    // Disabled items too, arrowed onto or pointed at: highlighted, with their own hint.
    menu->setActiveAction(m_window.command("actRun"));
    QTest::keyClick(menu, Qt::Key_Down);
    QCOMPARE(menu->activeAction(), m_window.command("actStop"));
    QTRY_COMPARE(status->panelText(), QStringLiteral("Stop."));
    const QRect clearItem = menu->actionGeometry(m_window.command("actClear"));
    QTest::mouseMove(menu, clearItem.center());
    QTRY_COMPARE(menu->activeAction(), m_window.command("actClear"));
    QTRY_COMPARE(status->panelText(), QStringLiteral("Clear previous results."));
    // Drawn unlike Stop, which is disabled too but not highlighted.
    const QImage drawn = menu->grab().toImage();
    const QRect stop = menu->actionGeometry(m_window.command("actStop"));
    QVERIFY(drawn.pixel(clearItem.right() - 3, clearItem.center().y()) != drawn.pixel(stop.right() - 3, stop.center().y()));
    menu->close();
    QTRY_VERIFY(status->simplePanel());
    QCOMPARE(status->simpleText(), QStringLiteral("Ready"));
}

void TestMainForm::menuBandByKeyboard()
{
    const auto buttons = m_window->findChild<MenuBar *>()->findChildren<MenuButton *>();
    QCOMPARE(buttons.size(), 4);
    const auto focus = [] { return QApplication::focusWidget(); };
    QComboBox *oids = box("cboOids");
    oids->setFocus();
    QTRY_COMPARE(focus(), oids);

    // F10 puts the keyboard on the first menu, Left and Right go round the band, Esc goes back.
    QTest::keyClick(oids, Qt::Key_F10);
    QCOMPARE(focus(), buttons[0]);
    QCOMPARE(m_window->statusLine()->panelText(), QStringLiteral("File related commands."));
    QTest::keyClick(focus(), Qt::Key_Left);
    QCOMPARE(focus(), buttons[3]);
    QTest::keyClick(focus(), Qt::Key_Right);
    QCOMPARE(focus(), buttons[0]);
    QTest::keyClick(focus(), Qt::Key_Escape);
    QCOMPARE(focus(), oids);
    // A lone Alt there and back; Alt with a letter is an accelerator only.
    QTest::keyClick(oids, Qt::Key_Alt);
    QCOMPARE(focus(), buttons[0]);
    QTest::keyClick(focus(), Qt::Key_Alt);
    QCOMPARE(focus(), oids);
    QTest::keyClick(oids, Qt::Key_O, Qt::AltModifier);
    QCOMPARE(focus(), box("cboCommunity"));

    // On the band Enter opens a menu, not the details of the selected row.
    m_window->appendRow(row(1));
    m_window->listView()->setCurrentIndex(m_window->results().index(0, 0));
    m_window->updateCommands();
    QVERIFY(m_window.command("actDetails")->isEnabled());
    QTest::keyClick(focus(), Qt::Key_F10);
    QTest::keyClick(focus(), Qt::Key_Right);
    QTest::keyClick(focus(), Qt::Key_Return);
    QMenu *view = buttons[1]->dropDownMenu();
    QTRY_VERIFY(view->isVisible());
    QCOMPARE(m_window.log.detailsOpened, 0);
    QCOMPARE(view->activeAction(), m_window.command("actToolBar"));
    // Right in an open menu opens the next one; Esc closes it, a second Esc goes back.
    QTest::keyClick(view, Qt::Key_Right);
    QMenu *action = buttons[2]->dropDownMenu();
    QTRY_VERIFY(action->isVisible());
    QVERIFY(!view->isVisible());
    QTest::keyClick(action, Qt::Key_Escape);
    QTRY_VERIFY(!action->isVisible());
    QCOMPARE(focus(), buttons[2]);
    // The offscreen platform leaves no window active after a popup; a real one gives the activation back.
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QCOMPARE(focus(), buttons[2]);
    QTRY_COMPARE(m_window->statusLine()->panelText(), QStringLiteral("Contains action commands."));
    QTest::keyClick(focus(), Qt::Key_Escape);
    QCOMPARE(focus(), box("cboCommunity"));

    // A command chosen from a menu runs with the keyboard back where it was.
    QTest::keyClick(focus(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(action->isVisible());
    QTest::keyClick(action, Qt::Key_W);
    QTRY_VERIFY(!action->isVisible());
    QCOMPARE(int(m_window->operation()), 3);
    QCOMPARE(focus(), box("cboCommunity"));
}

// Every control a screen reader meets in the window, its menus and the
// three dialogs has a name.
void TestMainForm::everyControlIsNamed()
{
    QStringList unnamed;
    // Focusable controls, buttons and menu items; a combo box's name on Linux
    // is its text, and its label is tied to it instead.
    const std::function<void(QAccessibleInterface *)> visit = [&](QAccessibleInterface *node) {
        if (!node || node->state().invisible)
            return;
        const QAccessible::Role role = node->role();
        const bool control = node->state().focusable || role == QAccessible::PushButton
            || role == QAccessible::ButtonMenu || role == QAccessible::MenuItem;
        if (control && node->text(QAccessible::Name).trimmed().isEmpty() && node->relations(QAccessible::Label).isEmpty())
            unnamed << (node->object() ? QStringLiteral("%1 %2").arg(QLatin1String(node->object()->metaObject()->className()),
                                                                    node->object()->objectName())
                                       : QString::number(role));
        // A table's or tree's cells are its data, read with their columns.
        if (role != QAccessible::Table && role != QAccessible::Tree)
            for (int i = 0; i < node->childCount(); ++i)
                visit(node->child(i));
    };
    const auto visitWindow = [&](QWidget *window) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        visit(QAccessible::queryAccessibleInterface(window));
        window->close();
    };

    m_window->appendRow(row(1));
    m_window->listView()->setCurrentIndex(m_window->results().index(0, 0));
    visit(QAccessible::queryAccessibleInterface(m_window.get()));
    for (QMenu *menu : m_window->findChildren<QMenu *>()) {
        menu->popup(m_window->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(menu->isVisible());
        visit(QAccessible::queryAccessibleInterface(menu));
        menu->close();
    }
    // The find bar and the Table View.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(m_window->findBar()->isVisible());
    QTest::keyClicks(m_window->findBar()->edit(), "x");
    visit(QAccessible::queryAccessibleInterface(m_window->findBar()));
    QVERIFY(m_window.trigger("actTableView"));
    m_window->tableWindow()->filterBox()->setText(QStringLiteral("x"));
    visitWindow(m_window->tableWindow());
    TDetailsDialog details(m_window->listView(), m_window.get());
    visitWindow(&details);
    TOptionsDialog options(m_window.get());
    visitWindow(&options);
    TAboutBox about(m_window.get());
    visitWindow(&about);
    // The MIB Tree: search box, tree, definition pane, pages and load errors.
    QVERIFY(m_window.trigger("actMibTree"));
    m_window->mibTreeWindow()->searchBox()->setText(QStringLiteral("sysName"));
    visitWindow(m_window->mibTreeWindow());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));
    // The windows beside the main one are frames, as it is, not fillers.
    for (QWidget *window : QList<QWidget *>{m_window.get(), m_window->tableWindow(), m_window->mibTreeWindow()})
        QCOMPARE(QAccessible::queryAccessibleInterface(window)->role(), QAccessible::Window);
}

void TestMainForm::escAndTabInEachWindow_data()
{
    QTest::addColumn<QString>("command"); // shows the window or the bar
    QTest::addColumn<QString>("shown");   // its object name
    QTest::newRow("MIB Tree") << "actMibTree" << "MibTreeWindow";
    QTest::newRow("Table View") << "actTableView" << "TableWindow";
    QTest::newRow("find bar") << "actFind" << "FindBar";
    QTest::newRow("Watch") << "actWatch" << "WatchWindow";
    QTest::newRow("Traps") << "actTraps" << "TrapsWindow";
}

// Tab goes round a window's controls and leaves its grids and lists (through
// the find bar in the order on screen); Esc closes the window, or hides the
// bar, from any control; the MIB Tree opens with its search box focused.
void TestMainForm::escAndTabInEachWindow()
{
    QFETCH(QString, command);
    QFETCH(QString, shown);
    for (int n = 1; n <= 6; ++n) // two columns of ifTable: a table to show
        m_window->appendRow({".1.3.6.1.2.1.2.2.1." + std::to_string(1 + n / 4) + "." + std::to_string(n % 4), "",
                             "Integer32", "1"});
    const auto open = [&]() -> QWidget * {
        QWidget *window = m_window.trigger(command.toLatin1().constData()) ? m_window->findChild<QWidget *>(shown) : nullptr;
        if (TTableWindow *table = m_window->tableWindow())
            table->gridView()->setCurrentIndex(table->grid()->index(0, 0));
        QWidget *first = command == "actMibTree" ? m_window->mibTreeWindow()->searchBox() : window;
        return window && QTest::qWaitFor([&] { return first == QApplication::focusWidget() || first->isAncestorOf(QApplication::focusWidget()); }) ? window : nullptr;
    };
    QWidget *window = open();
    QVERIFY(window);
    QList<QWidget *> order{QApplication::focusWidget()};
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *next = QApplication::focusWidget();
        QVERIFY2(next != order.back(), qPrintable(next->objectName()));
        if (next == order.front() || !window->isAncestorOf(next))
            break;
        order << next;
    }
    QVERIFY(order.size() >= 3 && order.size() < 12);
    for (qsizetype i = 1; command == "actFind" && i < order.size(); ++i)
        QVERIFY(order[i]->mapTo(window, QPoint()).x() > order[i - 1]->mapTo(window, QPoint()).x());
    for (QWidget *control : order) {
        if (!window->isVisible())
            QVERIFY((window = open()));
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
        QVERIFY2(!window->isVisible(), qPrintable(control->objectName()));
    }
}

void TestMainForm::findInTheList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeValue");
    QTest::addColumn<int>("from");  // the list's selected row, -1 for none
    QTest::addColumn<int>("key");   // F3 or Shift+F3, or Enter in the bar
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("found"); // the selected row then
    const int f3 = Qt::Key_F3;
    const int back = (Qt::SHIFT | Qt::Key_F3).toCombined();
    const int enter = Qt::Key_Return;
    QTest::newRow("forward, nothing selected: the first") << "linux" << false << false << -1 << f3 << "Row 1 of 4" << 0;
    QTest::newRow("forward from a match: the next") << "linux" << false << false << 0 << enter << "Row 2 of 4" << 1;
    QTest::newRow("forward round the end") << "linux" << false << false << 1 << f3 << "Row 1 of 4" << 0;
    QTest::newRow("backward round the start") << "linux" << false << false << 0 << back << "Row 2 of 4" << 1;
    QTest::newRow("match case") << "LINUX" << true << false << 1 << f3 << "Row 2 of 4" << 1;
    QTest::newRow("whole value") << "linux" << false << true << -1 << f3 << "Row 2 of 4" << 1;
    QTest::newRow("in an OID") << "2.2.1.6" << false << false << -1 << f3 << "Row 4 of 4" << 3;
    QTest::newRow("in a name") << "ifdescr" << false << false << -1 << enter << "Row 3 of 4" << 2;
    QTest::newRow("not found: the selection stays") << "zebra" << false << false << 2 << f3 << "Not found" << 2;
    QTest::newRow("found in another case only") << "Linux Box" << true << false << -1 << back << "Not found" << -1;
}

void TestMainForm::findInTheList()
{
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeValue);
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(QString, status);
    const ResultRow rows[] = {
        {".1.3.6.1.2.1.1.1.0", "SNMPv2-MIB::sysDescr.0", "Octet String", "Linux box 5.10"},
        {".1.3.6.1.2.1.1.5.0", "SNMPv2-MIB::sysName.0", "Octet String", "LINUX"},
        {".1.3.6.1.2.1.2.2.1.2.1", "IF-MIB::ifDescr.1", "Octet String", "lo"},
        {".1.3.6.1.2.1.2.2.1.6.1", "IF-MIB::ifPhysAddress.1", "Octet String", "00 1A 2B 3C 4D 5E "},
    };
    for (const ResultRow &r : rows)
        m_window->appendRow(ResultRow(r));
    ListView *list = m_window->listView();
    if (from >= 0)
        list->setCurrentIndex(m_window->results().index(from, 0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    FindBar *bar = m_window->findBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(QApplication::focusWidget(), bar->edit());
    QTest::keyClicks(bar->edit(), text);
    bar->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->setChecked(matchCase);
    bar->findChild<QCheckBox *>(QStringLiteral("chkWholeValue"))->setChecked(wholeValue);
    const QKeyCombination pressed = QKeyCombination::fromCombined(key);
    QTest::keyClick(QApplication::focusWidget(), pressed.key(), pressed.keyboardModifiers());
    QTRY_COMPARE(m_window->statusLine()->simpleText(), status);
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    QTEST(selected.isEmpty() ? -1 : selected.front().row(), "found");
    QVERIFY(m_window.log.detailsOpened == 0); // Enter in the bar finds; it opens no details

    // Esc closes the bar and gives the keyboard back to the list.
    QTest::keyClick(bar->edit(), Qt::Key_Escape);
    QVERIFY(bar->isHidden());
    QCOMPARE(QApplication::focusWidget(), list);
}

void TestMainForm::copyRows_data()
{
    QTest::addColumn<QString>("command"); // Ctrl+C in the list, or an item of its context menu
    QTest::addColumn<QString>("copied");
    const QString line = ".1.3.6.1.2.1.2.2.1.6.1 | IF-MIB::ifPhysAddress.1 | Octet String | 00 1A 2B 3C 4D 5E ";
    QTest::newRow("Ctrl+C: the row's line as Save writes it") << "Ctrl+C" << line;
    QTest::newRow("Copy Row") << "actCopyRow" << line;
    QTest::newRow("Copy OID") << "actCopyOID" << ".1.3.6.1.2.1.2.2.1.6.1";
    QTest::newRow("Copy Name") << "actCopyName" << "IF-MIB::ifPhysAddress.1";
    QTest::newRow("Copy Value: a hex dump as shown") << "actCopyValue" << "00 1A 2B 3C 4D 5E ";
}

void TestMainForm::copyRows()
{
    QFETCH(QString, command);
    m_window->appendRow(row(1));
    m_window->appendRow({".1.3.6.1.2.1.2.2.1.6.1", "IF-MIB::ifPhysAddress.1", "Octet String", "00 1A 2B 3C 4D 5E "});
    m_window->results();
    ListView *list = m_window->listView();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    QApplication::clipboard()->clear();
    if (command == QLatin1String("Ctrl+C")) {
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    } else {
        QMenu *menu = m_window->rowCopy()->menu();
        emit list->customContextMenuRequested(list->visualRect(list->currentIndex()).center());
        QTRY_VERIFY(menu->isVisible());
        menu->findChild<QAction *>(command)->trigger();
        menu->close();
    }
    QTEST(QApplication::clipboard()->text(), "copied");
    if (command != QLatin1String("Ctrl+C"))
        return;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("rows.txt"));
    m_window.log.answerFile = [file] { return std::optional<QString>(file); };
    QVERIFY(m_window.trigger("actSaveAs"));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(saved.readAll()).split(QStringLiteral("\r\n")).value(1),
             QApplication::clipboard()->text());
}

void TestMainForm::optionsAndAbout()
{
    m_window.log.answerOptions = [](int &timeOut, int &retries, SnmpVersion &version) {
        timeOut = 5000;
        retries = 3;
        version = SnmpVersion::V2c;
        return true;
    };
    QVERIFY(m_window.trigger("actOptions"));
    QCOMPARE(m_window.log.optionsOpened, 1);
    QCOMPARE(m_window->transport().timeOut, 5000);
    QCOMPARE(m_window->transport().retries, 3);
    QCOMPARE(m_window->transport().version, SnmpVersion::V2c);
    QVERIFY(m_window.trigger("actAbout"));
    QCOMPARE(m_window.log.aboutOpened, 1);
}

void TestMainForm::realDialogsAreWired()
{
    QVERIFY(m_window.open(WindowFixture::Dialogs::Real));
    m_window->appendRow(row(1));
    m_window->appendRow(row(2));
    m_window->results();
    m_window->listView()->setCurrentIndex(m_window->listView()->model()->index(1, 0));
    m_window->updateCommands();

    // Closes the first modal dialog of that class to appear, recording what it was.
    // (Polled: the run processes events before its error box exists.)
    auto closeModal = [this](const char *className, QString *seen) {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, className, seen] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->inherits(className))
                return;
            poll->stop();
            poll->deleteLater();
            *seen = QString::fromLatin1(dialog->metaObject()->className());
            if (auto *box = qobject_cast<QMessageBox *>(dialog))
                *seen += QLatin1Char('|') + box->text();
            static_cast<QDialog *>(dialog)->reject();
        });
        poll->start(10);
    };
    QString seen;
    closeModal("TDetailsDialog", &seen);
    QVERIFY(m_window.trigger("actDetails"));
    QCOMPARE(seen, QStringLiteral("TDetailsDialog"));

    closeModal("TOptionsDialog", &seen);
    QVERIFY(m_window.trigger("actOptions"));
    QCOMPARE(seen, QStringLiteral("TOptionsDialog"));
    QCOMPARE(m_window->transport().timeOut, 1000); // cancelled

    closeModal("TAboutBox", &seen);
    QVERIFY(m_window.trigger("actAbout"));
    QCOMPARE(seen, QStringLiteral("TAboutBox"));

    closeModal("QMessageBox", &seen);
    m_window.setInputs("", "tarnel", "x");
    QVERIFY(m_window.trigger("actRun"));
    QCOMPARE(seen, QStringLiteral("QMessageBox|Input parameters (Agent, Community, Oid) cannot be empty."));
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
