// SPDX-License-Identifier: MIT
// The program as a user meets it: started on an X server of its own with
// nothing but a settings file, driven by keys from outside (xdotool), its
// rows read back from the file it saves. NORVANE_PROGRAM names another copy
// to drive than the one built here, such as the installed /usr/bin/norvane.
#include "tests/support/files.h"
#include "tests/support/sanitizers.h"
#include "tests/support/settingsfile.h"
#include "tests/support/snmpdagent.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

namespace {

// Runs xdotool on the display; its output when it succeeds.
template<typename... Args>
std::optional<QByteArray> xdotool(const QString &display, const Args &...arguments)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), {QString(arguments)...});
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput().trimmed();
}

// The first visible window whose title matches the pattern, as xdotool names it.
QString windowNamed(const QString &display, const char *pattern)
{
    const auto ids = xdotool(display, "search", "--onlyvisible", "--name", pattern);
    return ids ? QString::fromLatin1(ids->split('\n').constFirst()) : QString();
}

// Waits for the program, the sanitizer builds' slower.
constexpr int Patience = 20000 * SlowBuild;

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestProgram final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void getSavedWithNamesFromItsOwnMibs();
    void optionsWithoutADisplay_data();
    void optionsWithoutADisplay();

private:
    QProcess m_xserver;
    QString m_display;
};

void TestProgram::initTestCase()
{
    // The display must be this server's: a display number whose lock file is
    // free can still have its abstract socket held by another X server that
    // shares the network namespace, and clients try that socket first. So
    // the answer is checked by the screen's unusual size, and other numbers
    // are tried when it is someone else's. No access control: the server is
    // the test's alone, and some sandboxes cannot tell a local client as such.
    // No reset when the last client leaves: a reset after the check below
    // refuses the program that connects during it, on a loaded machine.
    const QStringList common{"-ac", "-noreset", "-nolisten", "tcp", "-screen", "0", "1016x762x24"};
    for (int attempt = 0; attempt < 8 && m_display.isEmpty(); ++attempt) {
        const QString wanted = attempt == 0 ? QString() : QStringLiteral(":%1").arg(64 + 7 * attempt);
        m_xserver.start(QStringLiteral("Xvfb"),
                        (wanted.isEmpty() ? QStringList{"-displayfd", "1"} : QStringList{wanted, "-displayfd", "1"}) + common);
        QVERIFY2(m_xserver.waitForStarted(), "Xvfb is installed");
        if (QTest::qWaitFor([this] { return m_xserver.canReadLine() || m_xserver.state() == QProcess::NotRunning; }, 20000)
            && m_xserver.canReadLine()) {
            const QString display = QLatin1Char(':') + QString::fromLatin1(m_xserver.readLine().trimmed());
            if (xdotool(display, "getdisplaygeometry") == QByteArray("1016 762"))
                m_display = display;
        }
        if (m_display.isEmpty()) {
            qWarning("X server attempt %d: %s", attempt, m_xserver.readAllStandardError().constData());
            m_xserver.kill();
            m_xserver.waitForFinished();
        }
    }
    QVERIFY2(!m_display.isEmpty(), "an X server of the test's own answers to xdotool");
}

void TestProgram::cleanupTestCase()
{
    m_xserver.terminate();
    m_xserver.waitForFinished();
}

