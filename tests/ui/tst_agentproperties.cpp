// SPDX-License-Identifier: MIT
// Agent Properties through the window, with the desktop keyring in each state
// it may be in (tests/support/with-keyring.sh: gnome-keyring unlocked, locked
// with its prompt left open, silent; or no D-Bus at all): an SNMPv3 agent set
// up in the dialog runs, its properties come back at the next start, its
// passphrases from the keyring when there is one and from the user when
// there is none, and a keyring that is slow or gone never holds the window.
// No passphrase reaches the settings file, the result file or the program's
// output, and none stays in the process's memory, or in a core dump.

#include "common/apperror.h"
#include "common/messages.h"
#include "store/settingsstore.h"
#include "tests/support/memoryscan.h"
#include "tests/support/settingsfile.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/v3users.h"
#include "tests/support/windowfixture.h"
#include "ui/dialogs/agentpropertiesdialog.h"
#include "ui/exitsignals.h"
#include "ui/results/resultmodel.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/keytools.h>
#include <net-snmp/library/scapi.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace v3users;

namespace {

// Whatever the process writes to stdout and stderr while it lives, in a file.
class CapturedOutput
{
public:
    CapturedOutput()
    {
        m_file.open();
        std::fflush(nullptr);
        m_stdout = ::dup(1);
        m_stderr = ::dup(2);
        ::dup2(m_file.handle(), 1);
        ::dup2(m_file.handle(), 2);
    }
    ~CapturedOutput() { restore(); }
    QByteArray text()
    {
        restore();
        QFile file(m_file.fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    void restore()
    {
        if (m_stdout < 0)
            return;
        std::fflush(nullptr);
        ::dup2(m_stdout, 1);
        ::dup2(m_stderr, 2);
        ::close(m_stdout);
        ::close(m_stderr);
        m_stdout = m_stderr = -1;
    }
    QTemporaryFile m_file;
    int m_stdout = -1;
    int m_stderr = -1;
};

// "none" (no D-Bus), "unlocked", "locked" or "silent": with-keyring.sh says.
QString keyringMode()
{
    return qEnvironmentVariable("NORVANE_TEST_KEYRING", QStringLiteral("none"));
}

// Runs work in a child process: what it makes in memory (a config with the
// passphrases in it, keys derived from them) never lies in this process's,
// where the memory scan would find it. True when the work succeeded.
template <typename Work>
bool inChild(Work work)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(work() ? 0 : 1);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The agent's engine ID, as Net-SNMP's snmpget reads snmpEngineID.0.
QByteArray engineId(const QString &agent)
{
    QProcess get;
    get.start(QStringLiteral("snmpget"), {"-v3", "-l", "noAuthNoPriv", "-u", NoAuthUser, "-Oqv", "-Ox", agent,
                                          "1.3.6.1.6.3.10.2.1.1.0"});
    get.waitForFinished(10000);
    return QByteArray::fromHex(get.readAllStandardOutput().simplified().replace(' ', ""));
}

const QString SysNameOid = QStringLiteral("1.3.6.1.2.1.1.5.0");
constexpr AuthProtocol Auth = AuthProtocol::SHA256;
constexpr PrivProtocol Priv = PrivProtocol::AES256;

} // namespace

class TestAgentProperties final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noCopyLeftBehind();
    void v3AgentAcrossStarts();
    void keyringThatNeverAnswers();
    void lockedKeyringKeepsTheWindow();

private:
    // Settings with the agent's SNMPv3 user, passphrases remembered, and a
    // window started on them: none in memory yet.
    bool startRemembered(WindowFixture &window, const QString &agent);
    AgentProperties v3Properties(bool remember) const;

