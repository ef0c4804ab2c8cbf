// SPDX-License-Identifier: MIT
// MIB Values: a binding rendered to its row, read back from the row's texts
// and rendered as the MIB describes the object; and column instances decoded
// by their INDEX. The bundled modules, Net-SNMP's own and a test module
// (tests/engine/mibs) for what none of them has.
#include "engine/mib/mibinfo.h"
#include "engine/mib/mibrender.h"
#include "engine/mib/mibsetup.h"
#include "engine/query/rowbinding.h"
#include "engine/query/rowrender.h"

#include <QTest>

namespace {

AsnObjectIdentifier parse(const QString &dotted)
{
    AsnObjectIdentifier id;
    for (const QString &part : dotted.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        id.ids.push_back(part.toUInt());
    return id;
}

// The Value column with MIB Values on, by way of the stored row.
QString shown(const SnmpVarBind &binding)
{
    const ResultRow row = renderBinding(binding);
    const auto back = bindingFromRow(row.oid, row.type, row.value, row.binding);
    const MibObject *object = back ? mibObject(back->name.ids) : nullptr;
    const auto text = object ? mibValueText(*back, *object) : std::nullopt;
    return QString::fromStdString(text.value_or(row.value));
}

} // namespace

class TestMibRender final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void values_data();
    void values();
    void index_data();
    void index();
};

void TestMibRender::initTestCase()
{
    SnmpMgrConfigure({NORVANE_TEST_MIBDIR});
}

void TestMibRender::values_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("content"); // bytes, a number, or a dotted OID value
    QTest::addColumn<QString>("expected");
    const QByteArray clock("\x07\xea\x0c\x09\x05\x11\x08\x00+\x00\x00", 11);
    const QByteArray v6 = QByteArray::fromHex("20010db8000000000000000000000001");
    QTest::newRow("enum") << ".1.3.6.1.2.1.2.2.1.8.3" << 0x02 << QByteArray("1") << "up(1)";
    QTest::newRow("enum of a textual convention") << ".1.3.6.1.2.1.2.2.1.3.3" << 0x02 << QByteArray("6") << "ethernetCsmacd(6)";
    QTest::newRow("enum value not listed") << ".1.3.6.1.2.1.2.2.1.8.3" << 0x02 << QByteArray("99") << "99";
    QTest::newRow("MAC") << ".1.3.6.1.2.1.2.2.1.6.3" << 0x04 << QByteArray::fromHex("0016c7026ec0") << "00:16:c7:02:6e:c0";
    QTest::newRow("MAC whose text ends at a NUL") << ".1.3.6.1.2.1.2.2.1.6.3" << 0x04 << QByteArray::fromHex("004142434445")
                                                  << "00:41:42:43:44:45";
    QTest::newRow("DateAndTime with zone") << ".1.3.6.1.4.1.32473.26.1.0" << 0x04 << clock << "2026-12-09 05:17:08 +00:00";
    QTest::newRow("DateAndTime without zone") << ".1.3.6.1.4.1.32473.26.1.0" << 0x04 << clock.left(8) << "2026-12-09 05:17:08";
    QTest::newRow("DateAndTime, tenths, west") << ".1.3.6.1.4.1.32473.26.1.0" << 0x04
                                               << QByteArray("\x07\xea\x01\x1f\x17\x3b\x3b\x07-\x05\x1e", 11)
                                               << "2026-01-31 23:59:59.7 -05:30";
    QTest::newRow("DateAndTime month 13 does not fit") << ".1.3.6.1.4.1.32473.26.1.0" << 0x04 << clock.left(2) + "\x0d"
            + clock.mid(3, 5) << "07 EA 0D 09 05 11 08 00 ";
    QTest::newRow("DisplayString with CR LF") << ".1.3.6.1.2.1.1.1.0" << 0x04 << QByteArray("IOS 12.2\r\nTAC: x\nend\r")
                                              << "IOS 12.2\u21B5TAC: x\u21B5end\u21B5";
    QTest::newRow("DisplayString with 8-bit bytes does not fit") << ".1.3.6.1.2.1.1.1.0" << 0x04 << QByteArray("a\r\n\xe9")
                                                                 << "61 0D 0A E9 ";
    QTest::newRow("units") << ".1.3.6.1.4.1.2021.4.5.0" << 0x02 << QByteArray("24683716") << "24683716 kB";
    QTest::newRow("units of a counter") << ".1.3.6.1.4.1.32473.26.3.1.4.0.22.199.2.110.192.1.4.192.0.2.1" << 0x41
                                        << QByteArray("5") << "5 packets";
    QTest::newRow("OID value as name") << ".1.3.6.1.2.1.1.2.0" << 0x06 << QByteArray("1.3.6.1.2.1.31") << "IF-MIB::ifMIB";
    QTest::newRow("OID value below an enterprise") << ".1.3.6.1.2.1.1.2.0" << 0x06 << QByteArray("1.3.6.1.4.1.9.1.516")
                                                   << "SNMPv2-SMI::enterprises.9.1.516";
    QTest::newRow("OID value only the roots name") << ".1.3.6.1.2.1.1.2.0" << 0x06 << QByteArray("1.0.8802.1") << ".1.0.8802.1";
    QTest::newRow("InetAddress IPv4 by its length") << ".1.3.6.1.4.1.32473.26.2.0" << 0x04 << QByteArray("\xc0\x00\x02\x01", 4)
                                                    << "192.0.2.1";
    QTest::newRow("InetAddress IPv6 by its length") << ".1.3.6.1.4.1.32473.26.2.0" << 0x04 << v6 << "2001:db8::1";
    QTest::newRow("TimeTicks as ever") << ".1.3.6.1.2.1.1.3.0" << 0x43 << QByteArray("12345678")
                                       << "12345678 (1 days, 10 hours, 17 minutes, 36 seconds)";
    QTest::newRow("unknown object") << ".1.3.6.1.4.1.99999.1" << 0x04 << QByteArray::fromHex("0016c7026ec0")
                                    << "00 16 C7 02 6E C0 ";
    QTest::newRow("tag not of its syntax") << ".1.3.6.1.2.1.2.2.1.8.3" << 0x42 << QByteArray("1") << "1";
}

