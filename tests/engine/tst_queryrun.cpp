// SPDX-License-Identifier: MIT
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/snmp/snmpmgr.h"
#include "tests/engine/fakehost.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/snmpdagent.h"

#include <QProcess>
#include <QTest>

namespace {

// The rows that wait a timeout out keep it short (longer in the sanitizer builds).
constexpr int ShortTimeoutMs = 80 * SlowBuild;

using Value = ScriptedAgent::Value;
using Oid = ScriptedAgent::Oid;

const QString Descr = QStringLiteral("1.3.6.1.2.1.1.1.0");
const QString ObjectId = QStringLiteral("1.3.6.1.2.1.1.2.0");
const QString UpTime = QStringLiteral("1.3.6.1.2.1.1.3.0");

// A small MIB: three system objects, one interface object, one enterprise object.
std::vector<ScriptedAgent::Binding> smallTable()
{
    return {
        {ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"), Value::octets("scripted box")},
        {ScriptedAgent::oid("1.3.6.1.2.1.1.2.0"), Value::objectId(ScriptedAgent::oid("1.3.6.1.4.1.8072.3.2.10"))},
        {ScriptedAgent::oid("1.3.6.1.2.1.1.3.0"), Value::unsignedValue(0x43, 12345678)},
        {ScriptedAgent::oid("1.3.6.1.2.1.2.1.0"), Value::integer(2)},
        {ScriptedAgent::oid("1.3.6.1.4.1.99999.1.0"), Value::counter64(0xFFFFFFFFFFFFFFFFull)},
    };
}

QString dotted(const Oid &ids)
{
    const AsnObjectIdentifier id{ids};
    return QString::fromLatin1(SnmpUtilOidToA(&id));
}

// The small table's answers cut to `most` bindings (0: not cut), as an agent
// short of room cuts them, and tooBig for a GetBulk of more than `largest`.
ScriptedAgent::Handler bulkLimits(size_t most, int largest)
{
    return [inner = ScriptedAgent::tableHandler(smallTable()), most, largest](const ScriptedAgent::Request &request) {
        if (request.pduType == 0xA5 && request.maxRepetitions > largest)
            return ScriptedAgent::Response::answer({}, 1, 0);
        ScriptedAgent::Response response = inner(request);
        if (most > 0 && response.bindings.size() > most)
            response.bindings.resize(most);
        return response;
    };
}

// Stops the run from inside the event processing that follows row `afterRow`
// (0: the processing of step 2, before any request), once.
std::function<void(FakeHost &, int)> stopAfterRow(int afterRow)
{
    auto done = std::make_shared<bool>(false);
    return [afterRow, done](FakeHost &host, int) {
        if (!*done && int(host.rows.size()) == afterRow) {
            *done = true;
            host.stop();
        }
    };
}

} // namespace

class TestQueryRun final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void getOneObjectFromSnmpd();
    void getThreeObjectsInOneRequest_data();
    void getThreeObjectsInOneRequest();
    void getThreeObjectsFromSnmpd();
    void emptyPieceIsRefused_data();
    void emptyPieceIsRefused();
    void getNextAsksForTheSuccessor();
    void semicolonRefusedOutsideGet_data();
    void semicolonRefusedOutsideGet();
    void allIsAnOrdinaryTextOutsideWalk();
    void missingObjectGivesErrorStatus2();
    void otherErrorStatusFails();

    void walkMatchesSnmpwalk_data();
    void walkMatchesSnmpwalk();
    void walkAll_data();
    void walkAll();
    void walkEndsAtTheSubtreeEnd();
    void walkWithoutSuccessorAddsNothing();
    void walkEndsAtNoSuchName();
    void walkStepsInOrder();
    void walkFailingHalfWayKeepsItsRows_data();
    void walkFailingHalfWayKeepsItsRows();
    void bulkWalk_data();
    void bulkWalk();
    void bulkAnswersLongerThanAsked();
    void v2cGetShowsExceptions_data();
    void v2cGetShowsExceptions();
    void addressTypesFetchedOnce_data();
    void addressTypesFetchedOnce();

    void stopGivesExactlyOneMoreRow();
    void stopEndsAnEndlessWalk();
    void stopBeforeTheFirstRequest();

    void blankInputOpensNoSession_data();
    void blankInputOpensNoSession();
    void openFailure();
    void timeoutAfterTheHistoryUpdate();
    void agentGoneIsATimeout();
    void inputsPassedAsTyped();
    void unknownOperationSendsNothing();

private:
    SnmpdAgent m_snmpd;
    ScriptedAgent m_scripted;
    FakeHost m_host;

