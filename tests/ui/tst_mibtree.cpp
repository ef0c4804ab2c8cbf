// SPDX-License-Identifier: MIT
// The MIB Tree window, the Oids box's completion and Load MIB File, on the
// real main window. MIB files loaded here stay loaded for the rows after.
// The user's MIB folder holds a FIFO and a module too wide to parse in time
// from the start: the first load meets them.
#include "common/messages.h"
#include "tests/support/mibfiles.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/windowfixture.h"
#include "ui/mibtree/mibtreemodel.h"
#include "ui/mibtree/mibtreewindow.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/widgets/statusbar.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

// The checker's time limit here: 70,000 siblings take Net-SNMP far longer.
constexpr int CheckSeconds = 2;
// The longest the window may go without handling an event while a file is checked.
constexpr qint64 LongestPauseMs = 500 * SlowBuild;

// The longest the event loop went without its 10 ms timer while `work` ran.
qint64 longestPause(const std::function<void()> &work)
{
    QElapsedTimer since;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, since.restart()); });
    since.start();
    tick.start(10);
    work();
    return std::max(longest, since.elapsed());
}

// The first error the Load errors page lists under the module (or file) name.
QString firstErrorOf(TMibTreeWindow *tree, const QString &module)
{
    const QAbstractItemModel *model = tree->loadErrorView()->model();
    const QModelIndex row = model->match(model->index(0, 0), Qt::DisplayRole, module, 1, Qt::MatchExactly).value(0);
    return row.isValid() ? model->index(0, MibErrorModel::ErrorColumn, row).data().toString() : QString();
}

} // namespace

class TestMibTreeWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_window.start()); }
    void cleanup() { m_window.stop(); }

    void badFilesAtTheFirstLoad();
    void chooseNode_data();
    void chooseNode();
    void completion_data();
    void completion();
    void loadMibFile_data();
    void loadMibFile();
    void keyboardAndModels();

private:
    TMibTreeWindow *openMibTree();
    WindowFixture m_window;
    QTemporaryDir m_files;
};

void TestMibTreeWindow::initTestCase()
{
    qputenv("NORVANE_MIBCHECK_SECONDS", QByteArray::number(CheckSeconds));
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/norvane/mibs");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(testmibs::write(folder + "/WIDE-MIB.txt", testmibs::siblings("NORVANE-WIDE-MIB", 70'000)));
    QVERIFY(testmibs::makeFifo(folder + "/FIFO-MIB.txt"));
    QVERIFY(m_files.isValid());
    QVERIFY(testmibs::write(m_files.filePath("WIDER-MIB.txt"), testmibs::siblings("NORVANE-WIDER-MIB", 70'000)));
    QVERIFY(testmibs::makeFifo(m_files.filePath("FIFO.txt")));
}

// The first key typed starts the MIB load: the status line says so, the
// window answers while the new files are checked, and the text typed
// meanwhile is completed once they have loaded. The files that could not be
// read or parsed in time are left out, and listed.
void TestMibTreeWindow::badFilesAtTheFirstLoad()
{
    QComboBox *box = m_window->oidBox();
    box->setFocus();
    box->clearEditText();
    const QString loading = QString::fromLatin1(msg::LoadingMibs);
    const qint64 pause = longestPause([&] {
        QTest::keyClicks(box, "sysDes");
        QCOMPARE(m_window->statusLine()->simpleText(), loading);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->statusLine()->simpleText() != loading, 30000);
    });
    QVERIFY2(pause <= LongestPauseMs, qPrintable(QString::number(pause)));
    QCOMPARE(m_window->statusLine()->simpleText(), QString::fromLatin1(msg::Ready));
    QCompleter *completer = box->lineEdit()->completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->completionModel()->index(0, 0).data().toString(), QStringLiteral("sysDescr"));

    TMibTreeWindow *tree = openMibTree();
    QVERIFY(tree);
    QCOMPARE(firstErrorOf(tree, "WIDE-MIB.txt"),
             QStringLiteral("Not loaded: its parse took longer than %1 s").arg(CheckSeconds));
    QVERIFY(firstErrorOf(tree, "FIFO-MIB.txt").startsWith("Cannot read the file: it is a FIFO"));
}

TMibTreeWindow *TestMibTreeWindow::openMibTree()
{
    if (!m_window.trigger("actMibTree"))
        return nullptr;
    TMibTreeWindow *tree = m_window->mibTreeWindow();
    return tree && QTest::qWaitForWindowExposed(tree) ? tree : nullptr;
}

void TestMibTreeWindow::chooseNode_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("modifier");
    QTest::addColumn<QString>("oids"); // the Oids box's text before
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("operation");
    QTest::newRow("Enter replaces") << "sysdescr" << 0 << "all" << ".1.3.6.1.2.1.1.1" << "actGet";
    QTest::newRow("Ctrl+Enter appends") << "sysContact" << int(Qt::ControlModifier) << ".1.3.6.1.2.1.1.1"
                                        << ".1.3.6.1.2.1.1.1;.1.3.6.1.2.1.1.4" << "actGet";
    QTest::newRow("after a ';' already there") << "sysContact" << int(Qt::ControlModifier) << "sysName.0;"
                                               << "sysName.0;.1.3.6.1.2.1.1.4" << "actGetNext";
    QTest::newRow("into an empty box") << "sysContact" << int(Qt::ControlModifier) << "" << ".1.3.6.1.2.1.1.4"
                                       << "actGet";
    QTest::newRow("by partial OID") << "2.2.1.8" << 0 << "" << ".1.3.6.1.2.1.2.2.1.8" << "actWalk";
    // A Walk takes one OID: Ctrl+Enter replaces, as Enter does, and says why.
    QTest::newRow("Ctrl+Enter with Walk replaces") << "sysContact" << int(Qt::ControlModifier) << ".1.3.6.1.2.1.1.1"
                                                   << ".1.3.6.1.2.1.1.4" << "actWalk";
}

