// SPDX-License-Identifier: MIT
#include "common/apperror.h"
#include "engine/mib/mibinfo.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/set/setrun.h"
#include "engine/set/setvalue.h"
#include "engine/snmp/snmpmgr.h"
#include "tests/engine/fakehost.h"
#include "tests/support/sanitizers.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/v3users.h"

#include <QTest>

namespace {

constexpr const char *WriteCommunity = "kestrel-rw";
constexpr const char *WriteUser = "u_writer";

std::vector<uint32_t> oidOf(const char *text)
{
    AsnObjectIdentifier oid;
    if (!SnmpMgrStrToOid(text, &oid))
        return {};
    return oid.ids;
}

// The binding the dialog starts from for an object of the loaded MIBs.
SetBinding bindingOf(const char *name, const QString &text)
{
    const std::vector<uint32_t> oid = oidOf(name);
    SetBinding b = setBindingFor(oid, name, mibObject(oid));
    b.text = text.toStdString();
    return b;
}

} // namespace

class TestSetRun final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { QCOMPARE(SnmpMgrOpenSessionCount(), 0); }
    void checks_data();
    void checks();
    void setAndReadBack_data();
    void setAndReadBack();
    void refusals_data();
    void refusals();
    void rowCreatedAndDestroyed();

private:
    // Sends the bindings as the community (v3: the writer) and returns the rows, or the message raised.
    QString set(std::vector<SetBinding> bindings, bool v3, const char *community = WriteCommunity, int timeoutMs = 1000,
                SnmpVersion version = SnmpVersion::V2c);
    QString get(const char *name);

    SnmpdAgent m_snmpd;
    FakeHost m_host;
};

void TestSetRun::initTestCase()
{
    m_snmpd.writableSystem();
    m_snmpd.addConfig(QStringLiteral("rwcommunity %1 127.0.0.1\ncreateUser %2 SHA %3 AES %4\nrwuser %2 priv\n")
                          .arg(QLatin1String(WriteCommunity), QLatin1String(WriteUser),
                               QLatin1String(v3users::AuthPassphrase), QLatin1String(v3users::PrivPassphrase)));
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
    SnmpMgrLoadMibs();
}

// Each rule a text breaks is said before anything is sent; what fits becomes the octets or number sent.
void TestSetRun::checks_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<int>("format"); // -1: as the binding starts
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sent");    // hex of the octets, or the number; empty when refused
    QTest::addColumn<QString>("problem"); // a part of the rule broken

    QTest::newRow("text") << "SNMPv2-MIB::sysLocation.0" << -1 << "rack 4" << "72 61 63 6B 20 34" << "";
    QTest::newRow("text too long") << "SNMPv2-MIB::sysLocation.0" << -1 << QString(256, u'x') << "" << "SIZE is 0..255";
    QTest::newRow("hex, not ASCII") << "SNMPv2-MIB::sysLocation.0" << int(OctetFormat::Hex) << "c3 a9 ff" << "C3 A9 FF" << "";
    QTest::newRow("hex, odd digits") << "SNMPv2-MIB::sysLocation.0" << int(OctetFormat::Hex) << "c3 a" << "" << "pairs";
    QTest::newRow("hex, no digit") << "SNMPv2-MIB::sysLocation.0" << int(OctetFormat::Hex) << "zz" << "" << "'z' is no hex";
    QTest::newRow("enum by label") << "IF-MIB::ifAdminStatus.1" << -1 << "down" << "2" << "";
    QTest::newRow("enum by label(n)") << "IF-MIB::ifAdminStatus.1" << -1 << "testing(3)" << "3" << "";
    QTest::newRow("enum, wrong n") << "IF-MIB::ifAdminStatus.1" << -1 << "down(3)" << "" << "none of the MIB's labels";
    QTest::newRow("enum, unlisted") << "IF-MIB::ifAdminStatus.1" << -1 << "7" << "" << "not in the MIB's enumeration";
    QTest::newRow("range") << "IP-MIB::ipDefaultTTL.0" << -1 << "64" << "64" << "";
    QTest::newRow("out of range") << "IP-MIB::ipDefaultTTL.0" << -1 << "256" << "" << "outside the MIB's range 1..255";
    QTest::newRow("no number") << "IP-MIB::ipDefaultTTL.0" << -1 << "6x" << "" << "no whole number";
    QTest::newRow("counter refused") << "IF-MIB::ifInOctets.1" << -1 << "0" << "" << "read-only by definition";
    QTest::newRow("MAC by hint") << "IF-MIB::ifPhysAddress.1" << -1 << "00:1a:2b:3c:4d:5e" << "00 1A 2B 3C 4D 5E" << "";
    QTest::newRow("MAC, bad hint") << "IF-MIB::ifPhysAddress.1" << -1 << "00-1a" << "" << "DISPLAY-HINT \"1x:\"";
    QTest::newRow("DateAndTime") << "HOST-RESOURCES-MIB::hrSystemDate.0" << -1 << "2026-12-09 05:17:08 +01:00"
                                 << "07 EA 0C 09 05 11 08 00 2B 01 00" << "";
    QTest::newRow("DateAndTime, month 13") << "HOST-RESOURCES-MIB::hrSystemDate.0" << -1 << "2026-13-09 05:17:08"
                                           << "" << "Not a DateAndTime";
    QTest::newRow("OID by name") << "SNMP-TARGET-MIB::snmpTargetAddrTDomain.97" << -1 << "SNMPv2-TM::snmpUDPDomain"
                                 << "1.3.6.1.6.1.1" << "";
    QTest::newRow("no OID") << "SNMP-TARGET-MIB::snmpTargetAddrTDomain.97" << -1 << "no.such" << "" << "is no OID";
    QTest::newRow("IpAddress") << "IP-MIB::ipNetToMediaNetAddress.1.10.0.0.1" << -1 << "10.0.0.300" << "" << "no IPv4";
}