    void setInputs(const QString &agent, const QString &oids, Operation operation);
    void verifyHistoryHoldsInputs();
    void verifyHistoryUntouched();
    QStringList snmpwalk(const QString &root, bool bulk = false);
};

void TestQueryRun::initTestCase()
{
    SnmpMgrConfigure({NORVANE_TEST_MIBDIR}); // objects no bundled module has
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
    QVERIFY(m_scripted.start());
}

void TestQueryRun::init()
{
    m_host = FakeHost();
    m_scripted.setTable(smallTable());
    m_scripted.clearRequests();
}

// Every path of every test ends with the closing steps done and no session open.
void TestQueryRun::cleanup()
{
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

void TestQueryRun::setInputs(const QString &agent, const QString &oids, Operation operation)
{
    m_host.setInputs(agent, QStringLiteral("tarnel"), oids, operation);
}

void TestQueryRun::verifyHistoryHoldsInputs()
{
    QCOMPARE(m_host.agents.items.value(0), m_host.agents.text);
    QCOMPARE(m_host.communities.items.value(0), m_host.communities.text);
    QCOMPARE(m_host.oidList.items.value(0), m_host.oidList.text);
}

void TestQueryRun::verifyHistoryUntouched()
{
    QVERIFY(m_host.agents.items.isEmpty());
    QVERIFY(m_host.communities.items.isEmpty());
    QVERIFY(m_host.oidList.items.isEmpty());
}

// Net-SNMP's own walk of snmpd, " Counter64" after such a row's OID:
// snmpwalk -v1, or snmpbulkwalk -v2c asking as many repetitions as the run
// does (the endOfMibView line that ends it is no row).
QStringList TestQueryRun::snmpwalk(const QString &root, bool bulk)
{
    QProcess walk;
    const QStringList options = bulk ? QStringList{"-v2c", QStringLiteral("-Cr%1").arg(BulkMaxRepetitions)} : QStringList{"-v1"};
    walk.start(QLatin1String(bulk ? "snmpbulkwalk" : "snmpwalk"),
               options + QStringList{"-On", "-c", "tarnel", m_snmpd.address(), root});
    if (!walk.waitForFinished(60000))
        return {QStringLiteral("snmpwalk did not finish")};
    QStringList oids;
    for (const QString &line : QString::fromUtf8(walk.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype separator = line.indexOf(QLatin1String(" = "));
        if (line.startsWith(QLatin1Char('.')) && separator > 0 && !line.contains(QLatin1String(" = No more variables")))
            oids.append(line.left(separator) + (line.contains(QLatin1String(" = Counter64:")) ? " Counter64" : ""));
    }
    return oids;
}

void TestQueryRun::getOneObjectFromSnmpd()
{
    setInputs(m_snmpd.address(), QStringLiteral("1.3.6.1.2.1.1.6.0"), Operation::Get);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(1));
    const ResultRow &row = m_host.rows[0];
    QCOMPARE(row.oid, std::string(".1.3.6.1.2.1.1.6.0"));
    QCOMPARE(row.name, std::string("SNMPv2-MIB::sysLocation.0"));
    QCOMPARE(row.type, std::string("Octet String"));
    QCOMPARE(row.value, std::string(SnmpdAgent::SysLocation));
    verifyHistoryHoldsInputs();

    // By name, from another MIB module.
    setInputs(m_snmpd.address(), QStringLiteral("IF-MIB::ifNumber.0"), Operation::Get);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(2));
    QCOMPARE(m_host.rows[1].name, std::string("IF-MIB::ifNumber.0"));
    QCOMPARE(m_host.rows[1].type, std::string("Integer32"));
}

void TestQueryRun::getThreeObjectsInOneRequest_data()
{
    QTest::addColumn<QString>("oids");
    QTest::newRow("semicolons") << QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0");
    QTest::newRow("trailing semicolon") << QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0;");
    QTest::newRow("line breaks split too") << QStringLiteral("sysDescr.0\r\n1.3.6.1.2.1.1.2.0\r1.3.6.1.2.1.1.3.0;");
    QTest::newRow("break then semicolon") << QStringLiteral("sysDescr.0;1.3.6.1.2.1.1.2.0\n1.3.6.1.2.1.1.3.0");
}

void TestQueryRun::getThreeObjectsInOneRequest()
{
    QFETCH(QString, oids);
    setInputs(m_scripted.address(), oids, Operation::Get);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), (QStringList{"." + Descr, "." + ObjectId, "." + UpTime}));
    QCOMPARE(m_host.rows[0].value, std::string("scripted box"));
    QCOMPARE(m_host.rows[1].type, std::string("Object Identifier"));
    QCOMPARE(m_host.rows[2].value, std::string("12345678 (1 days, 10 hours, 17 minutes, 36 seconds)"));

    const auto requests = m_scripted.requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(requests[0].pduType, uint8_t(0xA0));
    QCOMPARE(requests[0].names.size(), size_t(3));
    QCOMPARE(dotted(requests[0].names[2]), UpTime);
    QCOMPARE(m_host.processCount, 1); // a Get processes no events while it waits
}

