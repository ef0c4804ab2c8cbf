// SPDX-License-Identifier: MIT
// Faults of the agent and the network, seen through the query run as the
// window sees it: what the user is told, which rows stay, that the run ends in
// time and the window is idle and usable afterwards.
#include "engine/snmp/snmpmgr.h"
#include "tests/engine/fakehost.h"
#include "tests/support/loopbackudp.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/snmpdagent.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

using Value = ScriptedAgent::Value;
using Request = ScriptedAgent::Request;
using Response = ScriptedAgent::Response;

// Short transport settings keep the suite fast; the bounds below derive from them.
constexpr int TimeoutMs = 80 * SlowBuild;
constexpr int Retries = 1;
constexpr qint64 BlockedAtMost = TimeoutMs * (Retries + 1);
// Scheduling, session set-up and the sanitizer builds' slowness.
constexpr qint64 Margin = 700;


const char *const ChildMode = "NORVANE_FAULTS_CHILD";
const char *const SecretCommunity = "Kx9-secret-c0mmunity";

std::vector<ScriptedAgent::Binding> systemTable()
{
    return {
        {ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"), Value::octets("scripted box")},
        {ScriptedAgent::oid("1.3.6.1.2.1.1.2.0"), Value::objectId(ScriptedAgent::oid("1.3.6.1.4.1.8072.3.2.10"))},
        {ScriptedAgent::oid("1.3.6.1.2.1.1.3.0"), Value::unsignedValue(0x43, 12345678)},
        {ScriptedAgent::oid("1.3.6.1.2.1.1.4.0"), Value::octets("ops@example.net")},
        {ScriptedAgent::oid("1.3.6.1.2.1.1.5.0"), Value::octets("box-5")},
    };
}

// The datagram the agent would send for this request and answer.
QByteArray encodeAnswer(const Request &request, const Response &response)
{
    ber::Message reply;
    reply.version = request.version;
    reply.community = request.community;
    reply.pduType = 0xA2;
    reply.requestId = response.requestId.value_or(request.requestId);
    reply.errorStatus = response.errorStatus;
    reply.errorIndex = response.errorIndex;
    for (const ScriptedAgent::Binding &binding : response.bindings)
        reply.bindings.push_back({binding.name, binding.value.tag, binding.value.content});
    return ber::encodeMessage(reply);
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : -1;
}

// A window that counts its rows and keeps only the last one, so that memory
// growth over a long walk is the engine's own.
class CountingHost final : public FakeHost
{
public:
    void appendRow(ResultRow &&row) override
    {
        ++count;
        last = std::move(row);
    }
    qint64 count = 0;
    ResultRow last;
};

// Run in a process of its own by communityStaysPrivate(): a whole session
// with a distinctive community, ending in the failures that are most likely
// to print something. Prints only what the parent checks.
int runWithSecretCommunity()
{
    ScriptedAgent agent;
    if (!agent.start())
        return 2;
    auto table = ScriptedAgent::tableHandler(systemTable());
    auto answered = std::make_shared<int>(0);
    agent.setHandler([table, answered](const Request &request) {
        if (++*answered <= 3)
            return table(request);
        if (*answered == 4)
            return ScriptedAgent::garbageHandler()(request);
        return Response::silence();
    });

    QStringList outcomes;
    const auto runOnce = [&outcomes](const QString &agentText, const QString &oids, Operation operation) {
        FakeHost host;
        host.setInputs(agentText, QString::fromLatin1(SecretCommunity), oids, operation);
        host.transport.timeOut = 100;
        host.transport.retries = 0;
        const QString message = run(host);
        outcomes.append(QStringLiteral("%1 rows, %2").arg(host.rows.size()).arg(message.isEmpty() ? "ok" : message));
    };
    runOnce(agent.address(), QStringLiteral("1.3.6.1.2.1.1.1.0"), Operation::Get);     // answered
    runOnce(agent.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);        // 2 rows, then garbage
    runOnce(agent.address(), QStringLiteral("1.3.6.1.2.1.1.1.0"), Operation::Get);     // silence
    runOnce(QStringLiteral("-nosuchhost"), QStringLiteral("1.3.6.1"), Operation::Get); // no such host
    runOnce(QStringLiteral("127.0.0.1:%1").arg(freeLoopbackPort()), QStringLiteral("1.3.6.1"), Operation::GetNext);
    std::printf("%s\n", qPrintable(outcomes.join(QLatin1Char('|'))));
    return 0;
}

} // namespace

