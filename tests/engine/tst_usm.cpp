// SPDX-License-Identifier: MIT
// SNMPv3 against a real snmpd: every authentication and privacy protocol,
// a walk row for row as Net-SNMP's own, and each failure with its message,
// then the same agent with the right settings, without a restart.

#include "common/messages.h"
#include "engine/snmp/agentsecurity.h"
#include "engine/snmp/snmpmgr.h"
#include "tests/engine/fakehost.h"
#include "tests/support/loopbackudp.h"
#include "tests/support/sanitizers.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/v3users.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

using namespace v3users;

namespace {

const QString SysNameOid = QStringLiteral("1.3.6.1.2.1.1.5.0");

} // namespace

class TestUsm final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void getThroughEveryUser_data();
    void getThroughEveryUser();
    void walkMatchesSnmpbulkwalk();
    void failureThenFixed_data();
    void failureThenFixed();
    void discoveryCanBeGivenUp();
    void walkAcrossNewEngine();

private:
    QString get(FakeHost &host, const QString &agent);

    SnmpdAgent m_snmpd;
};

void TestUsm::initTestCase()
{
    m_snmpd.addConfig(snmpdConfig());
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
}

// The message of a Get of sysName.0, or its value when it worked.
QString TestUsm::get(FakeHost &host, const QString &agent)
{
    host.rows.clear();
    host.setInputs(agent, QString(), SysNameOid, Operation::Get);
    const QString message = run(host);
    if (!message.isNull())
        return message;
    return host.rows.size() == 1 ? QString::fromStdString(host.rows[0].value) : QStringLiteral("rows: %1").arg(host.rows.size());
}

void TestUsm::getThroughEveryUser_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("context");
    for (int a = 1; a <= 6; ++a) {
        for (int p = 0; p <= 6; ++p) {
            const std::optional<PrivProtocol> priv = privacy(p);
            const QString name = userName(AuthProtocol(a), priv);
            QTest::newRow(qPrintable(name)) << name << QString();
        }
    }
    QTest::newRow("noAuthNoPriv") << QString::fromLatin1(NoAuthUser) << QString();
    QTest::newRow("a context") << QString::fromLatin1(ContextUser) << QString::fromLatin1(Context);
}

