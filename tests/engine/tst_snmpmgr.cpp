// SPDX-License-Identifier: MIT
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/query/rowrender.h"
#include "engine/snmp/snmpmgr.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// How long a request waits on after an answer it cannot use: the timeout.
constexpr int UnusableWaitMs = 80 * SlowBuild;

using Oid = ScriptedAgent::Oid;
using Value = ScriptedAgent::Value;

AsnObjectIdentifier ids(const char *dotted)
{
    return AsnObjectIdentifier{ber::parseOid(dotted)};
}

QString nameOf(const char *dotted)
{
    const AsnObjectIdentifier id = ids(dotted);
    char *text = nullptr;
    if (!SnmpMgrOidToStr(&id, &text))
        return QStringLiteral("<failed>");
    const SnmpText owned(text);
    return QString::fromUtf8(owned.get());
}

// The agent's answer to `request`, built octet by octet: version, PDU type
// and the bindings' TLVs as given.
QByteArray answerTo(const ScriptedAgent::Request &request, const QByteArray &bindings, int version = 0,
                    uint8_t pduType = 0xA2)
{
    const QByteArray pdu = ber::encodeTlv(0x02, ber::integerContent(request.requestId))
        + ber::encodeTlv(0x02, QByteArray(1, '\0')) + ber::encodeTlv(0x02, QByteArray(1, '\0'))
        + ber::encodeTlv(0x30, bindings);
    return ber::encodeTlv(0x30, ber::encodeTlv(0x02, ber::integerContent(version))
                                    + ber::encodeTlv(0x04, request.community) + ber::encodeTlv(pduType, pdu));
}

QByteArray bindingTlv(const QByteArray &nameContent, uint8_t tag, const QByteArray &content)
{
    return ber::encodeTlv(0x30, ber::encodeTlv(0x06, nameContent) + ber::encodeTlv(tag, content));
}

SnmpVarBindList request(std::initializer_list<const char *> names)
{
    SnmpVarBindList list;
    for (const char *name : names)
        list.list.push_back(SnmpVarBind{ids(name), AsnAny{}});
    return list;
}

} // namespace

Q_DECLARE_METATYPE(RequestWait)

class TestSnmpMgr final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void errorTablesAreTheReferencePage();

    void textToOid_data();
    void textToOid();
    void textRefused_data();
    void textRefused();
    void symbolicNames_data();
    void symbolicNames();
    void namesAsNetSnmpToolsPrint();
    void mibFolderAddedLater();
    void oidUtilities();
    void memoryAndListFree();

    void openFailures_data();
    void openFailures();
    void openAndCloseCounted();
    void invalidCalls();

    void getAndGetNextOverTheWire();
    void everyTagDecoded_data();
    void everyTagDecoded();
    void listOverwrittenInPlace();
    void errorStatusReported();
    void timeoutIs40_data();
    void timeoutIs40();
    void unusableAnswersAre45_data();
    void unusableAnswersAre45();
    void bindingCountMismatchIs45_data();
    void bindingCountMismatchIs45();

private:
    ScriptedAgent m_agent;
    SnmpMgrSession m_session;

    void openSession(int timeoutMs = 300, int retries = 0, SnmpVersion version = SnmpVersion::V1);
};

void TestSnmpMgr::initTestCase()
{
    QVERIFY(m_agent.start());
}

void TestSnmpMgr::cleanup()
{
    m_session.reset();
    m_agent.setTable({});
    m_agent.clearRequests();
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

void TestSnmpMgr::openSession(int timeoutMs, int retries, SnmpVersion version)
{
    m_session.reset(SnmpMgrOpen(m_agent.address().toStdString(), "tarnel", timeoutMs, retries, version));
    QVERIFY(m_session);
}

void TestSnmpMgr::textToOid_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dotted");
    QTest::newRow("numbers") << "1.3.6.1.2.1.1.1.0" << "1.3.6.1.2.1.1.1.0";
    QTest::newRow("leading dot") << ".1.3.6.1.2.1.1.1.0" << "1.3.6.1.2.1.1.1.0";
    QTest::newRow("the walk-all root") << "1" << "1";
    QTest::newRow("name") << "sysDescr.0" << "1.3.6.1.2.1.1.1.0";
    QTest::newRow("module and name") << "SNMPv2-MIB::sysDescr.0" << "1.3.6.1.2.1.1.1.0";
    QTest::newRow("IF-MIB name") << "ifNumber.0" << "1.3.6.1.2.1.2.1.0";
    QTest::newRow("largest sub-identifier") << "1.3.6.1.4.1.4294967295" << "1.3.6.1.4.1.4294967295";
    QTest::newRow("leading zero is no octal") << "1.3.6.1.2.1.1.010.0" << "1.3.6.1.2.1.1.10.0";
    QTest::newRow("08 is eight") << "01.3.6.1.4.1.08" << "1.3.6.1.4.1.8";
    QTest::newRow("name with zeros in its index") << "sysDescr.00" << "1.3.6.1.2.1.1.1.0";
    QTest::newRow("zeros in a string index stay") << "vacmGroupName.3.\"010\"" << "1.3.6.1.6.3.16.1.2.1.3.3.3.48.49.48";
}