void TestQueryRun::getThreeObjectsFromSnmpd()
{
    setInputs(m_snmpd.address(), QStringLiteral(".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.2.0;.1.3.6.1.2.1.1.3.0"), Operation::Get);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), (QStringList{"." + Descr, "." + ObjectId, "." + UpTime}));
    QCOMPARE(m_host.rows[0].type, std::string("Octet String"));
    QCOMPARE(m_host.rows[1].type, std::string("Object Identifier"));
    QCOMPARE(m_host.rows[2].type, std::string("TimeTicks"));
    QCOMPARE(m_host.rows[2].name, std::string("SNMPv2-MIB::sysUpTime.0"));
}

void TestQueryRun::emptyPieceIsRefused_data()
{
    QTest::addColumn<QString>("oids");
    QTest::addColumn<QString>("message");
    QTest::newRow("two semicolons") << QStringLiteral("1.3.6.1.2.1.1.1.0;;1.3.6.1.2.1.1.3.0")
                                    << QStringLiteral("Invalid Oids, '', specified.");
    QTest::newRow("semicolon alone") << QStringLiteral(";") << QStringLiteral("Invalid Oids, '', specified.");
    QTest::newRow("empty line") << QStringLiteral("1.3.6.1.2.1.1.1.0\n\n;") << QStringLiteral("Invalid Oids, '', specified.");
    QTest::newRow("CR before semicolon is a break of its own")
        << QStringLiteral("1.3.6.1.2.1.1.1.0\r;1.3.6.1.2.1.1.3.0") << QStringLiteral("Invalid Oids, '', specified.");
    QTest::newRow("bad second piece") << QStringLiteral("1.3.6.1.2.1.1.1.0;1.3..6;1.3.6.1.2.1.1.3.0")
                                      << QStringLiteral("Invalid Oids, '1.3..6', specified.");
    QTest::newRow("pieces are not trimmed") << QStringLiteral("1.3.6.1.2.1.1.1.0; 1.3.6.1.2.1.1.3.0")
                                            << QStringLiteral("Invalid Oids, ' 1.3.6.1.2.1.1.3.0', specified.");
    QTest::newRow("break without semicolon converts whole")
        << QStringLiteral("1.3.6.1.2.1.1.1.0\n1.3.6.1.2.1.1.3.0")
        << QStringLiteral("Invalid Oids, '1.3.6.1.2.1.1.1.0\n1.3.6.1.2.1.1.3.0', specified.");
}

void TestQueryRun::emptyPieceIsRefused()
{
    QFETCH(QString, oids);
    QFETCH(QString, message);
    setInputs(m_scripted.address(), oids, Operation::Get);
    QCOMPARE(run(m_host), message);
    QVERIFY(m_host.rows.empty());
    QVERIFY(m_scripted.requests().empty());
    verifyHistoryUntouched(); // conversion comes before the history
}

void TestQueryRun::getNextAsksForTheSuccessor()
{
    setInputs(m_scripted.address(), Descr, Operation::GetNext);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), QStringList{"." + ObjectId});
    QCOMPARE(m_host.rows[0].value, std::string(".1.3.6.1.4.1.8072.3.2.10"));
    const auto requests = m_scripted.requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(requests[0].pduType, uint8_t(0xA1));
    QCOMPARE(dotted(requests[0].names[0]), Descr);
}

void TestQueryRun::semicolonRefusedOutsideGet_data()
{
    QTest::addColumn<int>("operation");
    QTest::newRow("GetNext") << int(Operation::GetNext);
    QTest::newRow("Walk") << int(Operation::Walk);
}

void TestQueryRun::semicolonRefusedOutsideGet()
{
    QFETCH(int, operation);
    setInputs(m_scripted.address(), Descr + ";" + UpTime, Operation(operation));
    QCOMPARE(run(m_host), QStringLiteral("Invalid Oids, '%1;%2', specified.").arg(Descr, UpTime));
    QVERIFY(m_scripted.requests().empty());
}