// The boxes come from the command line over the settings file's history, F9
// gets the row, Ctrl+S saves it; the history keeps its entries.
// Net-SNMP's own folders are kept out of the search path, so the name can
// only come from the MIB folder that the program finds beside itself.
void TestProgram::getSavedWithNamesFromItsOwnMibs()
{
    SnmpdAgent agent;
    QVERIFY2(agent.start(), qPrintable(agent.log()));
    QTemporaryDir home;
    QTemporaryDir noMibs;
    QVERIFY(writeFile(home.filePath(QStringLiteral("Ferrolyn/Norvane.reg")),
                              Header + AgentSection + "\"Item0\"=\"127.0.0.1:9\"\r\n\r\n"
                                  + CommunitySection + "\"Item0\"=\"wrong\"\r\n\r\n"
                                  + OidSection + "\"Item0\"=\"sysName.0\"\r\n"));

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("MIBDIRS"), noMibs.path());
    environment.remove(QStringLiteral("MIBS"));
    environment.remove(QStringLiteral("NORVANE_MIBDIR"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    // The Save As dialog opens in the home folder (it has no Documents), not
    // the working folder, and a bare file name needs no typed path: the
    // path's completion popup, were it open at the Return, would take the key.
    environment.insert(QStringLiteral("HOME"), home.path());
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(noMibs.path());
    program.start(qEnvironmentVariable("NORVANE_PROGRAM", QStringLiteral(NORVANE_EXECUTABLE)),
                  {QStringLiteral("--agent"), agent.address(), QStringLiteral("--community=") + SnmpdAgent::Community});
    QVERIFY(program.waitForStarted());

    // Each look runs xdotool: waited for by the clock, not by QTRY's count of polls.
    QString window;
    QVERIFY2(QTest::qWaitFor([&] { return !(window = windowNamed(m_display, "^Norvane$")).isEmpty(); }, Patience),
             qPrintable(QStringLiteral("no window on %1; the program %2, the X server %3: %4")
                            .arg(m_display,
                                 program.state() == QProcess::NotRunning ? QStringLiteral("ended") : QStringLiteral("runs"),
                                 m_xserver.state() == QProcess::NotRunning ? QStringLiteral("ended") : QStringLiteral("runs"),
                                 QString::fromLocal8Bit(m_xserver.readAllStandardError()))));
    QVERIFY(xdotool(m_display, "windowfocus", "--sync", window));
    QVERIFY(xdotool(m_display, "key", "F9"));
    // Save is enabled once the run has ended with its row: Ctrl+S until the dialog opens.
    const auto saveDialog = [this] {
        const QString id = windowNamed(m_display, "^Save As$");
        if (id.isEmpty())
            xdotool(m_display, "key", "ctrl+s");
        return id;
    };
    QString dialog;
    QVERIFY(QTest::qWaitFor([&] { return !(dialog = saveDialog()).isEmpty(); }, Patience));
    const QString saved = home.filePath(QStringLiteral("rows.txt"));
    QVERIFY(xdotool(m_display, "windowfocus", "--sync", dialog));
    QVERIFY(xdotool(m_display, "key", "ctrl+a"));
    QVERIFY(xdotool(m_display, "type", "--delay", "5", "rows.txt"));
    QVERIFY(xdotool(m_display, "key", "Return"));

    QTRY_VERIFY_WITH_TIMEOUT(contentsOf(saved).endsWith("\r\n"), Patience);
    QCOMPARE(contentsOf(saved), QByteArray(".1.3.6.1.2.1.1.5.0 | SNMPv2-MIB::sysName.0 | Octet String | ")
                                    + SnmpdAgent::SysName + "\r\n");
    // A logout's SIGTERM closes it as its window's close does.
    QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QByteArray settings = contentsOf(home.filePath(QStringLiteral("Ferrolyn/Norvane.reg")));
    QVERIFY2(settings.contains("\"Item1\"=\"127.0.0.1:9\"") && settings.contains("\"Item1\"=\"wrong\""), settings);
}

void TestProgram::optionsWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a line of it
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "Norvane " NORVANE_VERSION;
    QTest::newRow("--help") << QStringList{"--agent", "h", "--help"} << 0 << "  --agent HOST[:PORT]  start with this agent in the Agent box";
    QTest::newRow("no value") << QStringList{"--community"} << 2 << "norvane: --community needs a value";
}

// --help and --version need no display, and answer at once.
void TestProgram::optionsWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment()); // no display, no platform
    QElapsedTimer clock;
    clock.start();
    program.start(qEnvironmentVariable("NORVANE_PROGRAM", QStringLiteral(NORVANE_EXECUTABLE)), arguments);
    QVERIFY(program.waitForFinished(10000));
    QVERIFY2(clock.elapsed() < 1000 * SlowBuild, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1, status);
    const QString printed = QString::fromLocal8Bit(status ? program.readAllStandardError() : program.readAllStandardOutput());
    QFETCH(QString, output);
    QVERIFY2(printed.split(u'\n').contains(output), qPrintable(printed));
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