void TestSnmpMgr::textToOid()
{
    QFETCH(QString, text);
    QFETCH(QString, dotted);
    AsnObjectIdentifier id;
    QVERIFY(SnmpMgrStrToOid(text.toStdString(), &id));
    QCOMPARE(QString::fromLatin1(SnmpUtilOidToA(&id)), dotted);
}

void TestSnmpMgr::textRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("semicolon alone") << QByteArray(";");
    QTest::newRow("semicolon inside") << QByteArray("1.3.6;1");
    QTest::newRow("trailing semicolon") << QByteArray("1.3.6.1.2.1.1.1.0;");
    QTest::newRow("named with semicolon") << QByteArray("sysDescr.0;sysContact.0");
    QTest::newRow("unknown module") << QByteArray("NO-SUCH-MIB::sysDescr.0");
    QTest::newRow("sub-identifier past 32 bits") << QByteArray("1.3.6.1.4.1.4294967296");
    QTest::newRow("embedded NUL") << QByteArray("1.3.6\0.1", 8);
    QTest::newRow("hexadecimal") << QByteArray("1.3.6.1.4.1.0x10");
    QTest::newRow("hexadecimal, capital X") << QByteArray("1.3.6.1.4.1.0X10");
}

void TestSnmpMgr::textRefused()
{
    QFETCH(QByteArray, text);
    AsnObjectIdentifier id{{7, 7}};
    QVERIFY(!SnmpMgrStrToOid(text.toStdString(), &id));
    QCOMPARE(id.ids, (std::vector<uint32_t>{7, 7})); // untouched on failure
}

void TestSnmpMgr::symbolicNames_data()
{
    QTest::addColumn<QByteArray>("dotted");
    QTest::addColumn<QString>("name");
    QTest::newRow("sysDescr.0") << QByteArray("1.3.6.1.2.1.1.1.0") << "SNMPv2-MIB::sysDescr.0";
    QTest::newRow("ifNumber.0") << QByteArray("1.3.6.1.2.1.2.1.0") << "IF-MIB::ifNumber.0";
    QTest::newRow("snmpInPkts.0") << QByteArray("1.3.6.1.2.1.11.1.0") << "SNMPv2-MIB::snmpInPkts.0";
    QTest::newRow("ifDescr.1") << QByteArray("1.3.6.1.2.1.2.2.1.2.1") << "IF-MIB::ifDescr.1";
    QTest::newRow("no MIB knows it") << QByteArray("1.5.99") << "iso.5.99";
}

void TestSnmpMgr::symbolicNames()
{
    QFETCH(QByteArray, dotted);
    QFETCH(QString, name);
    QCOMPARE(nameOf(dotted.constData()), name);
}