void TestQueryRun::allIsAnOrdinaryTextOutsideWalk()
{
    // Whatever Net-SNMP makes of "all" as an OID text, a Get asks for exactly that.
    AsnObjectIdentifier converted;
    const bool converts = SnmpMgrStrToOid("all", &converted);
    setInputs(m_scripted.address(), QStringLiteral("all"), Operation::Get);
    const QString message = run(m_host);
    if (!converts) {
        QCOMPARE(message, QStringLiteral("Invalid Oids, 'all', specified."));
        return;
    }
    const auto requests = m_scripted.requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(requests[0].names.size(), size_t(1));
    QCOMPARE(requests[0].names[0], converted.ids);
    QVERIFY(requests[0].names[0] != Oid{1});
}

void TestQueryRun::missingObjectGivesErrorStatus2()
{
    setInputs(m_snmpd.address(), QStringLiteral("1.3.6.1.2.1.1.99.0"), Operation::Get);
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest: ErrorStatus = 2, ErrorIndex = 1."));
    QVERIFY(m_host.rows.empty());
    verifyHistoryHoldsInputs();
}

// With or without the bindings (some SNMPv1 agents send none with an error).
void TestQueryRun::otherErrorStatusFails()
{
    for (const auto &[version, echoed] : {std::pair{SnmpVersion::V1, true}, {SnmpVersion::V2c, true},
                                          {SnmpVersion::V1, false}, {SnmpVersion::V2c, false}}) {
        m_scripted.setHandler(echoed ? ScriptedAgent::errorStatusHandler(5, 3)
                                     : [](const ScriptedAgent::Request &) { return ScriptedAgent::Response::answer({}, 5, 3); });
        m_host.transport.version = version;
        for (const Operation operation : {Operation::Get, Operation::GetNext, Operation::Walk}) {
            setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), operation);
            QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest: ErrorStatus = 5, ErrorIndex = 3."));
            QVERIFY(m_host.rows.empty());
        }
    }
    QCOMPARE(m_scripted.requests().back().pduType, uint8_t(0xA5));
}

void TestQueryRun::walkMatchesSnmpwalk_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<bool>("bulk");
    QTest::newRow("system") << QStringLiteral("1.3.6.1.2.1.1") << false;
    QTest::newRow("interfaces") << QStringLiteral(".1.3.6.1.2.1.2") << false;
    QTest::newRow("snmp") << QStringLiteral("1.3.6.1.2.1.11") << false;
    QTest::newRow("system, v2c") << QStringLiteral("1.3.6.1.2.1.1") << true;
    QTest::newRow("ifMIB with its Counter64 columns, v2c") << QStringLiteral("1.3.6.1.2.1.31") << true;
    QTest::newRow("to the end of the agent's view, v2c") << QStringLiteral("1.3.6.1.6.3.16") << true;
}

void TestQueryRun::walkMatchesSnmpwalk()
{
    QFETCH(QString, root);
    QFETCH(bool, bulk);
    setInputs(m_snmpd.address(), root, Operation::Walk);
    m_host.transport.version = bulk ? SnmpVersion::V2c : SnmpVersion::V1;
    QCOMPARE(run(m_host), QString());
    const QStringList expected = snmpwalk(root, bulk);
    QVERIFY(expected.size() > 2);
    QStringList rows;
    for (const ResultRow &row : m_host.rows)
        rows.append(QString::fromStdString(row.oid + (row.type == "Counter64" ? " Counter64" : "")));
    QCOMPARE(rows, expected);
    QCOMPARE(m_host.processCount, 1 + int(m_host.rows.size())); // events after every row
}

void TestQueryRun::walkAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ALL") << QStringLiteral("ALL");
    QTest::newRow("All") << QStringLiteral("All");
    QTest::newRow("all") << QStringLiteral("all");
}

void TestQueryRun::walkAll()
{
    QFETCH(QString, text);
    setInputs(m_scripted.address(), text, Operation::Walk);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), (QStringList{"." + Descr, "." + ObjectId, "." + UpTime, QStringLiteral(".1.3.6.1.2.1.2.1.0"),
                                           QStringLiteral(".1.3.6.1.4.1.99999.1.0")}));
    QCOMPARE(m_host.rows[4].value, std::string("18446744073709551615"));
    const auto requests = m_scripted.requests();
    QCOMPARE(requests.size(), size_t(6)); // the last one meets noSuchName
    // The conversion of "1": Net-SNMP puts a one-sub-identifier OID on the
    // wire as the single octet 0x01, which reads back as 0.1.
    QCOMPARE(requests[0].names[0], (Oid{0, 1}));
    QCOMPARE(m_host.oidList.items.value(0), text); // the history keeps what was typed
}

void TestQueryRun::walkEndsAtTheSubtreeEnd()
{
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), (QStringList{"." + Descr, "." + ObjectId, "." + UpTime}));
    QCOMPARE(m_scripted.requests().size(), size_t(4)); // the fourth answer lies outside
}