void TestSetRun::checks()
{
    QFETCH(QString, object);
    QFETCH(int, format);
    QFETCH(QString, text);
    QFETCH(QString, sent);
    QFETCH(QString, problem);
    SetBinding b = bindingOf(object.toUtf8().constData(), text);
    QVERIFY2(b.object && !b.overridden, "the MIB's object");
    if (format >= 0)
        b.format = OctetFormat(format);
    const SetCheck check = checkSetBinding(b);
    QVERIFY2(QString::fromStdString(check.problem).contains(problem), check.problem.c_str());
    QCOMPARE(check.value.has_value(), problem.isEmpty());
    if (!check.value)
        return;
    const AsnAny &v = *check.value;
    QString got;
    if (v.asnType == asn::OctetString)
        got = QString::fromStdString(hexDump(v.bytes)).trimmed();
    else if (v.asnType == asn::ObjectIdentifier)
        got = QString::fromLatin1(SnmpUtilOidToA(&v.object));
    else
        got = QString::number(v.number);
    QCOMPARE(got, sent);
}

QString TestSetRun::set(std::vector<SetBinding> bindings, bool v3, const char *community, int timeoutMs,
                        SnmpVersion version)
{
    SetRequest request;
    request.agent = m_snmpd.address();
    request.transport = {timeoutMs, 0, version};
    if (v3) {
        AgentSecurity s = v3users::securityOf(QString::fromLatin1("u_sha_aes"));
        s.userName = WriteUser;
        request.security = std::move(s);
    } else {
        request.community = Secret(community);
    }
    for (const SetBinding &b : bindings) {
        const SetCheck check = checkSetBinding(b);
        if (!check.value)
            return QString::fromStdString(check.problem);
        request.bindings.list.push_back({AsnObjectIdentifier{b.oid}, *check.value});
    }
    m_host.rows.clear();
    try {
        runSet(request, m_host, m_host.control);
    } catch (const AppError &e) {
        return QString::fromUtf8(e.what());
    }
    QStringList rows;
    for (const ResultRow &row : m_host.rows)
        rows << QString::fromStdString(row.name + " = " + row.value);
    return rows.join(u'\n');
}

QString TestSetRun::get(const char *name)
{
    QueryRequest request;
    request.agent = m_snmpd.address();
    request.community = QLatin1String(SnmpdAgent::Community);
    request.oids = QLatin1String(name);
    request.transport = {1000, 0, SnmpVersion::V2c};
    FakeHost host;
    runQuery(request, host, host.control);
    return host.rows.empty() ? QString() : QString::fromStdString(host.rows.front().value);
}

// What the agent answers is what it now holds, by community and by the v3 user alike.
void TestSetRun::setAndReadBack_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("v3");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("sysContact, text") << "SNMPv2-MIB::sysContact.0" << false << "noc@example.net" << false << "noc@example.net";
    QTest::newRow("sysLocation, hex") << "SNMPv2-MIB::sysLocation.0" << true << "52 C3 A9 70 FF" << false << "52 C3 A9 70 FF";
    QTest::newRow("sysLocation, v3") << "SNMPv2-MIB::sysLocation.0" << false << "hall B" << true << "hall B";
}

void TestSetRun::setAndReadBack()
{
    QFETCH(QString, object);
    QFETCH(bool, hex);
    QFETCH(QString, text);
    QFETCH(bool, v3);
    QFETCH(QString, readBack);
    const QByteArray name = object.toUtf8();
    SetBinding b = bindingOf(name.constData(), text);
    if (hex)
        b.format = OctetFormat::Hex;
    const QString answer = set({b}, v3);
    QVERIFY2(answer.trimmed().endsWith(readBack), qPrintable(answer));
    QCOMPARE(get(name.constData()).trimmed(), readBack);
}