// The same MIB folders and modules (the default list, then all) given to
// snmptranslate must give the same names.
void TestSnmpMgr::namesAsNetSnmpToolsPrint()
{
    QProcess config;
    config.start(QStringLiteral("net-snmp-config"), {QStringLiteral("--default-mibdirs")});
    if (!config.waitForFinished(10000) || config.exitCode() != 0)
        QSKIP("net-snmp-config is not available");
    const QString defaults = QString::fromUtf8(config.readAllStandardOutput()).trimmed();
    const QString ours = qEnvironmentVariable("NORVANE_MIBDIR");
    QVERIFY2(!ours.isEmpty(), "NORVANE_MIBDIR is set by the test environment");

    const QStringList oids = {QStringLiteral(".1.3.6.1.4.1.99999"), QStringLiteral(".1.3.6.1.2.1.1.3.0"),
                              QStringLiteral(".1.3.6.1.2.1.4.20.1.1.127.0.0.1"),
                              QStringLiteral(".1.3.6.1.6.3.15.1.1.4.0"), QStringLiteral(".1.3.6.1.4.1.8072.3.2.10")};
    QProcess translate;
    translate.start(QStringLiteral("snmptranslate"),
                    QStringList{QStringLiteral("-M"), defaults + QLatin1Char(':') + ours, QStringLiteral("-m"),
                                QStringLiteral("+ALL")}
                        + oids);
    QVERIFY(translate.waitForFinished(30000));
    const QStringList expected = QString::fromUtf8(translate.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(expected.size(), oids.size());
    for (int i = 0; i < oids.size(); ++i)
        QCOMPARE(nameOf(oids[i].toLatin1().constData()), expected[i]);
}

// The library is running by now; a folder configured late still loads.
void TestSnmpMgr::mibFolderAddedLater()
{
    QCOMPARE(nameOf("1.3.6.1.4.1.99998.1"), QStringLiteral("SNMPv2-SMI::enterprises.99998.1"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile mib(dir.filePath(QStringLiteral("NORVANE-TEST-MIB.txt")));
    QVERIFY(mib.open(QIODevice::WriteOnly));
    mib.write("NORVANE-TEST-MIB DEFINITIONS ::= BEGIN\n"
              "IMPORTS enterprises FROM SNMPv2-SMI;\n"
              "norvaneTest OBJECT IDENTIFIER ::= { enterprises 99998 }\n"
              "END\n");
    mib.close();
    SnmpMgrConfigure({dir.path().toStdString()});
    QCOMPARE(nameOf("1.3.6.1.4.1.99998.1"), QStringLiteral("NORVANE-TEST-MIB::norvaneTest.1"));
    AsnObjectIdentifier id;
    QVERIFY(SnmpMgrStrToOid("NORVANE-TEST-MIB::norvaneTest.7", &id));
    QCOMPARE(QByteArray(SnmpUtilOidToA(&id)), QByteArray("1.3.6.1.4.1.99998.7"));
}

void TestSnmpMgr::oidUtilities()
{
    const AsnObjectIdentifier root = ids("1.3.6.1.2.1.1");
    const AsnObjectIdentifier inside = ids("1.3.6.1.2.1.1.5.0");
    const AsnObjectIdentifier outside = ids("1.3.6.1.2.1.2.1.0");
    const AsnObjectIdentifier shorter = ids("1.3.6.1.2");

    QCOMPARE(SnmpUtilOidNCmp(&inside, &root, 7), 0);
    QVERIFY(SnmpUtilOidNCmp(&outside, &root, 7) != 0);
    QVERIFY(SnmpUtilOidNCmp(&shorter, &root, 7) != 0); // a prefix of the root is not inside it
    QCOMPARE(SnmpUtilOidNCmp(&shorter, &root, 5), 0);
    QVERIFY(SnmpUtilOidNCmp(&outside, &inside, 7) > 0);
    QVERIFY(SnmpUtilOidNCmp(&inside, &outside, 7) < 0);

    AsnObjectIdentifier copy;
    QVERIFY(SnmpUtilOidCpy(&copy, &inside));
    QCOMPARE(copy.ids, inside.ids);
    copy.ids[0] = 2;
    QCOMPARE(inside.ids[0], 1u); // deep

    QCOMPARE(QByteArray(SnmpUtilOidToA(&inside)), QByteArray("1.3.6.1.2.1.1.5.0"));
    const AsnObjectIdentifier big = ids("1.3.4294967295");
    QCOMPARE(QByteArray(SnmpUtilOidToA(&big)), QByteArray("1.3.4294967295"));
    const AsnObjectIdentifier none;
    QCOMPARE(QByteArray(SnmpUtilOidToA(&none)), QByteArray());
}

void TestSnmpMgr::memoryAndListFree()
{
    auto *block = static_cast<unsigned char *>(SnmpUtilMemAlloc(64));
    QVERIFY(block);
    QCOMPARE(std::count(block, block + 64, 0), 64L);
    SnmpUtilMemFree(block);

    SnmpVarBindList list = request({"1.3.6.1", "1.3.6.2"});
    list.list[0].value.bytes = std::string(1000, 'x');
    SnmpUtilVarBindListFree(&list);
    QVERIFY(list.list.empty());
    QCOMPARE(list.list.capacity(), size_t(0));
}

void TestSnmpMgr::openFailures_data()
{
    QTest::addColumn<QString>("agent");
    QTest::addColumn<uint>("code");
    // A label starting with "-" is refused by the resolver itself: no query leaves the machine.
    const QString unresolvable = QStringLiteral("-nosuchhost");
    QTest::newRow("host does not resolve") << unresolvable << 11001u;
    QTest::newRow("with a port") << unresolvable + QStringLiteral(":1161") << 11001u;
    QTest::newRow("unclosed bracket") << "udp:[::1" << 87u;
    QTest::newRow("port out of range") << "127.0.0.1:99999" << 87u;
    QTest::newRow("port not a number") << "127.0.0.1:snmp!" << 87u;
    QTest::newRow("blank inside") << "127.0.0.1 x" << 87u;
}

void TestSnmpMgr::openFailures()
{
    QFETCH(QString, agent);
    QFETCH(uint, code);
    const SnmpMgrSession session(SnmpMgrOpen(agent.toStdString(), "tarnel", 300, 0));
    QVERIFY(!session);
    QCOMPARE(SnmpMgrGetLastError(), code);
}

void TestSnmpMgr::openAndCloseCounted()
{
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
    LPSNMP_MGR_SESSION a = SnmpMgrOpen(m_agent.address().toStdString(), "tarnel", 300, 0);
    LPSNMP_MGR_SESSION b = SnmpMgrOpen("udp:127.0.0.1:9", "x", 300, 0);
    QVERIFY(a && b);
    QCOMPARE(SnmpMgrOpenSessionCount(), 2);
    QVERIFY(SnmpMgrClose(a));
    QCOMPARE(SnmpMgrOpenSessionCount(), 1);
    QVERIFY(SnmpMgrClose(b));
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

void TestSnmpMgr::invalidCalls()
{
    SnmpVarBindList list = request({"1.3.6.1"});
    int32_t status = -1;
    int32_t index = -1;
    QVERIFY(!SnmpMgrRequest(nullptr, pdu::Get, &list, &status, &index));
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidSession);
    QVERIFY(!SnmpMgrClose(nullptr));
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidSession);

    openSession();
    SnmpVarBindList empty;
    QVERIFY(!SnmpMgrRequest(m_session.get(), pdu::Get, &empty, &status, &index));
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidParameter);
    QVERIFY(!SnmpMgrRequest(m_session.get(), pdu::Response, &list, &status, &index)); // no request a manager sends
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidParameter);
    QVERIFY(!SnmpMgrRequest(m_session.get(), pdu::GetBulk, &list, &status, &index));
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidParameter);
    QVERIFY(!SnmpMgrBulkRequest(m_session.get(), 10, &list, &status, &index)); // an SNMPv1 session
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidParameter);
    openSession(300, 0, SnmpVersion::V2c);
    QVERIFY(!SnmpMgrBulkRequest(m_session.get(), 0, &list, &status, &index));
    QCOMPARE(SnmpMgrGetLastError(), SnmpMgrErrors::InvalidParameter);
    QVERIFY(m_agent.requests().empty()); // none of these reached the wire
}