void TestQueryRun::walkWithoutSuccessorAddsNothing()
{
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1.3.0"), Operation::Walk);
    QCOMPARE(run(m_host), QString());
    QVERIFY(m_host.rows.empty());
    QCOMPARE(m_host.processCount, 1);
    QVERIFY(m_host.end == QueryEnd::EmptySubtree); // the window says "No objects under this OID."
}

void TestQueryRun::walkEndsAtNoSuchName()
{
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.4.1.99999.1.0"), Operation::Walk);
    QCOMPARE(run(m_host), QString()); // the first answer is noSuchName
    QVERIFY(m_host.rows.empty());
    QVERIFY(m_host.end == QueryEnd::EmptySubtree);

    // The agent's MIB ends inside the subtree.
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.4.1"), Operation::Walk);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), QStringList{QStringLiteral(".1.3.6.1.4.1.99999.1.0")});
    QVERIFY(m_host.end == QueryEnd::Completed);
}

// The status is looked at after the subtree: an error answer from outside
// the root ends the walk quietly.
void TestQueryRun::walkStepsInOrder()
{
    m_scripted.setHandler([](const ScriptedAgent::Request &) {
        return ScriptedAgent::Response::answer({{ScriptedAgent::oid("1.3.6.1.2.1.2.1.0"), Value::null()}}, 5, 1);
    });
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    QCOMPARE(run(m_host), QString());
    QVERIFY(m_host.rows.empty());
}

// Two good answers of one row, then the third goes wrong: the rows so far
// stay and the walk ends with its message, after exactly three requests.
// Names that do not increase would keep a walk going for ever.
void TestQueryRun::walkFailingHalfWayKeepsItsRows_data()
{
    QTest::addColumn<bool>("v2c");
    QTest::addColumn<QStringList>("third"); // the third answer's names; empty: silence, "5": error status 5
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rows");
    const QString sysPrefix = QStringLiteral("1.3.6.1.2.1.1.2");
    const auto notIncreasing = [](const QString &next, const QString &last) {
        return QStringLiteral("OID not increasing: '.%1' after '.%2'.").arg(next, last);
    };
    QTest::newRow("error status") << false << QStringList{"5"} << "SnmpMgrRequest: ErrorStatus = 5, ErrorIndex = 1." << 2;
    QTest::newRow("timeout") << false << QStringList() << "SnmpMgrRequest error: 40." << 2;
    for (const bool v2c : {false, true}) {
        const char *version = v2c ? "SNMPv2c" : "SNMPv1";
        QTest::addRow("%s: the same name again", version) << v2c << QStringList{ObjectId} << notIncreasing(ObjectId, ObjectId) << 2;
        QTest::addRow("%s: a smaller name", version) << v2c << QStringList{Descr} << notIncreasing(Descr, ObjectId) << 2;
        QTest::addRow("%s: the last name's prefix", version) << v2c << QStringList{sysPrefix}
                                                            << notIncreasing(sysPrefix, ObjectId) << 2;
    }
    QTest::newRow("SNMPv2c: backwards inside an answer") << true << QStringList{UpTime, ObjectId}
                                                         << notIncreasing(ObjectId, UpTime) << 3;
}

void TestQueryRun::walkFailingHalfWayKeepsItsRows()
{
    QFETCH(bool, v2c);
    QFETCH(QStringList, third);
    QFETCH(QString, message);
    QFETCH(int, rows);
    auto count = std::make_shared<int>(0);
    m_scripted.setHandler([good = bulkLimits(1, 50), count, third](const ScriptedAgent::Request &request) {
        if (++*count < 3)
            return good(request);
        if (third.isEmpty())
            return ScriptedAgent::Response::silence();
        if (third == QStringList{"5"})
            return ScriptedAgent::Response::error(request, 5, 1);
        std::vector<ScriptedAgent::Binding> bindings;
        for (const QString &name : third)
            bindings.push_back({ScriptedAgent::oid(qPrintable(name)), Value::integer(1)});
        return ScriptedAgent::Response::answer(std::move(bindings));
    });
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    m_host.transport.version = v2c ? SnmpVersion::V2c : SnmpVersion::V1;
    m_host.transport.timeOut = ShortTimeoutMs;
    QCOMPARE(run(m_host), message);
    QCOMPARE(rowOids(m_host), (QStringList{"." + Descr, "." + ObjectId, "." + UpTime}.mid(0, rows)));
    QCOMPARE(*count, 3);
}