    QTemporaryDir m_configDir;
    SnmpdAgent m_snmpd;
    QString m_user;
};

void TestAgentProperties::initTestCase()
{
    // The users' config is written by a child: here it would leave the
    // passphrases in freed memory for the scan to find.
    const QString users = m_configDir.filePath(QStringLiteral("users.conf"));
    QVERIFY(inChild([&] {
        QFile file(users);
        return file.open(QIODevice::WriteOnly) && file.write(snmpdConfig().toUtf8()) > 0;
    }));
    m_snmpd.addConfig(QStringLiteral("includeFile %1\n").arg(users));
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
    m_user = userName(Auth, Priv);
}

AgentProperties TestAgentProperties::v3Properties(bool remember) const
{
    AgentProperties p;
    p.version = AgentVersion::V3;
    p.userName = m_user;
    p.level = SecurityLevel::AuthPriv;
    p.auth = Auth;
    p.priv = Priv;
    p.rememberPassphrases = remember;
    return p;
}

bool TestAgentProperties::startRemembered(WindowFixture &window, const QString &agent)
{
    if (!window.newSettings())
        return false;
    RegistryHive hive(RegistryHive::defaultFilePath());
    Settings settings;
    settings.agentProperties[agent] = v3Properties(true);
    if (saveSettings(hive, settings) || !window.open())
        return false;
    window.setInputs(agent, QString(), SysNameOid);
    return true;
}

// The passphrases typed into the real dialog, kept (in the keyring too, when
// there is one) and used by a run: afterwards the process's memory holds no
// copy of them, in UTF-8 or UTF-16, nor of the keys made from them (Ku) or
// localised for the agent (Kul), although they are still kept for the next
// run. A core dump of the process is not written.
void TestAgentProperties::noCopyLeftBehind()
{
    if (keyringMode() != QLatin1String("none") && keyringMode() != QLatin1String("unlocked"))
        QSKIP("for no keyring and an unlocked one");
    const bool remember = keyringMode() == QLatin1String("unlocked");
    MemoryScan scan;
    scan.addText("authentication passphrase", AuthPassphrase);
    scan.addText("privacy passphrase", PrivPassphrase);
    const QByteArray engine = engineId(m_snmpd.address());
    QVERIFY(engine.size() >= 5);
    QTemporaryFile keyFile;
    QVERIFY(keyFile.open());
    QVERIFY(inChild([&] { // with SHA-256 every key has 32 bytes
        size_t oidLength = 0;
        const oid *hash = sc_get_auth_oid(usm_lookup_auth_type(usmnames::authName(Auth)), &oidLength);
        u_char keys[4][USM_AUTH_KU_LEN]; // Ku and Kul of each passphrase, as Net-SNMP's buffers hold them
        for (int p = 0; p < 2; ++p) {
            const char *passphrase = p == 0 ? AuthPassphrase : PrivPassphrase;
            size_t kuLength = USM_AUTH_KU_LEN, kulLength = USM_AUTH_KU_LEN;
            if (!hash
                || generate_Ku(hash, u_int(oidLength), reinterpret_cast<const u_char *>(passphrase), strlen(passphrase),
                               keys[2 * p], &kuLength) != SNMPERR_SUCCESS
                || generate_kul(hash, u_int(oidLength), reinterpret_cast<const u_char *>(engine.constData()),
                                size_t(engine.size()), keys[2 * p], kuLength, keys[2 * p + 1], &kulLength) != SNMPERR_SUCCESS
                || kuLength != 32 || kulLength != 32)
                return false;
        }
        for (auto &key : keys)
            for (u_char &byte : key)
                byte ^= u_char(MemoryScan::Mask);
        return ::write(keyFile.handle(), keys, sizeof keys) == ssize_t(sizeof keys);
    }));
    QVERIFY(keyFile.seek(0)); // the child moved the offset both share
    const QByteArray masked = keyFile.readAll();
    QCOMPARE(masked.size(), 4 * USM_AUTH_KU_LEN);
    for (int k = 0; k < 4; ++k)
        scan.addMasked(QStringLiteral("%1 of the %2 passphrase").arg(k % 2 ? "Kul" : "Ku", k < 2 ? "authentication" : "privacy"),
                       masked.mid(USM_AUTH_KU_LEN * k, 32).toStdString());
    QCOMPARE(scan.find(), QStringList()); // the test made no copy of its own

    WindowFixture window;
    QVERIFY(window.start(WindowFixture::Dialogs::Real));
    window.setInputs(m_snmpd.address(), QString(), SysNameOid);
    const auto typePassphrase = [](QLineEdit *field, const char *passphrase) {
        // Key by key: a QString of the passphrase made here would be a copy.
        for (const char *c = passphrase; *c; ++c)
            QTest::keyClick(field, *c);
    };
    QVERIFY(window.drive<TAgentPropertiesDialog>("actAgentProperties", [&](TAgentPropertiesDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("cboVersion"))->setCurrentIndex(int(AgentVersion::V3));
        dialog->findChild<QLineEdit *>(QStringLiteral("edtUser"))->setText(m_user);
        dialog->findChild<QComboBox *>(QStringLiteral("cboAuth"))->setCurrentIndex(int(Auth) - 1);
        dialog->findChild<QComboBox *>(QStringLiteral("cboPriv"))->setCurrentIndex(int(Priv) - 1);
        typePassphrase(dialog->findChild<QLineEdit *>(QStringLiteral("edtAuthPass")), AuthPassphrase);
        typePassphrase(dialog->findChild<QLineEdit *>(QStringLiteral("edtPrivPass")), PrivPassphrase);
        dialog->findChild<QCheckBox *>(QStringLiteral("chkRemember"))->setChecked(remember);
        dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    }));
    // Gone once the keyring's job has answered.
    QTRY_COMPARE(scan.find(), QStringList());