void TestSnmpMgr::getAndGetNextOverTheWire()
{
    m_agent.setTable({{ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"), Value::octets("first")},
                      {ScriptedAgent::oid("1.3.6.1.2.1.1.5.0"), Value::octets("second")}});
    openSession();
    int32_t status = -1;
    int32_t index = -1;

    SnmpVarBindList list = request({"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.1.0"});
    QVERIFY(SnmpMgrRequest(m_session.get(), pdu::Get, &list, &status, &index));
    QCOMPARE(status, 0);
    QCOMPARE(index, 0);
    QCOMPARE(list.list.size(), size_t(2));
    QCOMPARE(list.list[0].value.bytes, std::string("second"));
    QCOMPARE(list.list[1].value.bytes, std::string("first"));

    list = request({"1.3.6.1.2.1.1.1.0"});
    QVERIFY(SnmpMgrRequest(m_session.get(), pdu::GetNext, &list, &status, &index));
    QCOMPARE(QByteArray(SnmpUtilOidToA(&list.list[0].name)), QByteArray("1.3.6.1.2.1.1.5.0"));
    QCOMPARE(list.list[0].value.asnType, asn::OctetString);

    const auto seen = m_agent.requests();
    QCOMPARE(seen.size(), size_t(2));
    QCOMPARE(seen[0].pduType, uint8_t(0xA0));
    QCOMPARE(seen[0].names.size(), size_t(2));
    QCOMPARE(seen[1].pduType, uint8_t(0xA1));
    QCOMPARE(seen[1].version, int64_t(0)); // SNMPv1
    QCOMPARE(seen[1].community, QByteArray("tarnel"));
}

void TestSnmpMgr::everyTagDecoded_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("content"); // the value's content octets as sent
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("name"); // the name's content octets
    const QByteArray name = ber::oidContent(ScriptedAgent::oid("1.3.6.1.4.1.99999.1"));
    const auto row = [&name](const char *title, int tag, const QByteArray &content, const char *type, const char *value) {
        QTest::newRow(title) << tag << content << QByteArray(type) << QByteArray(value) << name;
    };
    const auto hex = [](const char *octets) { return QByteArray::fromHex(octets); };
    row("Integer32 -1", 0x02, hex("ff"), "Integer32", "-1");
    row("Integer32 in 5 octets keeps its low 32 bits", 0x02, hex("01fffffffe"), "Integer32", "-2");
    row("Bits", 0x03, hex("f0"), "Bits", "F0 ");
    row("Bits empty", 0x03, {}, "Bits", "");
    row("Octet String with NUL", 0x04, QByteArray("ab\0c", 4), "Octet String", "ab");
    row("Null", 0x05, {}, "Null", "");
    row("Null with content", 0x05, hex("01"), "Null", "");
    row("Object Identifier", 0x06, ber::oidContent(ScriptedAgent::oid("1.3.6.1.4.1.8072.3.2.10")), "Object Identifier",
        ".1.3.6.1.4.1.8072.3.2.10");
    row("Object Identifier empty", 0x06, {}, "Object Identifier", ".");
    row("Sequence", 0x30, hex("020105"), "Sequence", "02 01 05 ");
    row("IpAddress", 0x40, hex("0a000001"), "IpAddress", "10.0.0.1");
    row("IpAddress of 0 octets", 0x40, {}, "IpAddress", "");
    row("IpAddress of 2 octets", 0x40, hex("0a01"), "IpAddress", "10.1");
    row("IpAddress of 3 octets", 0x40, hex("0a0102"), "IpAddress", "10.1.2");
    row("IpAddress of 5 octets", 0x40, hex("0a01020304"), "IpAddress", "10.1.2.3");
    row("Counter32 largest", 0x41, hex("00ffffffff"), "Counter32", "4294967295");
    row("Counter32 in 9 octets keeps its low 32 bits", 0x41, hex("000000000100000007"), "Counter32", "7");
    row("Counter32 without its leading 00", 0x41, hex("ff"), "Counter32", "255");
    row("Gauge32", 0x42, hex("07"), "Gauge32", "7");
    row("TimeTicks", 0x43, hex("00bc614e"), "TimeTicks", "12345678 (1 days, 10 hours, 17 minutes, 36 seconds)");
    row("TimeTicks in 5 octets", 0x43, hex("0100bc614e"), "TimeTicks", "12345678 (1 days, 10 hours, 17 minutes, 36 seconds)");
    row("Opaque", 0x44, hex("9f78"), "Opaque", "9F 78 ");
    row("Opaque float (laLoadFloat)", 0x44, hex("9f78043eeb851f"), "Opaque", "9F 78 04 3E EB 85 1F ");
    row("Opaque double", 0x44, hex("9f79083fe0000000000000"), "Opaque", "9F 79 08 3F E0 00 00 00 00 00 00 ");
    row("Opaque int64", 0x44, hex("9f7a01ff"), "Opaque", "9F 7A 01 FF ");
    row("Opaque uint64", 0x44, hex("9f7b0101"), "Opaque", "9F 7B 01 01 ");
    row("Opaque counter64", 0x44, hex("9f760101"), "Opaque", "9F 76 01 01 ");
    row("Opaque float without octets", 0x44, hex("9f7800"), "Opaque", "9F 78 00 ");
    row("Opaque float cut short", 0x44, hex("9f7804"), "Opaque", "9F 78 04 ");
    row("Counter64 largest", 0x46, hex("00ffffffffffffffff"), "Counter64", "18446744073709551615");
    row("Counter64 in 10 octets keeps its low 64 bits", 0x46, hex("01000000000000000005"), "Counter64", "5");
    row("Unsigned32", 0x47, hex("00b2d05e00"), "Unsigned32", "3000000000");
    QTest::newRow("name of no octets") << 0x04 << QByteArray("x") << QByteArray("Octet String") << QByteArray("x")
                                       << QByteArray();
    // Every tag the rendering does not know, context tags and constructed ones included.
    for (int tag = 0; tag < 256; ++tag) {
        if ((tag >= 0x02 && tag <= 0x06) || tag == 0x30 || (tag >= 0x40 && tag <= 0x47 && tag != 0x45))
            continue;
        row(qPrintable(QStringLiteral("tag 0x%1").arg(tag, 2, 16, QLatin1Char('0'))), tag, hex("0102"),
            "Unexpected Type", "");
    }
}

