// SPDX-License-Identifier: MIT
// Faults and bad input met through the real window, as a user meets them:
// what the window shows, that it is idle and usable afterwards, and that
// nothing the user had is lost.
#include "store/filesafety.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/settingsfile.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/windowfixture.h"
#include "ui/exitsignals.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/widgets/statusbar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const ScriptedAgent::Oid SysDescr = ScriptedAgent::oid("1.3.6.1.2.1.1.1.0");

// A signal mask of a process as /proc shows it ("SigCgt", "SigIgn").
quint64 signalMask(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf('\n' + field + ":\t");
    return at < 0 ? 0 : text.mid(at + field.size() + 3, 16).toULongLong(nullptr, 16);
}

constexpr quint64 ExitSignalBits = 1u << (SIGTERM - 1) | 1u << (SIGHUP - 1) | 1u << (SIGINT - 1);

// The program itself, offscreen, with a settings folder of its own. Until it
// has started, the process is a copy of the test, with the test's handlers.
bool startProgram(QProcess &program, const QString &configHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(NORVANE_EXECUTABLE), {});
    return program.waitForStarted();
}

} // namespace

class TestWindowFaults final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hugePasteIntoEachBox_data();
    void hugePasteIntoEachBox();
    void agentKilledMidWalk();
    void settingsPrivateInAnOpenFolder();
    void shortcutsLiveAfterTheErrorBox();
    void historyBytesKept_data();
    void historyBytesKept();
    void exitSignals_data();
    void exitSignals();
    void closeDuringSilentWait_data();
    void closeDuringSilentWait();
    void stopAndRunRepeatedly_data();
    void stopAndRunRepeatedly();

private:
    WindowFixture m_window;
    ScriptedAgent m_agent;

    // Runs the current operation by F9 from the agent box; the run is over when it returns.
    qint64 runByKey();
    void verifyIdleAndUsable();
};

void TestWindowFaults::init()
{
    m_agent.setTable({{SysDescr, ScriptedAgent::Value::octets("bench switch")}});
    if (m_agent.port() == 0)
        QVERIFY(m_agent.start());
    m_agent.clearRequests();
    QVERIFY(m_window.start());
}

void TestWindowFaults::cleanup()
{
    m_window.stop();
}

qint64 TestWindowFaults::runByKey()
{
    m_window->agentBox()->setFocus();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(m_window->agentBox()->lineEdit(), Qt::Key_F9);
    return clock.elapsed();
}

void TestWindowFaults::verifyIdleAndUsable()
{
    QCOMPARE(m_window.notIdle(), QString());

    // A plain Get right after works and adds its row below the ones there.
    const int before = m_window->listView()->model()->rowCount();
    const int errors = int(m_window.log.errors.size());
    QVERIFY(m_window.command("actGet")->isChecked() || m_window->execute(m_window.command("actGet")));
    m_window.setInputs(m_agent.address(), QStringLiteral("tarnel"), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    runByKey();
    QCOMPARE(m_window.log.errors.size(), errors);
    QCOMPARE(m_window->listView()->model()->rowCount(), before + 1);
    const QModelIndex value = m_window->listView()->model()->index(before, 3);
    QCOMPARE(value.data().toString(), QStringLiteral("bench switch"));
}

void TestWindowFaults::hugePasteIntoEachBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("rows");

    // A host name of 32,767 letters resolves to nothing, at once.
    QTest::newRow("agent") << "cboAgent" << "a" << "SnmpMgrOpen error: 11001." << 0;
    // The community goes out whole, and the answer carrying it back is read.
    QTest::newRow("community") << "cboCommunity" << "c" << "" << 1;
    QTest::newRow("oids, junk") << "cboOids" << "x"
                                << QStringLiteral("Invalid Oids, '%1', specified.")
                                       .arg(QString(TMainForm::InputMaxLength, QLatin1Char('x')))
                                << 0;
    // 1,724 whole OIDs and a cut one: the cut piece is named.
    QTest::newRow("oids, list") << "cboOids" << ".1.3.6.1.2.1.1.1.0;" << "Invalid Oids, '.1.3.6.1.2.', specified."
                                << 0;
}