// GetBulk answers over the small table: each request goes on from the last
// row before; rows past endOfMibView or the subtree are dropped, as are those
// after the one more row that follows Stop; tooBig halves the repetitions.
void TestQueryRun::bulkWalk_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<int>("most");      // bindings an answer holds at most (0: all asked for)
    QTest::addColumn<int>("largest");   // repetitions the agent has room for
    QTest::addColumn<int>("stopAfter"); // -1: no Stop
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("asked"); // each request's max-repetitions
    const QString enterprise = QStringLiteral(".1.3.6.1.4.1.99999.1.0");
    const QStringList system{"." + Descr, "." + ObjectId, "." + UpTime};
    const QStringList all = system + QStringList{".1.3.6.1.2.1.2.1.0", enterprise};
    const QString sys = QStringLiteral("1.3.6.1.2.1.1");
    QTest::newRow("subtree left inside an answer") << sys << 0 << 50 << -1 << QString() << system << QList<int>{50};
    QTest::newRow("subtree left at an answer's start") << sys << 3 << 50 << -1 << QString() << system << QList<int>{50, 50};
    QTest::newRow("answers of one row") << sys << 1 << 50 << -1 << QString() << system << QList<int>{50, 50, 50, 50};
    QTest::newRow("endOfMibView inside the subtree") << "1.3.6.1.4.1" << 0 << 50 << -1 << QString() << QStringList{enterprise}
                                                     << QList<int>{50};
    QTest::newRow("endOfMibView first") << enterprise << 0 << 50 << -1 << QString() << QStringList() << QList<int>{50};
    QTest::newRow("all") << "all" << 2 << 50 << -1 << QString() << all << QList<int>{50, 50, 50};
    QTest::newRow("Stop inside an answer") << "all" << 0 << 50 << 1 << QString() << all.mid(0, 2) << QList<int>{50};
    QTest::newRow("Stop at an answer's end") << "all" << 2 << 50 << 2 << QString() << all.mid(0, 3) << QList<int>{50, 50};
    QTest::newRow("Stop before the first request") << "all" << 0 << 50 << 0 << QString() << all.mid(0, 1) << QList<int>{50};
    QTest::newRow("tooBig halves, for good") << "all" << 2 << 10 << -1 << QString() << all << QList<int>{50, 25, 12, 6, 6, 6};
    QTest::newRow("tooBig for one") << "all" << 0 << 0 << -1 << "SnmpMgrRequest: ErrorStatus = 1, ErrorIndex = 0."
                                    << QStringList() << QList<int>{50, 25, 12, 6, 3, 1};
}

void TestQueryRun::bulkWalk()
{
    QFETCH(QString, root);
    QFETCH(int, most);
    QFETCH(int, largest);
    QFETCH(int, stopAfter);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, asked);
    m_scripted.setHandler(bulkLimits(size_t(most), largest));
    setInputs(m_scripted.address(), root, Operation::Walk);
    m_host.transport.version = SnmpVersion::V2c;
    if (stopAfter >= 0)
        m_host.onProcessEvents = stopAfterRow(stopAfter);
    QTEST(run(m_host), "message");
    QCOMPARE(rowOids(m_host), rows);
    QCOMPARE(m_host.end == QueryEnd::EmptySubtree, rows.isEmpty() && m_host.end);
    QList<int> sent;
    for (const ScriptedAgent::Request &request : m_scripted.requests()) {
        QVERIFY(request.pduType == 0xA5 && request.version == 1 && request.nonRepeaters == 0);
        sent.append(request.maxRepetitions);
    }
    QCOMPARE(sent, asked);
    if (most > 0 && largest == 50 && sent.size() > 1)
        QCOMPARE("." + dotted(m_scripted.requests()[1].names[0]), rows.value(most - 1));
}

// An agent that answers each GetBulk with three times the bindings asked
// for: the walk takes them all, in order, and goes on from the last.
void TestQueryRun::bulkAnswersLongerThanAsked()
{
    std::vector<ScriptedAgent::Binding> table;
    QStringList expected;
    for (int i = 1; i <= 400; ++i) {
        expected.append(QStringLiteral(".1.3.6.1.4.1.99999.5.%1").arg(i));
        table.push_back({ScriptedAgent::oid(qPrintable(expected.back())), Value::integer(i)});
    }
    m_scripted.setHandler([inner = ScriptedAgent::tableHandler(table)](const ScriptedAgent::Request &request) {
        ScriptedAgent::Request more = request;
        more.maxRepetitions *= 3;
        return inner(more);
    });
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.4.1.99999.5"), Operation::Walk);
    m_host.transport.version = SnmpVersion::V2c;
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), expected);
    QStringList wentOnFrom;
    for (const ScriptedAgent::Request &request : m_scripted.requests())
        wentOnFrom.append("." + dotted(request.names[0]));
    QCOMPARE(wentOnFrom, (QStringList{".1.3.6.1.4.1.99999.5", expected[149], expected[299]}));
}