// Every value comes back as the agent sent it, next to an ordinary binding
// that is not lost with it.
void TestSnmpMgr::everyTagDecoded()
{
    QFETCH(int, tag);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, name);
    const Oid second = ScriptedAgent::oid("1.3.6.1.2.1.1.5.0");
    m_agent.setHandler([=](const ScriptedAgent::Request &request) {
        return ScriptedAgent::Response::rawBytes(
            answerTo(request, bindingTlv(name, uint8_t(tag), content) + bindingTlv(ber::oidContent(second), 0x04, "after")));
    });
    openSession();
    SnmpVarBindList list = request({"1.3.6.1.4.1.99999.1", "1.3.6.1.2.1.1.5.0"});
    int32_t status = -1;
    int32_t index = -1;
    QVERIFY2(SnmpMgrRequest(m_session.get(), pdu::Get, &list, &status, &index),
             qPrintable(QString::number(SnmpMgrGetLastError())));
    QCOMPARE(status, 0);
    QCOMPARE(list.list.size(), size_t(2));
    const ResultRow row = renderBinding(list.list[0]);
    QCOMPARE(list.list[0].value.asnType, uint8_t(tag));
    QCOMPARE(QByteArray::fromStdString(row.type), type);
    QCOMPARE(QByteArray::fromStdString(row.value), value);
    QCOMPARE(row.oid, name.isEmpty() ? std::string(".") : std::string(".1.3.6.1.4.1.99999.1"));
    QCOMPARE(renderBinding(list.list[1]).value, std::string("after"));
}