void TestUsm::getThroughEveryUser()
{
    QFETCH(QString, user);
    QFETCH(QString, context);
    FakeHost host;
    host.security = user == QLatin1String(ContextUser) ? security(AuthProtocol::SHA, PrivProtocol::AES) : securityOf(user);
    host.security->userName = user.toStdString();
    host.security->context = context.toStdString();
    QCOMPARE(get(host, m_snmpd.address()), QString::fromLatin1(SnmpdAgent::SysName));
    QCOMPARE(host.rows[0].type, std::string("Octet String"));
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

void TestUsm::walkMatchesSnmpbulkwalk()
{
    const AuthProtocol auth = AuthProtocol::SHA256;
    const PrivProtocol priv = PrivProtocol::AES256;
    QProcess walk;
    walk.start(QStringLiteral("snmpbulkwalk"),
               {"-v3", "-l", "authPriv", "-u", userName(auth, priv), "-a", "SHA-256", "-A", AuthPassphrase, "-x",
                "AES-256", "-X", PrivPassphrase, QStringLiteral("-Cr%1").arg(BulkMaxRepetitions), "-On",
                m_snmpd.address(), "1.3.6.1.2.1"});
    QVERIFY(walk.waitForFinished(60000));
    QStringList expected;
    for (const QString &line : QString::fromUtf8(walk.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype separator = line.indexOf(QLatin1String(" = "));
        if (line.startsWith(QLatin1Char('.')) && separator > 0 && !line.contains(QLatin1String(" = No more variables")))
            expected.append(line.left(separator) + (line.contains(QLatin1String(" = Counter64:")) ? " Counter64" : ""));
    }
    QVERIFY(expected.size() > 100);

    FakeHost host;
    host.security = security(auth, priv);
    host.setInputs(m_snmpd.address(), QString(), QStringLiteral("1.3.6.1.2.1"), Operation::Walk);
    QCOMPARE(run(host), QString());
    QStringList rows;
    for (const ResultRow &row : host.rows)
        rows.append(QString::fromStdString(row.oid) + (row.type == "Counter64" ? " Counter64" : ""));
    QCOMPARE(rows, expected);
    QVERIFY(expected.filter(QLatin1String(" Counter64")).size() > 0);
}

void TestUsm::failureThenFixed_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    const QString sha256 = userName(AuthProtocol::SHA256, PrivProtocol::AES256);
    const QString md5c = userName(AuthProtocol::MD5, PrivProtocol::AES256C);
    const QString shaBlumenthal = userName(AuthProtocol::SHA, PrivProtocol::AES192);
    QTest::newRow("wrong auth passphrase") << sha256 << "authPass"
                                           << formatMessage(msg::UsmWrongAuth, qPrintable(sha256)).c_str();
    QTest::newRow("wrong auth protocol") << sha256 << "auth"
                                         << formatMessage(msg::UsmWrongAuth, qPrintable(sha256)).c_str();
    QTest::newRow("unknown user") << sha256 << "user" << formatMessage(msg::UsmUnknownUser, "nobody-here").c_str();
    QTest::newRow("level too low") << sha256 << "level"
                                   << formatMessage(msg::UsmLevelTooLow, qPrintable(sha256), "authNoPriv").c_str();
    QTest::newRow("wrong priv passphrase") << sha256 << "privPass" << msg::UsmPrivacyWrong;
    QTest::newRow("Blumenthal asked, Reeder served")
        << md5c << "variant" << formatMessage(msg::UsmOtherVariant, "AES-256-C", "AES-256", "AES-256-C").c_str();
    QTest::newRow("Reeder asked, Blumenthal served")
        << shaBlumenthal << "variant" << formatMessage(msg::UsmOtherVariant, "AES-192", "AES-192-C", "AES-192").c_str();
    QTest::newRow("unknown context") << QString::fromLatin1(ContextUser) << "context"
                                     << formatMessage(msg::UsmContextUnknown, "ctxb").c_str();
    QTest::newRow("unknown context at authNoPriv") << QString::fromLatin1(ContextUser) << "contextNoPriv"
                                                   << formatMessage(msg::UsmContextUnknown, "ctxb").c_str();
    QTest::newRow("unknown context at noAuthNoPriv") << QString::fromLatin1(NoAuthUser) << "context"
                                                     << formatMessage(msg::UsmContextUnknown, "ctxb").c_str();
    const QString shaDes = userName(AuthProtocol::SHA, PrivProtocol::DES);
    const QString shaAes = userName(AuthProtocol::SHA, PrivProtocol::AES);
    QTest::newRow("AES asked, DES served") << shaDes << "aes" << formatMessage(msg::UsmDecryption, qPrintable(shaDes)).c_str();
    // AES decrypts anything into garbage, which the agent drops unreported.
    QTest::newRow("DES asked, AES served") << shaAes << "des" << msg::UsmPrivacyWrong;
    QTest::newRow("user name of 33 octets") << sha256 << "longUser" << formatMessage(msg::UsmUserNameTooLong, 33).c_str();
    QTest::newRow("short auth passphrase") << sha256 << "shortAuth"
                                           << formatMessage(msg::UsmShortPassphrase, "authentication").c_str();
    QTest::newRow("short priv passphrase") << sha256 << "shortPriv"
                                           << formatMessage(msg::UsmShortPassphrase, "privacy").c_str();
    QTest::newRow("dead port") << sha256 << "port" << msg::UsmNoAnswer;
}

// Each row: the right settings work, the wrong ones fail with the row's
// message, and the right ones work again in the same process: Net-SNMP's
// user cache keeps neither the good keys nor the bad ones.
void TestUsm::failureThenFixed()
{
    QFETCH(QString, user);
    QFETCH(QString, change);
    QFETCH(QString, message);
    FakeHost host;
    host.transport.timeOut = 150 * SlowBuild; // the timeouts of the rows that drop their requests
    host.transport.retries = 0;
    const auto right = [&] {
        AgentSecurity s = user == QLatin1String(ContextUser) ? security(AuthProtocol::SHA, PrivProtocol::AES) : securityOf(user);
        s.userName = user.toStdString();
        if (user == QLatin1String(ContextUser))
            s.context = Context;
        return s;
    };
    host.security = right();
    QCOMPARE(get(host, m_snmpd.address()), QString::fromLatin1(SnmpdAgent::SysName));

    AgentSecurity wrong = right();
    QString agent = m_snmpd.address();
    if (change == QLatin1String("authPass"))
        wrong.authPassphrase = Secret("not-the-passphrase");
    else if (change == QLatin1String("auth"))
        wrong.auth = AuthProtocol::SHA512;
    else if (change == QLatin1String("user"))
        wrong.userName = "nobody-here";
    else if (change == QLatin1String("level"))
        wrong.level = SecurityLevel::AuthNoPriv;
    else if (change == QLatin1String("privPass"))
        wrong.privPassphrase = Secret("not-the-passphrase");
    else if (change == QLatin1String("variant"))
        wrong.priv = wrong.priv == PrivProtocol::AES256C ? PrivProtocol::AES256 : PrivProtocol::AES192C;
    else if (change == QLatin1String("context"))
        wrong.context = "ctxb";
    else if (change == QLatin1String("contextNoPriv"))
        wrong.level = SecurityLevel::AuthNoPriv, wrong.context = "ctxb";
    else if (change == QLatin1String("aes"))
        wrong.priv = PrivProtocol::AES;
    else if (change == QLatin1String("des"))
        wrong.priv = PrivProtocol::DES;
    else if (change == QLatin1String("longUser"))
        wrong.userName = std::string(MaxUserNameLength + 1, 'u');
    else if (change == QLatin1String("shortAuth"))
        wrong.authPassphrase = Secret("1234567");
    else if (change == QLatin1String("shortPriv"))
        wrong.privPassphrase = Secret("1234567");
    else if (change == QLatin1String("port"))
        agent = QStringLiteral("127.0.0.1:%1").arg(freeLoopbackPort());
    host.security = std::move(wrong);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(get(host, agent), message);
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));

    host.security = right();
    QCOMPARE(get(host, m_snmpd.address()), QString::fromLatin1(SnmpdAgent::SysName));
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