    // Shown again (from memory), and dismissed.
    QVERIFY(window.drive<TAgentPropertiesDialog>("actAgentProperties", [&](TAgentPropertiesDialog *dialog) {
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("edtAuthPass"))->text().size(),
                 qsizetype(strlen(AuthPassphrase)));
        dialog->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
    }));
    QCOMPARE(scan.find(), QStringList());

    QVERIFY(window.trigger("actRun"));
    QTRY_COMPARE(window->results().rowCount(), 1);
    QCOMPARE(window->results().index(0, 3).data().toString(), QString::fromLatin1(SnmpdAgent::SysName));
    QCOMPARE(scan.find(), QStringList());

    // A crash now would leave no core file to read them from.
    QTemporaryDir cores;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &unlimited);
        if (::chdir(QFile::encodeName(cores.path()).constData()) != 0)
            ::_exit(2);
        ::signal(SIGABRT, SIG_DFL);
        ::raise(SIGABRT);
        ::_exit(3);
    }
    int status = 0;
    QCOMPARE(::waitpid(pid, &status, 0), pid);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
    QVERIFY(!WCOREDUMP(status));
    QCOMPARE(QDir(cores.path()).entryList(QDir::Files), QStringList());
}

// Run twice, with a keyring (remembered passphrases come back) and without
// one (its write fails with a message that names the missing keyring; at the
// next start the run says so and asks for the passphrases); and no
// passphrase in a file or in what the program wrote.
void TestAgentProperties::v3AgentAcrossStarts()
{
    if (keyringMode() != QLatin1String("none") && keyringMode() != QLatin1String("unlocked"))
        QSKIP("for no keyring and an unlocked one");
    const bool keyring = keyringMode() == QLatin1String("unlocked");
    CapturedOutput output;
    WindowFixture window;
    QVERIFY(window.start());
    const QString results = window.settingsFolder() + QStringLiteral("/results.txt");
    window.log.answerFile = [&] { return std::optional<QString>(results); };
    window.log.answerAgent = [&](AgentPropertiesEdit &edit) {
        if (edit.agent != m_snmpd.address())
            return false;
        edit.properties = v3Properties(true);
        edit.authPassphrase = Secret(AuthPassphrase);
        edit.privPassphrase = Secret(PrivPassphrase);
        return true;
    };
    // The Community box is not used with SNMPv3: empty, it is no error.
    window.setInputs(m_snmpd.address(), QString(), SysNameOid);
    QVERIFY(window.trigger("actAgentProperties"));
    QVERIFY(window.trigger("actRun"));
    QTRY_COMPARE(window->results().rowCount(), 1);
    QCOMPARE(window->results().index(0, 3).data().toString(), QString::fromLatin1(SnmpdAgent::SysName));
    QVERIFY(window.trigger("actSaveAs"));
    QVERIFY(QFile::exists(results));
    // The keyring's answer to the write.
    const QStringList written = keyring ? QStringList() : QStringList{QString::fromLatin1(msg::KeyringNoService)};
    QTRY_COMPARE(window.log.errors, written);

    // The next start: the properties from the settings file, the passphrases
    // from the keyring, or from the user after a message that says why.
    window.quit();
    window.log.errors.clear();
    QVERIFY(window.open());
    AgentPropertiesEdit shown;
    int asked = 0;
    window.log.answerAgent = [&](AgentPropertiesEdit &edit) {
        ++asked;
        shown.properties = edit.properties;
        shown.authPassphrase = edit.authPassphrase.copy();
        shown.keyringProblem = edit.keyringProblem;
        return false;
    };
    window.setInputs(m_snmpd.address(), QString(), SysNameOid);
    QVERIFY(window.trigger("actRun"));
    if (keyring) {
        QTRY_COMPARE(window->results().rowCount(), 1);
        QCOMPARE(asked, 0);
    } else {
        QTRY_COMPARE(asked, 1);
        QCOMPARE(window.log.errors, QStringList{QString::fromLatin1(msg::KeyringNoService)});
        QCOMPARE(window->results().rowCount(), 0);
        QCOMPARE(shown.keyringProblem, QString::fromLatin1(msg::KeyringNoService));
    }
    QVERIFY(window.trigger("actAgentProperties"));
    QTRY_COMPARE(asked, keyring ? 1 : 2);
    QCOMPARE(shown.properties, v3Properties(true));
    QCOMPARE(shown.authPassphrase.bytes(), keyring ? std::string(AuthPassphrase) : std::string());
    QCOMPARE(window.notIdle(), QString());
    window.quit();

    // Nowhere in a file or in what the program wrote.
    QFile settings(window.settingsFolder() + QStringLiteral("/Ferrolyn/Norvane.reg"));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray settingsText = settings.readAll();
    QVERIFY(settingsText.contains("[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\Agents\\127.0.0.1:"));
    QFile resultFile(results);
    QVERIFY(resultFile.open(QIODevice::ReadOnly));
    const QByteArray printed = output.text();
    for (const QByteArray &text : {settingsText, resultFile.readAll(), printed}) {
        QVERIFY(!text.contains(AuthPassphrase));
        QVERIFY(!text.contains(PrivPassphrase));
    }
}