void TestSnmpMgr::listOverwrittenInPlace()
{
    m_agent.setTable({{ScriptedAgent::oid("1.3.6.1.2.1.1.3.0"), Value::unsignedValue(0x43, 5)}});
    openSession();
    SnmpVarBindList list = request({"1.3.6.1.2.1.1"});
    list.list[0].value.asnType = asn::OctetString; // left over from an earlier answer
    list.list[0].value.bytes = "stale";
    int32_t status = -1;
    int32_t index = -1;
    QVERIFY(SnmpMgrRequest(m_session.get(), pdu::GetNext, &list, &status, &index));
    QCOMPARE(list.list[0].value.asnType, asn::TimeTicks);
    QCOMPARE(list.list[0].value.unsigned32, 5u);
    QVERIFY(list.list[0].value.bytes.empty());
    QCOMPARE(QByteArray(SnmpUtilOidToA(&list.list[0].name)), QByteArray("1.3.6.1.2.1.1.3.0"));
}

void TestSnmpMgr::errorStatusReported()
{
    m_agent.setHandler(ScriptedAgent::errorStatusHandler(5, 2));
    openSession();
    SnmpVarBindList list = request({"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0"});
    int32_t status = -1;
    int32_t index = -1;
    QVERIFY(SnmpMgrRequest(m_session.get(), pdu::Get, &list, &status, &index));
    QCOMPARE(status, 5);
    QCOMPARE(index, 2);
}