// Exceptions are rows, not failures; Counter64 values whole.
void TestQueryRun::v2cGetShowsExceptions_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("oid");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value"); // null: not compared
    QTest::newRow("existing object") << int(Operation::Get) << "1.3.6.1.2.1.1.6.0" << "Octet String"
                                     << QString::fromLatin1(SnmpdAgent::SysLocation);
    QTest::newRow("missing object") << int(Operation::Get) << "1.3.6.1.2.1.1.99.0" << "noSuchObject" << "";
    QTest::newRow("missing instance") << int(Operation::Get) << "1.3.6.1.2.1.1.6.1" << "noSuchInstance" << "";
    QTest::newRow("past the end") << int(Operation::GetNext) << "1.3.6.1.6.3.99999" << "endOfMibView" << "";
    QTest::newRow("Counter64") << int(Operation::Get) << "IF-MIB::ifHCInOctets.1" << "Counter64" << QString();
}

void TestQueryRun::v2cGetShowsExceptions()
{
    QFETCH(int, operation);
    QFETCH(QString, oid);
    QFETCH(QString, type);
    QFETCH(QString, value);
    setInputs(m_snmpd.address(), oid, Operation(operation));
    m_host.transport.version = SnmpVersion::V2c;
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(1));
    QCOMPARE(QString::fromStdString(m_host.rows[0].type), type);
    if (!value.isNull())
        QCOMPARE(QString::fromStdString(m_host.rows[0].value), value);
    verifyHistoryHoldsInputs();
}

// An InetAddress row is read by the InetAddressType of its table row: the
// run asks for those its rows lack in one Get after the operation.
void TestQueryRun::addressTypesFetchedOnce_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("oids");
    QTest::addColumn<QStringList>("fetched"); // the names of the last Get; none: no such Get
    const QString peer = QStringLiteral("1.3.6.1.4.1.32473.26.6.1.");
    QTest::newRow("Get of an address") << int(Operation::Get) << peer + "3.1" << QStringList{peer + "2.1"};
    QTest::newRow("Get of the address and its type") << int(Operation::Get) << peer + "3.1;" + peer + "2.1" << QStringList();
    QTest::newRow("walk of the addresses") << int(Operation::Walk) << peer + "3" << QStringList{peer + "2.1", peer + "2.2"};
    QTest::newRow("walk of the table, types first") << int(Operation::Walk) << peer.chopped(1) << QStringList();
}

void TestQueryRun::addressTypesFetchedOnce()
{
    QFETCH(int, operation);
    QFETCH(QString, oids);
    QFETCH(QStringList, fetched);
    m_scripted.setTable({{ScriptedAgent::oid("1.3.6.1.4.1.32473.26.6.1.2.1"), Value::integer(16)},
                         {ScriptedAgent::oid("1.3.6.1.4.1.32473.26.6.1.2.2"), Value::integer(2)},
                         {ScriptedAgent::oid("1.3.6.1.4.1.32473.26.6.1.3.1"), Value::octets("ns1.example.org.")},
                         {ScriptedAgent::oid("1.3.6.1.4.1.32473.26.6.1.3.2"), Value::octets(QByteArray(16, '\x01'))}});
    setInputs(m_scripted.address(), oids, Operation(operation));
    QCOMPARE(run(m_host), QString());
    const ScriptedAgent::Request last = m_scripted.requests().back();
    QStringList asked; // by the last request, when it is a Get after the operation's
    for (size_t i = 0; i < last.names.size() && last.pduType == 0xA0 && m_scripted.requests().size() > 1; ++i)
        asked << dotted(last.names[i]);
    QCOMPARE(asked, fetched);
    QStringList companions; // handed to the sink, each an InetAddressType's
    for (const ResultRow &row : m_host.companions)
        companions << QString::fromStdString(row.oid).mid(1) + (row.role == RowRole::AddressType ? "" : " (no type)");
    QCOMPARE(companions, fetched);
}

void TestQueryRun::stopGivesExactlyOneMoreRow()
{
    setInputs(m_snmpd.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    m_host.onProcessEvents = stopAfterRow(2);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(3));
    QCOMPARE(rowOids(m_host), snmpwalk(QStringLiteral("1.3.6.1.2.1.1")).mid(0, 3));
}

// An agent whose subtree never ends: the walk has no row limit, Stop ends it.
void TestQueryRun::stopEndsAnEndlessWalk()
{
    m_scripted.setHandler(ScriptedAgent::endlessSubtreeHandler("1.3.6.1.2.1.1.1", Value::octets("again")));
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    m_host.onProcessEvents = stopAfterRow(50);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(51));
    QCOMPARE(m_scripted.requests().size(), size_t(51));

    // "all" is not bounded by any subtree either.
    m_host.rows.clear();
    setInputs(m_scripted.address(), QStringLiteral("all"), Operation::Walk);
    m_host.onProcessEvents = stopAfterRow(7);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(8));
}