// Refusals name the status, the binding and the meaning; a read community's Set is dropped.
void TestSetRun::refusals_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<int>("overrideType"); // -1: the MIB's
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("community");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("version");

    const QString rw = QLatin1String(WriteCommunity);
    QTest::newRow("notWritable") << "SNMPv2-MIB::sysDescr.0" << -1 << "x" << rw
                                 << "notWritable (17) at binding 2, SNMPv2-MIB::sysDescr.0. The object cannot be written" << int(SnmpVersion::V2c);
    QTest::newRow("SNMPv1, read-only") << "SNMPv2-MIB::sysDescr.0" << -1 << "x" << rw
                                       << "noSuchName (2) at binding 2, SNMPv2-MIB::sysDescr.0." << int(SnmpVersion::V1);
    QTest::newRow("wrongType") << "SNMPv2-MIB::sysLocation.0" << int(SetType::Integer) << "5" << rw
                               << "wrongType (7) at binding 2, SNMPv2-MIB::sysLocation.0" << int(SnmpVersion::V2c);
    QTest::newRow("read community") << "SNMPv2-MIB::sysContact.0" << -1 << "x" << QString::fromLatin1(SnmpdAgent::Community)
                                    << "noAccess (6) at binding 1, SNMPv2-MIB::sysContact.0. The object is not accessible "
                                       "with this community or user. The write community given may be one the agent lets "
                                       "read only" << int(SnmpVersion::V2c);
    QTest::newRow("unknown community") << "SNMPv2-MIB::sysContact.0" << -1 << "x" << "nosuch"
                                       << "No answer to the Set. An agent drops a Set whose community may only read" << int(SnmpVersion::V2c);
}

void TestSetRun::refusals()
{
    QFETCH(QString, object);
    QFETCH(int, overrideType);
    QFETCH(QString, text);
    QFETCH(QString, community);
    QFETCH(QString, message);
    QFETCH(int, version);
    // Two bindings: the index names the second; the first is not written either.
    SetBinding first = bindingOf("SNMPv2-MIB::sysContact.0", QStringLiteral("untouched?"));
    SetBinding b = bindingOf(object.toUtf8().constData(), text);
    if (overrideType >= 0) {
        b.type = SetType(overrideType);
        b.overridden = true;
    }
    const QString before = get("SNMPv2-MIB::sysContact.0");
    const QByteArray c = community.toLatin1();
    const QString answer = set({first, b}, false, c.constData(), 100 * SlowBuild, SnmpVersion(version));
    QVERIFY2(answer.contains(message), qPrintable(answer));
    QCOMPARE(get("SNMPv2-MIB::sysContact.0"), before);
}

// A target row made in one Set with its RowStatus (createAndGo) and all it needs, read, then destroyed.
void TestSetRun::rowCreatedAndDestroyed()
{
    const QString row = QStringLiteral("SNMP-TARGET-MIB::snmpTargetAddr%1.110.118.49"); // "nv1", IMPLIED
    const auto column = [&](const char *c, const char *text, std::optional<OctetFormat> format = {}) {
        const QByteArray name = row.arg(QLatin1String(c)).toUtf8();
        SetBinding b = bindingOf(name.constData(), QString::fromLatin1(text));
        if (format)
            b.format = *format;
        return b;
    };
    QString answer = set({column("TDomain", "1.3.6.1.6.1.1"), column("TAddress", "7f 00 00 01 00 a2", OctetFormat::Hex),
                          column("Params", "nvparams"), column("RowStatus", "createAndGo")},
                         true);
    QVERIFY2(answer.startsWith(QLatin1String("SNMP-TARGET-MIB::snmpTargetAddrTDomain.'nv1' = .1.3.6.1.6.1.1\n")), qPrintable(answer));
    QCOMPARE(answer.count(u'\n'), 3);
    const QByteArray status = row.arg(QLatin1String("RowStatus")).toUtf8();
    QVERIFY2(get(status.constData()).startsWith(QLatin1String("1")) || get(status.constData()).startsWith(QLatin1String("active")),
             qPrintable(get(status.constData())));
    answer = set({column("RowStatus", "destroy")}, true);
    QVERIFY2(!answer.contains(QLatin1String("refused")), qPrintable(answer));
    QVERIFY2(get(status.constData()).isEmpty() || get(status.constData()).contains(QLatin1String("No Such")),
             qPrintable(get(status.constData())));
}

QTEST_GUILESS_MAIN(TestSetRun)
#include "tst_setrun.moc"