void TestMibRender::values()
{
    QFETCH(QString, name);
    QFETCH(int, tag);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    SnmpVarBind binding;
    binding.name = parse(name);
    binding.value.asnType = uint8_t(tag);
    binding.value.number = content.toInt();
    binding.value.unsigned32 = content.toUInt();
    binding.value.bytes = content.toStdString();
    if (tag == asn::ObjectIdentifier)
        binding.value.object = parse(QString::fromLatin1(content));
    QCOMPARE(shown(binding), expected);
}

void TestMibRender::index_data()
{
    QTest::addColumn<QString>("oid");
    QTest::addColumn<QString>("expected"); // the index parts, or "!" and the instance when it does not fit
    QTest::newRow("integer") << ".1.3.6.1.2.1.2.2.1.8.11" << "ifIndex = 11";
    QTest::newRow("IP address") << ".1.3.6.1.2.1.4.20.1.2.10.0.0.1" << "ipAdEntAddr = 10.0.0.1";
    QTest::newRow("string and OID, length-prefixed") << ".1.3.6.1.6.3.16.1.5.2.1.3.3.97.108.108.4.1.3.6.1"
                                                     << "vacmViewTreeFamilyViewName = \"all\", "
                                                        "vacmViewTreeFamilySubtree = SNMPv2-SMI::internet";
    QTest::newRow("IMPLIED string") << ".1.3.6.1.6.3.12.1.2.1.2.110.109.115" << "snmpTargetAddrName = \"nms\"";
    QTest::newRow("MAC, fixed size; InetAddress by its type")
        << ".1.3.6.1.4.1.32473.26.3.1.4.0.22.199.2.110.192.1.4.192.0.2.1"
        << "testMac = 00:16:c7:02:6e:c0, testAddrType = ipv4(1), testAddr = 192.0.2.1";
    QTest::newRow("IPv6 by its type") << ".1.3.6.1.4.1.32473.26.3.1.4.0.0.0.0.0.1.2.16.32.1.13.184.0.0.0.0.0.0.0.0.0.0.0.1"
                                      << "testMac = 00:00:00:00:00:01, testAddrType = ipv6(2), testAddr = 2001:db8::1";
    QTest::newRow("numbers left over") << ".1.3.6.1.2.1.2.2.1.8.11.5" << "!.11.5";
    QTest::newRow("string longer than what follows") << ".1.3.6.1.6.3.16.1.5.2.1.3.9.97" << "!.9.97";
    QTest::newRow("byte above 255 in a string") << ".1.3.6.1.6.3.12.1.2.1.2.110.300" << "!.110.300";
}

void TestMibRender::index()
{
    QFETCH(QString, oid);
    QFETCH(QString, expected);
    const auto definition = mibDefinition(parse(oid).ids);
    QVERIFY(definition);
    QCOMPARE(definition->object.kind, MibKind::Column);
    QStringList parts;
    for (const MibIndexPart &part : definition->index)
        parts << QString::fromStdString(part.name + " = " + part.value);
    QString instance = QStringLiteral("!");
    for (const uint32_t id : definition->instance)
        instance += QLatin1Char('.') + QString::number(id);
    QCOMPARE(definition->indexFits ? parts.join(QStringLiteral(", ")) : instance, expected);
}

QTEST_GUILESS_MAIN(TestMibRender)
#include "tst_mibrender.moc"
