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

#include <map>

namespace {

AsnObjectIdentifier parse(const QString &dotted)
{
    AsnObjectIdentifier id;
    for (const QString &part : dotted.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        id.ids.push_back(part.toUInt());
    return id;
}

// The InetAddressTypes among the rows at hand: testPeerAddrType.1 to .3 and testPeerAltType.2.
std::optional<int64_t> addressTypeRow(std::span<const uint32_t> oid)
{
    static const std::map<std::vector<uint32_t>, int64_t> rows{{{2, 1}, 16}, {{2, 2}, 2}, {{2, 3}, 3}, {{4, 2}, 16}};
    const std::vector<uint32_t> peer = parse(QStringLiteral("1.3.6.1.4.1.32473.26.6.1")).ids;
    const bool under = oid.size() > peer.size() && std::ranges::equal(oid.first(peer.size()), peer);
    const auto found = under ? rows.find({oid.begin() + std::ptrdiff_t(peer.size()), oid.end()}) : rows.end();
    return found != rows.end() ? std::optional(found->second) : std::nullopt;
}

// The Value column with MIB Values on, by way of the stored row, marked
// where it is read by its length alone.
QString shown(const SnmpVarBind &binding)
{
    const ResultRow row = renderBinding(binding);
    const auto back = bindingFromRow(row.oid, row.type, row.value, row.binding);
    const MibObject *object = back ? mibObject(back->name.ids) : nullptr;
    bool byLength = false;
    const auto text = object ? mibValueText(*back, *object, addressTypeRow, &byLength) : std::nullopt;
    return QString::fromStdString(text.value_or(row.value)) + (byLength ? " (by its length)" : "");
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
                                                    << "192.0.2.1 (by its length)";
    QTest::newRow("InetAddress IPv6 by its length") << ".1.3.6.1.4.1.32473.26.2.0" << 0x04 << v6
                                                    << "2001:db8::1 (by its length)";
    const QString peer = QStringLiteral(".1.3.6.1.4.1.32473.26.6.1.");
    QTest::newRow("InetAddress dns(16) of 16 characters, by its row's type") << peer + "3.1" << 0x04
                                                                            << QByteArray("ns1.example.org.") << "ns1.example.org.";
    QTest::newRow("InetAddress by the type its DESCRIPTION names") << peer + "5.2" << 0x04 << v6 << "2001:db8::1";
    QTest::newRow("InetAddress ipv4z(3) of 20 bytes shows them") << peer + "3.3" << 0x04 << QByteArray("whisky au juge blond")
                                                                << "whisky au juge blond";
    QTest::newRow("InetAddress, no type among the rows") << peer + "3.9" << 0x04 << QByteArray("\xc0\x00\x02\x01", 4)
                                                         << "192.0.2.1 (by its length)";
    QTest::newRow("UTF-8 text by a 't' hint") << ".1.3.6.1.4.1.32473.26.4.0" << 0x04
                                              << QByteArray("Gr\xc3\xbc\xc3\x9f""e, \xe6\x9d\xb1\xe4\xba\xac\r\n")
                                              << "Gr\u00fc\u00dfe, \u6771\u4eac\u21B5";
    QTest::newRow("BITS 00 40") << ".1.3.6.1.4.1.32473.26.5.0" << 0x04 << QByteArray("\x00\x40", 2) << "00 40 gamma(9)";
    QTest::newRow("BITS 00") << ".1.3.6.1.4.1.32473.26.5.0" << 0x04 << QByteArray("\x00", 1) << "00";
    QTest::newRow("BITS, a bit without a name") << ".1.3.6.1.4.1.32473.26.5.0" << 0x04 << QByteArray("\xc0\x01", 2)
                                                << "C0 01 alpha(0) beta(1) 15";
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
    // With MIB Values off BITS show their octets (a text would end at a first 00).
    if (const MibObject *object = mibObject(binding.name.ids); object && object->syntax == MibSyntax::Bits) {
        const QString off = QString::fromStdString(renderBinding(binding).value).trimmed();
        QVERIFY2(!off.isEmpty() && expected.startsWith(off), qPrintable(off));
    }
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