void TestSnmpMgr::timeoutIs40_data()
{
    QTest::addColumn<RequestWait>("wait");
    QTest::newRow("blocking") << RequestWait::Blocking;
    QTest::newRow("processing events") << RequestWait::ProcessEvents;
}

// The same retries and timeouts either way; only a wait processing events lets a timer fire.
void TestSnmpMgr::timeoutIs40()
{
    QFETCH(RequestWait, wait);
    m_agent.setHandler(ScriptedAgent::silentHandler());
    openSession(100, 1);
    SnmpVarBindList list = request({"1.3.6.1.2.1.1.1.0"});
    int32_t status = 0;
    int32_t index = 0;
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
    tick.start(10);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!SnmpMgrRequest(m_session.get(), pdu::Get, &list, &status, &index, wait));
    QCOMPARE(SnmpMgrGetLastError(), 40u);
    QVERIFY(clock.elapsed() >= 195); // timeout x (retries + 1)
    QVERIFY2(wait == RequestWait::ProcessEvents ? ticks >= 5 : ticks == 0, qPrintable(QString::number(ticks)));
    QCOMPARE(m_agent.requests().size(), size_t(2));
    QCOMPARE(QByteArray(SnmpUtilOidToA(&list.list[0].name)), QByteArray("1.3.6.1.2.1.1.1.0"));
}

void TestSnmpMgr::unusableAnswersAre45_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("pduType");
    QTest::addColumn<QByteArray>("binding");
    const QByteArray name = ber::oidContent(ScriptedAgent::oid("1.3.6.1.2.1.1.1.0"));
    const QByteArray good = bindingTlv(name, 0x04, "late");
    QTest::newRow("garbage") << 0 << 0 << 0xA2 << good;
    QTest::newRow("wrong request id") << 1 << 0 << 0xA2 << good;
    QTest::newRow("SNMPv2c message") << 2 << 1 << 0xA2 << good;
    QTest::newRow("SNMPv1 message to an SNMPv2c session") << 3 << 0 << 0xA2 << good;
    QTest::newRow("GetRequest PDU") << 2 << 0 << 0xA0 << good;
    QTest::newRow("name that is no OID") << 2 << 0 << 0xA2
                                         << ber::encodeTlv(0x30, ber::encodeTlv(0x04, name) + ber::encodeTlv(0x05, {}));
    QTest::newRow("OID value past 32 bits") << 2 << 0 << 0xA2 << bindingTlv(name, 0x06, QByteArray::fromHex("2b9080808000"));
    QTest::newRow("OID value cut off") << 2 << 0 << 0xA2 << bindingTlv(name, 0x06, QByteArray::fromHex("2b86"));
    QTest::newRow("binding without value") << 2 << 0 << 0xA2 << ber::encodeTlv(0x30, ber::encodeTlv(0x06, name));
    QTest::newRow("value longer than its binding") << 2 << 0 << 0xA2 << good.left(good.size() - 1);
}

// The agent answers, but with nothing that is an SNMPv1 response to the
// request: that is no timeout for the user.
void TestSnmpMgr::unusableAnswersAre45()
{
    QFETCH(int, kind);
    QFETCH(int, version);
    QFETCH(int, pduType);
    QFETCH(QByteArray, binding);
    const Oid name = ScriptedAgent::oid("1.3.6.1.2.1.1.1.0");
    switch (kind) {
    case 0:
        m_agent.setHandler(ScriptedAgent::garbageHandler());
        break;
    case 1:
        m_agent.setHandler(ScriptedAgent::wrongIdHandler(ScriptedAgent::tableHandler({{name, Value::octets("late")}})));
        break;
    default:
        m_agent.setHandler([=](const ScriptedAgent::Request &request) {
            return ScriptedAgent::Response::rawBytes(answerTo(request, binding, version, uint8_t(pduType)));
        });
        break;
    }
    openSession(UnusableWaitMs, 0, kind == 3 ? SnmpVersion::V2c : SnmpVersion::V1);
    SnmpVarBindList list = request({"1.3.6.1.2.1.1.1.0"});
    int32_t status = 0;
    int32_t index = 0;
    QVERIFY(!SnmpMgrRequest(m_session.get(), pdu::Get, &list, &status, &index));
    QCOMPARE(SnmpMgrGetLastError(), 45u);

    // The session still works afterwards.
    m_agent.setTable({{name, Value::octets("fine")}});
    QVERIFY(SnmpMgrRequest(m_session.get(), pdu::Get, &list, &status, &index));
    QCOMPARE(list.list[0].value.bytes, std::string("fine"));
}