void TestMibTreeWindow::chooseNode()
{
    QFETCH(QString, query);
    QFETCH(int, modifier);
    QFETCH(QString, oids);
    QFETCH(QString, expected);
    QFETCH(QString, operation);
    QVERIFY(m_window.trigger(operation.toLatin1().constData()));
    const bool appends = modifier && m_window->operation() != Operation::Walk;
    m_window->oidBox()->setEditText(oids);
    // A selected row: Enter in the MIB Tree is still not the main window's Details.
    m_window->appendRow({".1.3.6.1.2.1.1.1.0", "sysDescr.0", "Octet String", "box"});
    m_window->listView()->setCurrentIndex(m_window->results().index(0, 0));
    TMibTreeWindow *tree = openMibTree();
    QVERIFY(tree);
    QTRY_COMPARE(QApplication::focusWidget(), tree->searchBox());
    QTest::keyClicks(tree->searchBox(), query);
    QVERIFY(tree->resultView()->isVisible());
    // The first found is shown; Enter in the search box goes on to the results.
    QVERIFY(tree->definitionPane()->toPlainText().contains("OID: " + expected.section(';', -1)));
    QTest::keyClick(tree->searchBox(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), tree->resultView());
    QTest::keyClick(tree->resultView(), Qt::Key_Return, Qt::KeyboardModifiers(modifier));
    QCOMPARE(m_window->oidBox()->currentText(), expected);
    QVERIFY(m_window.command("actDetails")->isEnabled());
    QCOMPARE(m_window.log.detailsOpened, 0);
    // Replacing takes the user back to the box, ready for F9; appending stays for more.
    QTRY_COMPARE(QApplication::focusWidget(), appends ? static_cast<QWidget *>(tree->resultView()) : m_window->oidBox());
    QCOMPARE(m_window->statusLine()->simpleText() == QLatin1String(msg::WalkTakesOneOid), modifier && !appends);
}

void TestMibTreeWindow::completion_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("suggestion"); // the first one offered
    QTest::addColumn<QString>("expected");
    QTest::newRow("Tab takes the first") << "sysDes" << int(Qt::Key_Tab) << "sysDescr" << "sysDescr";
    QTest::newRow("Enter takes it, not Details") << ".1.3.6.1.2.1.1.1.0;sysobj" << int(Qt::Key_Return)
                                                 << "sysObjectID" << ".1.3.6.1.2.1.1.1.0;sysObjectID";
    QTest::newRow("MODULE::name, any case") << "if-mib::ifOperS" << int(Qt::Key_Tab) << "IF-MIB::ifOperStatus"
                                            << "IF-MIB::ifOperStatus";
    QTest::newRow("Down picks the next") << "ifInU" << int(Qt::Key_Down) << "ifInUcastPkts" << "ifInUnknownProtos";
    QTest::newRow("the window's shortcuts still work") << "sysDes" << (Qt::CTRL | Qt::Key_W).toCombined() << "sysDescr" << "sysDes";
}

void TestMibTreeWindow::completion()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, suggestion);
    QFETCH(QString, expected);
    // A selected row: Enter would open the details, were it not for the popup.
    m_window->appendRow({".1.3.6.1.2.1.1.1.0", "sysDescr.0", "Octet String", "box"});
    m_window->listView()->setCurrentIndex(m_window->results().index(0, 0));
    m_window->updateCommands();
    QVERIFY(m_window.command("actDetails")->isEnabled());
    QComboBox *box = m_window->oidBox();
    box->setFocus();
    box->clearEditText();
    QTest::keyClicks(box, typed);
    QCompleter *completer = box->lineEdit()->completer();
    QVERIFY(completer);
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->completionModel()->index(0, 0).data().toString(), suggestion);
    if (key == Qt::Key_Down) {
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        key = Qt::Key_Return;
    }
    const auto modifiers = Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask);
    QTest::keyClick(completer->popup(), Qt::Key(key & ~Qt::KeyboardModifierMask), modifiers);
    QCOMPARE(box->currentText(), expected);
    QCOMPARE(m_window->operation() == Operation::Walk, modifiers == Qt::ControlModifier);
    QVERIFY(!completer->popup()->isVisible());
    QCOMPARE(m_window.log.detailsOpened, 0);
    QCOMPARE(QApplication::focusWidget(), box);
    // The history drop-down lists what it listed: a taken name is no entry of it.
    QCOMPARE(box->count(), 3);
}