// A megabyte pasted into a box: the box keeps its first 32,767 characters at
// once, the run that follows ends in a clear outcome within the request's
// time, and the text survives the exit into the next start.
void TestWindowFaults::hugePasteIntoEachBox()
{
    QFETCH(QString, box);
    QFETCH(QString, piece);
    QFETCH(QString, error);
    QFETCH(int, rows);

    m_window.setInputs(m_agent.address(), QStringLiteral("tarnel"), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    QString megabyte;
    while (megabyte.size() < (1 << 20))
        megabyte += piece;
    const QString kept = megabyte.left(TMainForm::InputMaxLength);
    QGuiApplication::clipboard()->setText(megabyte);

    auto *target = m_window->findChild<QComboBox *>(box);
    QVERIFY(target);
    target->setFocus();
    target->lineEdit()->selectAll();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(target->lineEdit(), Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QVERIFY2(clock.elapsed() < 2000 * SlowBuild, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(target->currentText().size(), kept.size());
    QVERIFY(target->currentText() == kept);

    // Typing at the end of the full box stays quick and changes nothing.
    clock.restart();
    QTest::keyClicks(target->lineEdit(), QStringLiteral("zz"));
    QVERIFY2(clock.elapsed() < 1000 * SlowBuild, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(target->currentText() == kept);

    // Timeout 1000 ms and one retry: nothing may take longer than the request.
    const qint64 ms = runByKey();
    QVERIFY2(ms < 2500, qPrintable(QString::number(ms)));
    QCOMPARE(m_window.log.errors, error.isEmpty() ? QStringList() : QStringList{error});
    QCOMPARE(m_window->listView()->model()->rowCount(), rows);
    if (box == QLatin1String("cboCommunity")) {
        const auto requests = m_agent.requests();
        QVERIFY(!requests.empty());
        for (const ScriptedAgent::Request &request : requests)
            QCOMPARE(request.community, kept.toLatin1());
    }
    const bool recorded = !error.startsWith(QLatin1String("Invalid")) && !error.startsWith(QLatin1String("SnmpMgrOpen"));
    if (recorded)
        QVERIFY(target->itemText(0) == kept);
    verifyIdleAndUsable();

    // Exit writes the long entry without complaint; the next start has it back.
    m_window.log.errors.clear();
    m_window.quit();
    QVERIFY(m_window.open());
    QCOMPARE(m_window.log.errors, QStringList());
    target = m_window->findChild<QComboBox *>(box);
    QCOMPARE(target->findText(kept, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0, recorded);
}

// snmpd goes away in the middle of a walk: the rows so far stay, the run
// ends with the timeout's message within the request's time, and the window
// goes on working.
void TestWindowFaults::agentKilledMidWalk()
{
    SnmpdAgent doomed;
    QVERIFY2(doomed.start(), qPrintable(doomed.log()));
    m_window->setTransport({200 * SlowBuild, 1});
    QVERIFY(m_window->execute(m_window.command("actWalk")));
    m_window.setInputs(doomed.address(), QStringLiteral("tarnel"), QStringLiteral(".1.3.6.1.2.1"));

    qsizetype rowsAtKill = -1;
    QElapsedTimer sinceKill;
    QTimer watch;
    watch.setInterval(1);
    connect(&watch, &QTimer::timeout, this, [&] {
        if (rowsAtKill < 0 && m_window->results().storedRowCount() >= 50) {
            doomed.kill();
            sinceKill.start();
            rowsAtKill = m_window->results().storedRowCount();
            watch.stop();
        }
    });
    watch.start();
    runByKey();
    const qint64 afterKill = sinceKill.isValid() ? sinceKill.elapsed() : -1;

    QVERIFY(rowsAtKill >= 50);
    QCOMPARE(m_window.log.errors, QStringList{QStringLiteral("SnmpMgrRequest error: 40.")});
    // At most the request in flight when the agent died got its answer.
    const qsizetype rows = m_window->results().storedRowCount();
    QVERIFY2(rows >= rowsAtKill && rows <= rowsAtKill + 1, qPrintable(QString::number(rows)));
    QCOMPARE(m_window->listView()->model()->rowCount(), int(rows));
    QCOMPARE(m_window->listView()->model()->index(0, 0).data().toString(), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    // One request of 200 ms and one retry, then the message.
    QVERIFY2(afterKill >= 400 * SlowBuild - 50 && afterKill < 1500 * SlowBuild, qPrintable(QString::number(afterKill)));

    QVERIFY(m_window->execute(m_window.command("actGet")));
    verifyIdleAndUsable();
    QCOMPARE(m_window->results().storedRowCount(), rows + 1);
}

// The settings folder was made open to others before Norvane ever ran and
// the umask gives everything away: the exit leaves both private.
void TestWindowFaults::settingsPrivateInAnOpenFolder()
{
    const QString folder = QDir(m_window.settingsFolder()).filePath(QStringLiteral("Ferrolyn"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
    QCOMPARE(modeOf(folder), mode_t(0777));

    m_window.setInputs(m_agent.address(), QStringLiteral("s3cret"), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    runByKey();
    QCOMPARE(m_window.log.errors, QStringList());
    const mode_t previous = ::umask(0);
    m_window.quit();
    ::umask(previous);

    QCOMPARE(modeOf(folder), mode_t(0700));
    QCOMPARE(modeOf(folder + QStringLiteral("/Norvane.reg")), mode_t(0600));
    QVERIFY(readAll(folder + QStringLiteral("/Norvane.reg")).contains("s3cret"));
}

// Keyboard only: F9, the real error box closed by Enter, F9 again. The
// second run must happen although no window manager hands the activation
// back to the window (the offscreen platform has none either).
void TestWindowFaults::shortcutsLiveAfterTheErrorBox()
{
    QVERIFY(m_window.open(WindowFixture::Dialogs::Real));
    QVERIFY(m_window->execute(m_window.command("actGetNext")));
    m_window.setInputs(m_agent.address(), QStringLiteral("tarnel"), QStringLiteral("no;oid"));

    QStringList shown;
    const auto answerBoxes = [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown << box->text();
        QTest::keyClick(box, Qt::Key_Return);
    };
    QTimer boxes;
    boxes.setInterval(10);
    connect(&boxes, &QTimer::timeout, this, answerBoxes);
    boxes.start();

    m_window->oidBox()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    QTRY_COMPARE(shown.size(), 1);
    QTRY_VERIFY(m_window->isActiveWindow());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    QTRY_COMPARE(shown.size(), 2);
    QCOMPARE(shown.last(), QStringLiteral("Invalid Oids, 'no;oid', specified."));
}

void TestWindowFaults::historyBytesKept_data()
{
    QTest::addColumn<QByteArray>("entry");     // as the file holds them
    QTest::addColumn<QByteArray>("neighbour");
    QTest::addColumn<QByteArray>("bytes");     // what they stand for
    QTest::addColumn<QByteArray>("neighbourBytes");
    QTest::newRow("ANSI, as hex(1)") << QByteArray("hex(1):4d,e4,78,00") << QByteArray("hex(1):4d,e5,78,00")
                                     << QByteArray("M\xe4x") << QByteArray("M\xe5x");
    QTest::newRow("Latin-1 in quotes") << QByteArray("\"caf\xe9\"") << QByteArray("\"caf\xe8\"")
                                       << QByteArray("caf\xe9") << QByteArray("caf\xe8");
    // The UTF-8 of the character that stands for the byte a9, and that byte.
    QTest::newRow("UTF-8 of a byte's character") << QByteArray("\"\xef\x9e\xa9\"") << QByteArray("\"\xa9\"")
                                                 << QByteArray("\xef\x9e\xa9") << QByteArray("\xa9");
}

// A community that is not UTF-8, picked from the list unedited: sent byte for
// byte, told apart from its neighbour by the history rule, written back as it
// was read.
void TestWindowFaults::historyBytesKept()
{
    QFETCH(QByteArray, entry);
    QFETCH(QByteArray, neighbour);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, neighbourBytes);
    m_window.quit();
    const QString path = RegistryHive::defaultFilePath();
    QVERIFY(writeFile(path, Header + AgentSection + "\"Item0\"=\"" + m_agent.address().toLatin1() + "\"\r\n"
                                        + CommunitySection + "\"Item0\"=" + neighbour + "\r\n\"Item1\"=" + entry + "\r\n"
                                        + OidSection + "\"Item0\"=\".1.3.6.1.2.1.1.1.0\"\r\n"));
    QVERIFY(m_window.open());
    m_window->communityBox()->setCurrentIndex(1);
    runByKey();
    QCOMPARE(m_window.log.errors, QStringList());
    QCOMPARE(m_agent.requests().size(), size_t(1));
    QCOMPARE(m_agent.requests()[0].community, bytes);
    m_window.quit();
    QCOMPARE(storedValue(path, CommunityHistoryKey, "Item0").data, bytes + '\0');
    QCOMPARE(storedValue(path, CommunityHistoryKey, "Item1").data, neighbourBytes + '\0');
}

void TestWindowFaults::exitSignals_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QByteArray>("more"); // the rest of the settings file
    QTest::addColumn<int>("second");      // sent right after the first
    QTest::newRow("SIGTERM") << SIGTERM << QByteArray() << 0;
    QTest::newRow("SIGHUP") << SIGHUP << QByteArray() << 0;
    QTest::newRow("SIGINT") << SIGINT << QByteArray() << 0;
    // The start's error box is open, in the middle of the window's creation.
    QTest::newRow("SIGTERM, an error box open") << SIGTERM << "\r\n" + OidSection + "\"Item0\"=dword:00000001\r\n" << 0;
    // The first would wait 5 s for the settings lock, which the test holds
    // until the program has ended.
    QTest::newRow("SIGTERM, then SIGINT") << SIGTERM << QByteArray() << SIGINT;
}

// A logout, kill or Ctrl+C closes the program as its window's close does: the
// settings are written, every byte of them kept, and it ends with status 0; a
// second signal meanwhile ends it at once. Past a file-size limit its writes
// fail and say so rather than kill it.
void TestWindowFaults::exitSignals()
{
    QFETCH(int, signalNumber);
    QFETCH(QByteArray, more);
    QFETCH(int, second);
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("Ferrolyn/Norvane.reg"));
    QVERIFY(writeFile(path, Header + SettingsSection + "\"TimeOut\"=dword:00000bb8\r\n\r\n" + CommunitySection
                                        + "\"Item0\"=hex(1):63,61,66,e9,00\r\n" + more));
    UniqueFd lock(second ? ::open(QFile::encodeName(path + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1);
    QVERIFY(!second || ::flock(lock.get(), LOCK_EX) == 0);
    QProcess program;
    QVERIFY(startProgram(program, home.path()));
    // Sent before the program handles them, signals would simply kill it.
    QTRY_VERIFY_WITH_TIMEOUT((signalMask(program.processId(), "SigCgt") & ExitSignalBits) == ExitSignalBits, 10000);
    QVERIFY(signalMask(program.processId(), "SigIgn") & 1u << (SIGXFSZ - 1));
    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(!second || ::kill(pid_t(program.processId()), second) == 0);
    QVERIFY(program.waitForFinished(second ? RegistryHive::DefaultLockWaitMs / 2 : 15000));
    QCOMPARE(program.exitStatus(), second ? QProcess::CrashExit : QProcess::NormalExit);
    QVERIFY(second || program.exitCode() == 0);
    lock.reset(); // the reads below would wait for it
    QCOMPARE(storedValue(path, SettingsKey, "Position").exists, !second);
    QCOMPARE(storedValue(path, SettingsKey, "TimeOut").data, dword(3000));
    QCOMPARE(storedValue(path, CommunityHistoryKey, "Item0").data, QByteArray("caf\xe9", 5));
}

void TestWindowFaults::closeDuringSilentWait_data()
{
    QTest::addColumn<int>("how"); // 0 the window's close box, 1 SIGTERM, 2 SIGTERM and a dialog opening after it
    QTest::newRow("the window's close") << 0;
    QTest::newRow("SIGTERM") << 1;
    QTest::newRow("SIGTERM, a dialog opening after it") << 2;
}

// A Get of an agent that never answers, with the largest timeout and
// retries (320 s): closing the window, or a logout's signal, gives the
// request up at once. No error box, no retries waited out, the settings
// written; a dialog that opens after the signal is closed too.
void TestWindowFaults::closeDuringSilentWait()
{
    QFETCH(int, how);
    m_agent.setHandler(ScriptedAgent::silentHandler());
    const ExitSignals exitSignals;
    connect(&exitSignals, &ExitSignals::exitRequested, m_window.get(), &QWidget::close);
    bool dialogClosed = false;
    if (how == 2) {
        connect(&exitSignals, &ExitSignals::exitRequested, this, [&] {
            QTimer::singleShot(20, this, [&] {
                QMessageBox box(QMessageBox::Information, QStringLiteral("Norvane"), QStringLiteral("late"));
                box.exec();
                dialogClosed = true;
            });
        });
    }
    m_window->setTransport({32000, 9});
    m_window.setInputs(m_agent.address(), QStringLiteral("tarnel"), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    QElapsedTimer sinceAction;
    QTimer act;
    connect(&act, &QTimer::timeout, this, [&] {
        if (m_agent.requests().empty() || sinceAction.isValid())
            return;
        sinceAction.start();
        if (how == 0)
            QVERIFY(!m_window->close());
        else
            ::raise(SIGTERM);
    });
    act.start(20);
    runByKey();
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY2(sinceAction.isValid() && sinceAction.elapsed() < 1000, qPrintable(QString::number(sinceAction.elapsed())));
    QTRY_VERIFY(how != 2 || dialogClosed);
    QCOMPARE(m_window.log.errors, QStringList());
    QCOMPARE(m_agent.requests().size(), size_t(1));
    QCOMPARE(m_window->runDepth(), 0);
    m_window.quit();
    QCOMPARE(storedValue(RegistryHive::defaultFilePath(), AgentHistoryKey, "Item0").data, m_agent.address().toLatin1() + '\0');
}

void TestWindowFaults::stopAndRunRepeatedly_data()
{
    QTest::addColumn<bool>("lastAnswered");
    QTest::newRow("the last run answered") << true;
    QTest::newRow("silent to the end") << false;
}

// Esc and F9, fifty times, each while the run before waits for an agent that
// does not answer: every new Run gives the stopped one up, never runs inside
// it, and nothing of the stopped runs comes back: no error box, no row.
void TestWindowFaults::stopAndRunRepeatedly()
{
    QFETCH(bool, lastAnswered);
    constexpr int Pairs = 50;
    m_agent.setHandler([lastAnswered, table = ScriptedAgent::tableHandler({{SysDescr, ScriptedAgent::Value::octets("bench switch")}}),
                        count = 0](const ScriptedAgent::Request &request) mutable {
        return ++count > Pairs && lastAnswered ? table(request) : ScriptedAgent::Response::silence();
    });
    m_window->setTransport({400 * SlowBuild, 0}); // longer than a pair of keys takes on a loaded machine
    m_window.setInputs(m_agent.address(), QStringLiteral("tarnel"), QStringLiteral(".1.3.6.1.2.1.1.1.0"));
    int pairs = 0;
    int deepest = 0;
    QTimer keys;
    connect(&keys, &QTimer::timeout, this, [&] {
        deepest = std::max(deepest, m_window->runDepth());
        // Each pair while the run before is waiting for its request's answer.
        if (pairs == Pairs || m_agent.requests().size() != size_t(pairs + 1) || m_window->isIdle())
            return;
        ++pairs;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);
    });
    keys.start(5);
    runByKey();
    keys.stop();
    QCOMPARE(pairs, Pairs);
    QCOMPARE(deepest, 1);
    QCOMPARE(m_agent.requests().size(), size_t(Pairs + 1));
    QCOMPARE(m_window.log.errors, lastAnswered ? QStringList() : QStringList{QStringLiteral("SnmpMgrRequest error: 40.")});
    QCOMPARE(m_window->listView()->model()->rowCount(), lastAnswered ? 1 : 0);
    m_agent.setTable({{SysDescr, ScriptedAgent::Value::octets("bench switch")}});
    verifyIdleAndUsable();
}

QTEST_MAIN(TestWindowFaults)
#include "tst_windowfaults.moc"