void TestSnmpMgr::bindingCountMismatchIs45_data()
{
    QTest::addColumn<bool>("v2c");
    QTest::addColumn<int>("pduType");
    QTest::addColumn<int>("bindings"); // answered, for a GetBulk of 2 repetitions
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("taken");
    QTest::newRow("GetNext without bindings") << false << 0xA1 << 0 << 0 << false;
    // An error answer shows its status whatever bindings it has.
    QTest::newRow("SNMPv1 tooBig without bindings") << false << 0xA1 << 0 << 1 << true;
    QTest::newRow("SNMPv2c tooBig without bindings") << true << 0xA1 << 0 << 1 << true;
    QTest::newRow("SNMPv2c GetNext without bindings") << true << 0xA1 << 0 << 0 << false;
    QTest::newRow("GetBulk without bindings") << true << 0xA5 << 0 << 0 << false;
    QTest::newRow("GetBulk, fewer than asked") << true << 0xA5 << 1 << 0 << true;
    // RFC 3416 lets the manager use what it got: still successors, in order.
    QTest::newRow("GetBulk, more than asked") << true << 0xA5 << 3 << 0 << true;
}

void TestSnmpMgr::bindingCountMismatchIs45()
{
    QFETCH(bool, v2c);
    QFETCH(int, pduType);
    QFETCH(int, bindings);
    QFETCH(int, status);
    QFETCH(bool, taken);
    m_agent.setHandler([bindings, status](const ScriptedAgent::Request &) {
        return ScriptedAgent::Response::answer(
            std::vector<ScriptedAgent::Binding>(size_t(bindings), {ScriptedAgent::oid("1.3.6.1.2.1.1.2.0"), Value::null()}),
            status);
    });
    openSession(UnusableWaitMs, 0, v2c ? SnmpVersion::V2c : SnmpVersion::V1);
    SnmpVarBindList list = request({"1.3.6.1.2.1.1.1.0"});
    int32_t errorStatus = -1;
    int32_t index = 0;
    const int ok = pduType == pdu::GetBulk ? SnmpMgrBulkRequest(m_session.get(), 2, &list, &errorStatus, &index)
                                           : SnmpMgrRequest(m_session.get(), uint8_t(pduType), &list, &errorStatus, &index);
    QCOMPARE(bool(ok), taken);
    if (!taken) {
        QCOMPARE(SnmpMgrGetLastError(), 45u);
        QCOMPARE(list.list.size(), size_t(1)); // the caller's list is left as it was
        return;
    }
    QCOMPARE(errorStatus, status);
    QCOMPARE(list.list.size(), size_t(bindings));
}

// The user guide's page of error codes is the program's own tables, row for row.
void TestSnmpMgr::errorTablesAreTheReferencePage()
{
    QFile page(QStringLiteral(NORVANE_SOURCE_DIR "/docs/reference/error-codes.md"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    for (const auto &[heading, table] : {std::pair{"## Last-error codes", snmpErrorCodes()},
                                         std::pair{"## Error statuses", snmpErrorStatuses()}}) {
        const qsizetype at = text.indexOf(QLatin1String(heading));
        QVERIFY2(at >= 0, heading);
        // The table's rows: the lines that start with "|" after the heading,
        // less its header and rule.
        QStringList rows;
        for (const QString &line : text.mid(at).split(u'\n').mid(1)) {
            if (line.startsWith(u'|'))
                rows << line;
            else if (!rows.isEmpty())
                break;
        }
        rows = rows.mid(2);
        QStringList expected;
        for (const SnmpErrorInfo &info : table)
            expected << QStringLiteral("| %1 | %2 | %3 |").arg(info.code).arg(QLatin1String(info.name),
                                                                      QString::fromUtf8(info.meaning));
        QCOMPARE(rows, expected);
    }
}

QTEST_GUILESS_MAIN(TestSnmpMgr)
#include "tst_snmpmgr.moc"