void TestMibTreeWindow::loadMibFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("place");         // of the first error shown; empty: loads cleanly
    QTest::addColumn<QString>("error");         // its words begin so
    QTest::addColumn<QString>("missingImport");
    const QString data = QStringLiteral(NORVANE_TEST_DATA "/mibs/");
    QTest::newRow("good module") << data + "FAKE-ENTERPRISE-MIB.txt" << "" << "" << "";
    QTest::newRow("import missing") << data + "FAKE-BROKEN-MIB.txt" << "FAKE-BROKEN-MIB.mib:4" << "Cannot find module"
                                    << "NO-SUCH-VENDOR-MIB";
    QTest::newRow("no MIB") << data + "not-a-mib.txt" << "not-a-mib.txt:1" << "Not a MIB module" << "";
    QTest::newRow("a FIFO") << m_files.filePath("FIFO.txt") << "FIFO.txt" << "Cannot read the file: it is a FIFO" << "";
    QTest::newRow("70,000 children") << m_files.filePath("WIDER-MIB.txt") << "WIDER-MIB.txt"
                                     << QStringLiteral("Not installed: its parse took longer than %1 s").arg(CheckSeconds) << "";
}

// The window answers while the file is checked, however long that takes.
void TestMibTreeWindow::loadMibFile()
{
    QFETCH(QString, file);
    QFETCH(QString, place);
    QFETCH(QString, error);
    QFETCH(QString, missingImport);
    ScriptedAgent agent;
    agent.setTable({{ScriptedAgent::oid("1.3.6.1.4.1.99999.1.0"), ScriptedAgent::Value::unsignedValue(0x41, 7)}});
    QVERIFY(agent.start());
    m_window.log.answerMibFile = file;
    const qint64 pause = longestPause([&] { QVERIFY(m_window.trigger("actLoadMib")); });
    QVERIFY2(pause <= LongestPauseMs, qPrintable(QString::number(pause)));
    TMibTreeWindow *tree = m_window->mibTreeWindow();
    QVERIFY(tree && tree->isVisible());
    if (place.isEmpty()) {
        QCOMPARE(tree->pages()->currentIndex(), 0);
        QCOMPARE(tree->treeView()->currentIndex().data().toString(), QStringLiteral("FAKE-ENTERPRISE-MIB"));
        QVERIFY(m_window->statusLine()->simpleText().startsWith(QLatin1String("FAKE-ENTERPRISE-MIB loaded")));
    } else {
        QCOMPARE(tree->pages()->currentWidget(), tree->loadErrorView());
        const QModelIndex module = tree->loadErrorView()->currentIndex();
        QVERIFY(module.isValid());
        const QModelIndex first = module.model()->index(0, MibErrorModel::PlaceColumn, module);
        QCOMPARE(first.data().toString(), place);
        QCOMPARE(first.siblingAtColumn(MibErrorModel::MissingImportColumn).data().toString(), missingImport);
        QVERIFY(first.siblingAtColumn(MibErrorModel::ErrorColumn).data().toString().startsWith(error));
    }
    // The module's names resolve at the next Run, and stay so whatever came later.
    m_window.setInputs(agent.address(), "tarnel", "FAKE-ENTERPRISE-MIB::fakeCounter.0");
    QVERIFY(m_window.trigger("actGet"));
    QVERIFY(m_window.trigger("actRun"));
    QVERIFY2(m_window.log.errors.isEmpty(), qPrintable(m_window.log.errors.join('\n')));
    QCOMPARE(m_window->results().rowTexts(0)[1], QStringLiteral("FAKE-ENTERPRISE-MIB::fakeCounter.0"));
}

void TestMibTreeWindow::keyboardAndModels()
{
    TMibTreeWindow *tree = openMibTree();
    QVERIFY(tree);
    for (QTreeView *view : {tree->treeView(), tree->loadErrorView()})
        QAbstractItemModelTester(view->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTest::keyClicks(tree->searchBox(), "if");
    QAbstractItemModelTester(tree->resultView()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester(m_window->oidBox()->lineEdit()->completer()->model(),
                             QAbstractItemModelTester::FailureReportingMode::QtTest);
    tree->searchBox()->clear();

    // Search box, tree and definition pane in turn from the keyboard; Alt+S back to the search.
    QTRY_COMPARE(QApplication::focusWidget(), tree->searchBox());
    const QList<QWidget *> order = {tree->treeView(), tree->definitionPane()};
    for (QWidget *next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), tree->searchBox());
    // A module's node, chosen in the tree, shows its definition.
    QTreeView *view = tree->treeView();
    const QModelIndex ifMib = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, "IF-MIB").value(0);
    QVERIFY(ifMib.isValid());
    view->setCurrentIndex(ifMib.model()->index(0, 0, ifMib));
    QVERIFY(tree->definitionPane()->toPlainText().contains("Module: IF-MIB"));
}

QTEST_MAIN(TestMibTreeWindow)
#include "tst_mibtree.moc"