void TestQueryRun::stopBeforeTheFirstRequest()
{
    setInputs(m_scripted.address(), QStringLiteral("1.3.6.1.2.1.1"), Operation::Walk);
    m_host.onProcessEvents = stopAfterRow(0);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(rowOids(m_host), QStringList{"." + Descr});

    // A Get is not affected by it.
    m_host = FakeHost();
    setInputs(m_scripted.address(), Descr + ";" + ObjectId + ";" + UpTime, Operation::Get);
    m_host.onProcessEvents = stopAfterRow(0);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(3));
}

void TestQueryRun::blankInputOpensNoSession_data()
{
    QTest::addColumn<QString>("agent");
    QTest::addColumn<QString>("community");
    QTest::addColumn<QString>("oids");
    // Where the agent is not blank it is one that cannot be opened, so a
    // session attempt would show as "SnmpMgrOpen error".
    const QString unopenable = QStringLiteral("udp:[::1");
    QTest::newRow("empty agent") << QString() << "tarnel" << Descr;
    QTest::newRow("blank agent") << "   " << "tarnel" << Descr;
    QTest::newRow("control characters") << "\t\r\n" << "tarnel" << Descr;
    QTest::newRow("blank community") << unopenable << " " << Descr;
    QTest::newRow("empty oid") << unopenable << "tarnel" << QString();
    QTest::newRow("control oid") << unopenable << "tarnel" << QStringLiteral("\x01 \x1f\x7f");
}

void TestQueryRun::blankInputOpensNoSession()
{
    QFETCH(QString, agent);
    QFETCH(QString, community);
    QFETCH(QString, oids);
    m_host.setInputs(agent, community, oids, Operation::Walk);
    QCOMPARE(run(m_host), QStringLiteral("Input parameters (Agent, Community, Oid) cannot be empty."));
    QVERIFY(m_host.rows.empty());
    verifyHistoryUntouched();
}

void TestQueryRun::openFailure()
{
    setInputs(QStringLiteral("udp:[::1"), Descr, Operation::Get);
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrOpen error: 87."));
    verifyHistoryUntouched();
}

void TestQueryRun::timeoutAfterTheHistoryUpdate()
{
    m_scripted.setHandler(ScriptedAgent::silentHandler());
    setInputs(m_scripted.address(), Descr, Operation::Get);
    m_host.transport.timeOut = ShortTimeoutMs;
    m_host.transport.retries = 1;
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 40."));
    QVERIFY(m_host.rows.empty());
    verifyHistoryHoldsInputs();
    QCOMPARE(m_scripted.requests().size(), size_t(2)); // the retry count reached the session
}

void TestQueryRun::agentGoneIsATimeout()
{
    SnmpdAgent doomed;
    QVERIFY2(doomed.start(), qPrintable(doomed.log()));
    setInputs(doomed.address(), UpTime, Operation::Get);
    QCOMPARE(run(m_host), QString());
    QCOMPARE(m_host.rows.size(), size_t(1));

    doomed.kill();
    m_host.transport.timeOut = ShortTimeoutMs;
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrRequest error: 40."));
    QCOMPARE(m_host.rows.size(), size_t(1));
}

void TestQueryRun::inputsPassedAsTyped()
{
    // The community goes out untrimmed, in UTF-8.
    m_host.setInputs(m_scripted.address(), QStringLiteral(" Tarnel\u00e9"), Descr, Operation::Get);
    QCOMPARE(run(m_host), QString());
    const auto requests = m_scripted.requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(requests[0].community, QByteArray(" Tarnel\xc3\xa9"));
    QCOMPARE(m_host.communities.items.value(0), QStringLiteral(" Tarnel\u00e9"));

    // So does the agent, and Net-SNMP has no peer name with a blank in front.
    m_host = FakeHost();
    setInputs(" " + m_scripted.address(), Descr, Operation::Get);
    QCOMPARE(run(m_host), QStringLiteral("SnmpMgrOpen error: 87."));
}

void TestQueryRun::unknownOperationSendsNothing()
{
    setInputs(m_scripted.address(), Descr, Operation(4));
    QCOMPARE(run(m_host), QString());
    QVERIFY(m_host.rows.empty());
    QVERIFY(m_scripted.requests().empty());
    verifyHistoryHoldsInputs();
}

QTEST_GUILESS_MAIN(TestQueryRun)
#include "tst_queryrun.moc"