class TestFaults final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void agentKilledMidWalk();
    void streamConnectionClosed_data();
    void streamConnectionClosed();
    void unusableAnswersMidWalk_data();
    void unusableAnswersMidWalk();
    void largestValueInOneDatagram();
    void endlessWalkStopsAndStaysBounded();
    void unresolvableAndSilentAgents();
    void manyOidsInOneGet();
    void textsThatAreNoOids_data();
    void textsThatAreNoOids();
    void namesOutsideTheMibsRanges();
    void communityStaysPrivate();

private:
    SnmpdAgent m_snmpd;
    ScriptedAgent m_scripted;
    FakeHost m_host;

    void setInputs(const QString &agent, const QString &oids, Operation operation);
    void verifyUsableAfterwards();
};

void TestFaults::initTestCase()
{
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
    QVERIFY(m_scripted.start());
}

void TestFaults::init()
{
    m_host = FakeHost();
    m_host.transport.timeOut = TimeoutMs;
    m_host.transport.retries = Retries;
    m_scripted.setTable(systemTable());
    m_scripted.clearRequests();
}

// Whatever happened, the window is idle with "Ready" and no session is left open.
void TestFaults::cleanup()
{
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

void TestFaults::setInputs(const QString &agent, const QString &oids, Operation operation)
{
    m_host.setInputs(agent, QStringLiteral("tarnel"), oids, operation);
}

// The same window runs again against a live agent, and the rows it had stay in front.
void TestFaults::verifyUsableAfterwards()
{
    const std::vector<ResultRow> before = m_host.rows;
    m_host.onProcessEvents = nullptr;
    m_scripted.setTable(systemTable());
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1.5.0"), Operation::Get);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), before.size() + 1);
    QCOMPARE(rowOids({m_host.rows.begin(), m_host.rows.end() - 1}), rowOids(before));
    QCOMPARE(m_host.rows.back().value, std::string("box-5"));
}

void TestFaults::agentKilledMidWalk()
{
    SnmpdAgent doomed;
    QVERIFY2(doomed.start(), qPrintable(doomed.log()));
    const QString root = QStringLiteral("1.3.6.1.2.1.1");

    // What the same walk gives from a twin agent that stays up.
    FakeHost twin;
    twin.setInputs(m_snmpd.address(), QStringLiteral("tarnel"), root, Operation::Walk);
    QCOMPARE(run(twin), QString());
    QVERIFY(twin.rows.size() > 4);

    setInputs(doomed.address(), root, Operation::Walk);
    QElapsedTimer lastRequest;
    m_host.onProcessEvents = [&doomed, &lastRequest](FakeHost &host, int) {
        if (host.rows.size() == 3) {
            doomed.kill();
            lastRequest.start();
        }
    };
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 40."));
    QVERIFY(lastRequest.isValid());
    QVERIFY2(lastRequest.elapsed() <= BlockedAtMost + Margin, qPrintable(QString::number(lastRequest.elapsed())));
    // The request out when it died may have had its answer.
    const qsizetype kept = qsizetype(m_host.rows.size());
    QVERIFY2(kept == 3 || kept == 4, qPrintable(QString::number(kept)));
    QCOMPARE(rowOids(m_host.rows), rowOids(twin.rows).mid(0, kept));
    verifyUsableAfterwards();
}

Q_DECLARE_METATYPE(RequestWait)

void TestFaults::streamConnectionClosed_data()
{
    QTest::addColumn<RequestWait>("wait");
    QTest::addColumn<int>("closeAt"); // 0: snmpd killed after the third row; n: the scripted agent closes at request n
    QTest::addColumn<int>("rows");
    for (const RequestWait wait : {RequestWait::Blocking, RequestWait::ProcessEvents}) {
        const char *mode = wait == RequestWait::Blocking ? "blocking" : "processing events";
        QTest::addRow("snmpd killed mid-walk, %s", mode) << wait << 0 << 3;
        QTest::addRow("closed after the first request, %s", mode) << wait << 1 << 0;
        QTest::addRow("closed after the first answer, %s", mode) << wait << -1 << 1;
    }
}

// A stream agent that goes away: Net-SNMP closes the transport, and the
// session handle must neither be freed under its owner nor polled again.
// The request ends at once with its code, whatever the timeouts.
void TestFaults::streamConnectionClosed()
{
    QFETCH(RequestWait, wait);
    QFETCH(int, closeAt);
    QFETCH(int, rows);
    SnmpdAgent doomed;
    ScriptedAgent stream;
    if (closeAt == 0) {
        QVERIFY2(doomed.start(), qPrintable(doomed.log()));
        setInputs(doomed.tcpAddress(), QStringLiteral("all"), Operation::Walk);
        m_host.onProcessEvents = [&doomed](FakeHost &host, int) {
            if (host.rows.size() == 3)
                doomed.kill();
        };
    } else {
        auto count = std::make_shared<int>(0);
        stream.setHandler([table = ScriptedAgent::tableHandler(systemTable()), count, closeAt](const Request &request) {
            if (++*count == closeAt)
                return Response::closeConnection();
            Response response = table(request);
            response.thenClose = closeAt < 0;
            return response;
        });
        QVERIFY(stream.start(ScriptedAgent::Transport::Tcp));
        setInputs(stream.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    }
    m_host.wait = wait;
    m_host.transport.timeOut = 5000;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 10054."));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    // The request out when snmpd died may have had its answer.
    const size_t kept = m_host.rows.size();
    QVERIFY2(kept == size_t(rows) || (closeAt == 0 && kept == size_t(rows) + 1), qPrintable(QString::number(kept)));
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
    verifyUsableAfterwards();
}

void TestFaults::unusableAnswersMidWalk_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("message");
    const QString nonsense = QStringLiteral("SnmpMgrRequest error: 45.");
    // Late or duplicated answers to earlier requests are no answer to this one.
    const QString silence = QStringLiteral("SnmpMgrRequest error: 40.");
    QTest::newRow("garbage") << 0 << nonsense;
    QTest::newRow("truncated to its first half") << 1 << nonsense;
    QTest::newRow("truncated by one byte") << 2 << nonsense;
    QTest::newRow("only the message header") << 3 << nonsense;
    QTest::newRow("a request id never sent") << 4 << nonsense;
    QTest::newRow("answer to the previous request") << 5 << silence;
    QTest::newRow("answer to the previous request once, then silence") << 6 << silence;
    // No request could carry it, so no walk could go on from it.
    QTest::newRow("a name of 129 sub-identifiers") << 7 << nonsense;
}

// Two good answers, then the fault for every later request (retries
// included): the two rows stay and the run ends with its message once the
// retries are used up, never later. Net-SNMP must not take a stale answer for
// the awaited one.
void TestFaults::unusableAnswersMidWalk()
{
    QFETCH(int, fault);
    QFETCH(QString, message);
    auto table = ScriptedAgent::tableHandler(systemTable());
    auto count = std::make_shared<int>(0);
    auto previous = std::make_shared<std::pair<int32_t, Response>>();
    m_scripted.setHandler([=](const Request &request) {
        const Response good = table(request);
        const auto remember = [&] { *previous = {request.requestId, good}; };
        if (++*count <= 2) {
            remember();
            return good;
        }
        const QByteArray datagram = encodeAnswer(request, good);
        switch (fault) {
        case 0:
            return ScriptedAgent::garbageHandler()(request);
        case 1:
            return Response::rawBytes(datagram.left(datagram.size() / 2));
        case 2:
            return Response::rawBytes(datagram.chopped(1));
        case 3:
            return Response::rawBytes(datagram.left(2));
        case 4:
            return ScriptedAgent::wrongIdHandler(table)(request);
        case 7: {
            Response longName = good;
            longName.bindings.front().name.resize(129, 1);
            return longName;
        }
        case 6:
            if (*count > 3)
                return Response::silence();
            [[fallthrough]];
        default: {
            Response stale = previous->second;
            stale.requestId = previous->first;
            return stale;
        }
        }
    });
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    QElapsedTimer clock;
    m_host.onProcessEvents = [&clock](FakeHost &host, int) {
        if (host.rows.size() == 2)
            clock.start();
    };
    QCOMPARE(run(m_host), message);
    QVERIFY(clock.isValid());
    QVERIFY2(clock.elapsed() <= BlockedAtMost + Margin, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rowOids(m_host.rows), (QStringList{".1.3.6.1.2.1.1.1.0", ".1.3.6.1.2.1.1.2.0"}));
    QCOMPARE(*count, 2 + Retries + 1); // every try was answered, none accepted
    verifyUsableAfterwards();
}

// An Octet String as large as one UDP datagram can carry (65,507 bytes of
// payload over IPv4): Net-SNMP receives up to 64 KiB, so it arrives whole.
void TestFaults::largestValueInOneDatagram()
{
    constexpr qsizetype MaxDatagram = 65507;
    const ScriptedAgent::Oid name = ScriptedAgent::oid("1.3.6.1.4.1.99999.1.0");
    Request probe;
    probe.version = 0;
    probe.community = "tarnel";
    probe.requestId = 0x7fffffff; // the longest id encoding
    qsizetype length = MaxDatagram;
    while (length > 0 && encodeAnswer(probe, Response::answer({{name, Value::octets(QByteArray(length, 'x'))}})).size() > MaxDatagram)
        --length;
    QVERIFY(length > 65000);

    for (const char fill : {'x', '\x01'}) {
        const QByteArray value(length, fill);
        m_scripted.setTable({{name, Value::octets(value)}});
        setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.4.1.99999.1.0"), Operation::Get);
        QCOMPARE(run(m_host), QString());
        QCOMPARE(m_host.rows.back().type, std::string("Octet String"));
        // Readable text as it is; any control byte makes the whole value a hex dump.
        QCOMPARE(m_host.rows.back().value.size(), size_t(fill == 'x' ? length : 3 * length));
        QVERIFY(m_host.rows.back().value.starts_with(fill == 'x' ? "xxx" : "01 01 "));
    }
    QCOMPARE(m_host.rows.size(), size_t(2));

    // A larger value does not fit in a datagram at all: the agent cannot send
    // it, and the user sees a timeout rather than a cut value.
    m_scripted.setTable({{name, Value::octets(QByteArray(length + 100, 'x'))}});
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 40."));
    QCOMPARE(m_host.rows.size(), size_t(2));
}

// An agent whose subtree never ends: the walk has no row limit, so Stop is
// the way out. It must end the walk after one more row, and the rows a walk
// has shown must not leave memory behind in the engine.
void TestFaults::endlessWalkStopsAndStaysBounded()
{
    constexpr qint64 WarmUpRows = 2000;
    constexpr qint64 StopAfterRows = 20000;
    m_scripted.setHandler(ScriptedAgent::endlessSubtreeHandler("1.3.6.1.2.1.1.1", Value::octets(QByteArray(200, 'y'))));

    CountingHost host;
    host.setInputs(m_scripted.address(), QStringLiteral("tarnel"), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    host.transport.timeOut = 2000; // a loaded machine must not end this walk by a timeout
    host.transport.retries = 0;
    qint64 rssAtWarmUp = 0;
    qint64 rssAtStop = 0;
    qint64 rowsAtStop = -1;
    ScriptedAgent &agent = m_scripted;
    host.onProcessEvents = [&](FakeHost &, int) {
        if (host.count % 1000 == 0)
            agent.clearRequests(); // the test agent's own log must not grow either
        if (host.count == WarmUpRows)
            rssAtWarmUp = residentBytes();
        if (host.count == StopAfterRows && rowsAtStop < 0) { // Stop processes events itself
            rssAtStop = residentBytes();
            rowsAtStop = host.count;
            host.stop();
        }
    };
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(host), QString());
    qInfo("%lld rows in %lld ms, resident memory %lld KiB after %lld rows, %lld KiB after %lld", host.count,
          clock.elapsed(), rssAtWarmUp / 1024, WarmUpRows, rssAtStop / 1024, StopAfterRows);
    QCOMPARE(rowsAtStop, StopAfterRows);
    QCOMPARE(host.count, StopAfterRows + 1);
    QCOMPARE(host.last.value, std::string(200, 'y'));
    QVERIFY(rssAtWarmUp > 0 && rssAtStop > 0);
    if (AddressSanitizer)
        return; // freed memory sits in quarantine there; leaks are LeakSanitizer's to find
    // 18,000 rows: even 100 bytes kept per row would show as 1.7 MiB.
    QVERIFY2(rssAtStop - rssAtWarmUp < 1024 * 1024,
             qPrintable(QStringLiteral("resident memory grew by %1 KiB").arg((rssAtStop - rssAtWarmUp) / 1024)));
}

// The documented codes, and the window blocked no longer than timeout x (retries + 1).
void TestFaults::unresolvableAndSilentAgents()
{
    // A label starting with "-" is refused by the resolver itself: no query leaves the machine.
    setInputs(QStringLiteral("-nosuchhost"), QStringLiteral("1.3.6.1.2.1.1.1.0"), Operation::Get);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrOpen error: 11001."));
    QVERIFY2(clock.elapsed() <= BlockedAtMost + Margin, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(m_host.agents.items.isEmpty()); // refused before the history

    const quint16 port = freeLoopbackPort(); // nobody listens there
    QVERIFY(port != 0);
    for (const Operation operation : {Operation::Get, Operation::Walk}) {
        setInputs(QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("1.3.6.1.2.1.1"), operation);
        clock.restart();
        QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 40."));
        const qint64 blocked = clock.elapsed();
        QVERIFY2(blocked >= BlockedAtMost - 20 && blocked <= BlockedAtMost + Margin, qPrintable(QString::number(blocked)));
        QVERIFY(m_host.rows.empty());
    }
    verifyUsableAfterwards();
}

// 10,000 OIDs in one Get (more than a datagram holds), then a megabyte of
// them: converted quickly, and refused as one request, before the agent.
void TestFaults::manyOidsInOneGet()
{
    QStringList oids;
    for (int i = 0; i < 10000; ++i)
        oids.append(QStringLiteral("1.3.6.1.2.1.2.2.1.10.%1").arg(i));
    QString megabyte;
    while (megabyte.size() < (1 << 20))
        megabyte += QStringLiteral("1.3.6.1.2.1.1.1.0;");
    for (const QString &text : {oids.join(QLatin1Char(';')), megabyte}) {
        setInputs(m_scripted.address(), text, Operation::Get);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 45."));
        qInfo("%lld characters of OIDs refused after %lld ms", qint64(text.size()), clock.elapsed());
        // Linear work: building the request binding by binding from the list's
        // head took 16 s here for the megabyte.
        QVERIFY2(clock.elapsed() < (AddressSanitizer ? 20000 : 6000), qPrintable(QString::number(clock.elapsed())));
        QVERIFY(m_host.rows.empty());
        QCOMPARE(m_host.oidList.items.value(0), text); // recorded before the request
    }
    QVERIFY(m_scripted.requests().empty());
}

void TestFaults::textsThatAreNoOids_data()
{
    QTest::addColumn<QString>("text");
    // Read as a regular expression, this took seconds; with more "*", hours.
    QTest::newRow("pattern") << QStringLiteral(".34") + QString(150, QLatin1Char('*'));
    QTest::newRow("one letter") << QStringLiteral("x");
    QTest::newRow("part of a name") << QStringLiteral("nosuchname");
    // Net-SNMP read past the end of these, and what they became depended on that.
    QTest::newRow("index quote left open") << QStringLiteral("sysDescr.'abc");
    QTest::newRow("quote left open after numbers") << QStringLiteral("1.3.1.2.\"ab");
    // Net-SNMP wrote these past the end of a 128-entry buffer: 134 entries for
    // the first, and the window crashed on the second.
    const auto implied = [](int count) {
        QStringList numbers(count, QStringLiteral("1"));
        return QStringLiteral("snmpTargetAddrTDomain.") + numbers.join(QLatin1Char('.'));
    };
    QTest::newRow("IMPLIED index of 123 numbers") << implied(123);
    QTest::newRow("IMPLIED index of 2,000 numbers") << implied(2000);
    QString junk;
    for (int i = 0; junk.size() < (1 << 20); ++i)
        junk.append(QChar(u'a' + (uint(i) * 7919u) % 26)).append(i % 9 == 0 ? QStringLiteral(".") : QString());
    QTest::newRow("a megabyte") << junk;
}

// Texts that name no object: refused at once, for every operation, and never
// turned into some other object that happens to match them.
void TestFaults::textsThatAreNoOids()
{
    QFETCH(QString, text);
    for (const Operation operation : {Operation::Get, Operation::GetNext, Operation::Walk}) {
        setInputs(m_scripted.address(), text, operation);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(run(m_host), QStringLiteral("Invalid Oids, '%1', specified.").arg(text));
        QVERIFY2(clock.elapsed() < 1000 * SlowBuild, qPrintable(QString::number(clock.elapsed())));
    }
    QVERIFY(m_scripted.requests().empty());
    QVERIFY(m_host.rows.empty());
}

// Agents return names whose index breaks what their MIB declares: an
// ifIndex of 0 or past its range, a string index whose length runs past the
// name. The walk shows them, and each row's OID text asks for it again.
void TestFaults::namesOutsideTheMibsRanges()
{
    const QStringList odd{QStringLiteral(".1.3.6.1.2.1.2.2.1.10.0"), QStringLiteral(".1.3.6.1.2.1.2.2.1.10.2147483648"),
                          QStringLiteral(".1.3.6.1.6.3.16.1.2.1.3.1.127.1")};
    std::vector<ScriptedAgent::Binding> table;
    for (const QString &name : odd)
        table.push_back({ScriptedAgent::oid(qPrintable(name)), Value::unsignedValue(0x41, 7)});
    m_scripted.setTable(table);

    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1"), Operation::Walk);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host.rows), odd);
    for (const QString &name : odd) {
        setInputs(m_scripted.address(), name, Operation::Get);
        QCOMPARE(run(m_host), QString());
        QCOMPARE(QString::fromStdString(m_host.rows.back().oid), name);
        QCOMPARE(m_host.rows.back().value, std::string("7"));
    }
}

// Nothing the engine does prints the community: not a success, not a
// timeout, not an undecodable answer, not a failed open, not even with a
// Net-SNMP configuration that asks for packet dumps. Nor does it leave files.
void TestFaults::communityStaysPrivate()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString confDir = home.filePath(QStringLiteral("snmpconf"));
    QVERIFY(QDir().mkpath(confDir));
    QFile conf(confDir + QStringLiteral("/snmp.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("dumpPacket yes\ndoDebugging 1\ndebugTokens all\n");
    conf.close();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildMode), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("SNMPCONFPATH"), confDir);
    env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), home.filePath(QStringLiteral("persist")));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    const QByteArray out = child.readAllStandardOutput();
    const QByteArray err = child.readAllStandardError();
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    // The runs did what they should, so there was something to print.
    QCOMPARE(QString::fromUtf8(out).trimmed(),
             QStringLiteral("1 rows, ok|2 rows, SnmpMgrRequest error: 45.|0 rows, SnmpMgrRequest error: 40."
                            "|0 rows, SnmpMgrOpen error: 11001.|0 rows, SnmpMgrRequest error: 40."));
    QVERIFY2(!out.contains(SecretCommunity), out.constData());
    QVERIFY2(!err.contains(SecretCommunity), err.constData());
    QVERIFY2(err.isEmpty(), err.constData());

    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.fileName().endsWith(QLatin1String("/snmp.conf")))
            continue;
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(!file.readAll().contains(SecretCommunity), qPrintable(file.fileName()));
    }
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(ChildMode))
        return runWithSecretCommunity();
    QCoreApplication app(argc, argv);
    TestFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