// The engine ID discovery waits as a request waits, its events processed:
// a run given up meanwhile ends then, not after the timeout.
void TestUsm::discoveryCanBeGivenUp()
{
    FakeHost host;
    host.security = security(AuthProtocol::SHA256, PrivProtocol::AES256);
    host.transport.timeOut = 5000;
    host.wait = RequestWait::ProcessEvents;
    host.setInputs(QStringLiteral("127.0.0.1:%1").arg(freeLoopbackPort()), QString(), SysNameOid, Operation::Get);
    QTimer::singleShot(200, this, [&host] { host.control.abandoned = true; });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(host), QString());
    QCOMPARE(host.end, std::optional(QueryEnd::Abandoned));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

// An agent restarted as a new engine (another engine ID, as a reinstalled or
// cloned one has) in the middle of a walk reports the session's engine ID
// unknown: the run discovers the new one and asks again, and the walk goes
// on to its end as Net-SNMP's own walk of the new engine sees it.
void TestUsm::walkAcrossNewEngine()
{
    FakeHost host;
    host.security = security(AuthProtocol::SHA256, PrivProtocol::AES256);
    // A request the old engine never answered is tried again, then by the new one.
    host.transport = {300 * SlowBuild, 1, SnmpVersion::V1};
    const QString subtree = QStringLiteral("1.3.6.1.2.1.4"); // some 500 rows, the same in every snmpd here
    host.setInputs(m_snmpd.address(), QString(), subtree, Operation::Walk);
    bool restarted = false;
    host.onProcessEvents = [&](FakeHost &, int row) {
        if (row == BulkMaxRepetitions + 10)
            restarted = m_snmpd.restart(true);
    };
    QCOMPARE(run(host), QString());
    QVERIFY(restarted);
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);

    QProcess walk;
    walk.start(QStringLiteral("snmpbulkwalk"), {"-v3", "-l", "authPriv", "-u", QString::fromStdString(host.security->userName),
                                                "-a", "SHA-256", "-A", AuthPassphrase, "-x", "AES-256", "-X",
                                                PrivPassphrase, "-On", m_snmpd.address(), subtree});
    QVERIFY(walk.waitForFinished(60000));
    QStringList expected;
    for (const QString &line : QString::fromUtf8(walk.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('.')))
            expected.append(line.left(line.indexOf(QLatin1String(" = "))));
    }
    QVERIFY(expected.size() > 3 * BulkMaxRepetitions);
    QCOMPARE(rowOids(host), expected);
}

QTEST_GUILESS_MAIN(TestUsm)
#include "tst_usm.moc"