// A Secret Service that never answers: the run waits no longer than the
// time limit, says why, asks for the passphrases and runs with them; the
// session then leaves the keyring alone, so Agent Properties opens at once
// and says where the passphrases are kept.
void TestAgentProperties::keyringThatNeverAnswers()
{
    if (keyringMode() != QLatin1String("silent"))
        QSKIP("for a keyring that never answers");
    WindowFixture window;
    QVERIFY(startRemembered(window, m_snmpd.address()));
    QString problem;
    window.log.answerAgent = [&](AgentPropertiesEdit &edit) {
        problem = edit.keyringProblem;
        edit.authPassphrase = Secret(AuthPassphrase);
        edit.privPassphrase = Secret(PrivPassphrase);
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    QVERIFY(window.trigger("actRun"));
    QCOMPARE(window->statusLine()->simpleText(), QString::fromLatin1(msg::KeyringWait));
    QVERIFY(window.command("actStop")->isEnabled());
    const QString timedOut = QString::fromLatin1(msg::KeyringTimedOut).arg(PassphraseVault::KeyringTimeLimit.count() / 1000);
    QTRY_COMPARE_WITH_TIMEOUT(window.log.errors, QStringList{timedOut}, 15000);
    const qint64 waited = clock.elapsed();
    QVERIFY2(waited >= PassphraseVault::KeyringTimeLimit.count() && waited < PassphraseVault::KeyringTimeLimit.count() + 2000,
             qPrintable(QString::number(waited)));
    QTRY_COMPARE(window->results().rowCount(), 1);
    QCOMPARE(problem, timedOut);

    problem.clear();
    clock.restart();
    QVERIFY(window.trigger("actAgentProperties"));
    QCOMPARE(problem, timedOut); // opened at once, no second wait
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window.log.errors, QStringList{timedOut});
}

// A locked keyring whose unlock prompt stays open: the window waits for it
// without being held (Stop gives the wait up, another command runs), and
// SIGTERM closes it within a second, the settings written.
void TestAgentProperties::lockedKeyringKeepsTheWindow()
{
    if (keyringMode() != QLatin1String("locked"))
        QSKIP("for a locked keyring");
    // The entry with-keyring.sh made before it locked the keyring: only a
    // read of a locked entry brings the unlock prompt up.
    const QString agent = qEnvironmentVariable("NORVANE_TEST_KEYRING_ENTRY").section(QLatin1Char('@'), 1);
    QVERIFY(!agent.isEmpty());
    WindowFixture window;
    QVERIFY(startRemembered(window, agent));
    QVERIFY(window.trigger("actRun"));
    QCOMPARE(window->statusLine()->simpleText(), QString::fromLatin1(msg::KeyringWait));
    QTest::qWait(300); // the keyring sits at its prompt meanwhile
    QCOMPARE(window->statusLine()->simpleText(), QString::fromLatin1(msg::KeyringWait));
    QVERIFY(window.trigger("actStop"));
    QCOMPARE(window.notIdle(), QString());
    QVERIFY(window.trigger("actRun"));
    QCOMPARE(window->statusLine()->simpleText(), QString::fromLatin1(msg::KeyringWait));
    QVERIFY(window.trigger("actWalk")); // the window answers
    QVERIFY(window.command("actWalk")->isChecked());

    const ExitSignals exitSignals;
    connect(&exitSignals, &ExitSignals::exitRequested, window.get(), &QWidget::close);
    QElapsedTimer clock;
    clock.start();
    ::raise(SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 1000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(window.log.errors, QStringList());
    window.quit();
    QCOMPARE(storedValue(RegistryHive::defaultFilePath(), SettingsKey, "Action").data, dword(int(Operation::Walk)));
}

QTEST_MAIN(TestAgentProperties)
#include "tst_agentproperties.moc"
