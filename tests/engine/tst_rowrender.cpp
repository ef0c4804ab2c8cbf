// SPDX-License-Identifier: MIT
#include "engine/mib/oidname.h"
#include "engine/mib/oidtext.h"
#include "engine/query/rowbinding.h"
#include "engine/query/rowrender.h"

#include <QTest>

#include <limits>
#include <tuple>

namespace {

AsnObjectIdentifier ids(std::initializer_list<uint32_t> list)
{
    return AsnObjectIdentifier{std::vector<uint32_t>(list)};
}

SnmpVarBind binding(uint8_t tag)
{
    SnmpVarBind b;
    b.name = ids({1, 3, 6, 1, 4, 1, 99999, 1});
    b.value.asnType = tag;
    return b;
}

} // namespace

class TestRowRender final : public QObject
{
    Q_OBJECT

private slots:
    void hexDumpFormat_data();
    void hexDumpFormat();
    void octetString_data();
    void octetString();
    void timeTicks_data();
    void timeTicks();
    void typeTable_data();
    void typeTable();
    void numbersAtTheirLimits();
    void oidColumns();
    void ipAddressOfAnyLength_data();
    void ipAddressOfAnyLength();
    void nameColumnFromTheService_data();
    void nameColumnFromTheService();
    void nameCacheStaysBounded();
};

void TestRowRender::hexDumpFormat_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("two bytes, upper case, trailing blank") << QByteArray("\x0a\xff", 2) << QByteArray("0A FF ");
    QTest::newRow("nul and high") << QByteArray("\x00\x80\x7f", 3) << QByteArray("00 80 7F ");
}

void TestRowRender::hexDumpFormat()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(hexDump(input.toStdString())), expected);
}

void TestRowRender::octetString_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("readable") << QByteArray("Norvane lab") << QByteArray("Norvane lab");
    QTest::newRow("space to DEL are readable") << QByteArray(" ~\x7f") << QByteArray(" ~\x7f");
    QTest::newRow("cut at the first NUL") << QByteArray("abc\0def", 7) << QByteArray("abc");
    QTest::newRow("NUL first shows nothing") << QByteArray("\0abc", 4) << QByteArray();
    QTest::newRow("trailing NULs") << QByteArray("ab\0\0", 4) << QByteArray("ab");
    QTest::newRow("control byte after NUL makes it hex") << QByteArray("ab\0\x01", 4) << QByteArray("61 62 00 01 ");
    QTest::newRow("hardware address") << QByteArray("\x00\x1a\x2b\x3c\x4d\x5e", 6) << QByteArray("00 1A 2B 3C 4D 5E ");
    QTest::newRow("8-bit code page letters") << QByteArray("caf\xe9") << QByteArray("63 61 66 E9 ");
    QTest::newRow("line break is a control byte") << QByteArray("a\nb") << QByteArray("61 0A 62 ");
}

void TestRowRender::octetString()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(octetStringText(input.toStdString())), expected);
}

void TestRowRender::timeTicks_data()
{
    QTest::addColumn<uint>("ticks");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("zero") << 0u << QByteArray("0 (0 days, 0 hours, 0 minutes, 0 seconds)");
    QTest::newRow("example") << 12345678u << QByteArray("12345678 (1 days, 10 hours, 17 minutes, 36 seconds)");
    QTest::newRow("last tick of a day") << 8639999u << QByteArray("8639999 (0 days, 23 hours, 59 minutes, 59 seconds)");
    QTest::newRow("one day") << 8640000u << QByteArray("8640000 (1 days, 0 hours, 0 minutes, 0 seconds)");
    QTest::newRow("one of each stays plural") << 9006100u << QByteArray("9006100 (1 days, 1 hours, 1 minutes, 1 seconds)");
    QTest::newRow("maximum") << 4294967295u << QByteArray("4294967295 (497 days, 2 hours, 27 minutes, 52 seconds)");
}

void TestRowRender::timeTicks()
{
    QFETCH(uint, ticks);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(timeTicksText(ticks)), expected);

    SnmpVarBind b = binding(asn::TimeTicks);
    b.value.unsigned32 = ticks;
    const ResultRow row = renderBinding(b);
    QCOMPARE(row.type, std::string("TimeTicks"));
    QCOMPARE(QByteArray::fromStdString(row.value), expected);
}

void TestRowRender::typeTable_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("content"); // bytes of the value, or its number as text
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("0x02") << 0x02 << QByteArray("-42") << QByteArray("Integer32") << QByteArray("-42");
    QTest::newRow("0x03") << 0x03 << QByteArray("\xf0\x01", 2) << QByteArray("Bits") << QByteArray("F0 01 ");
    QTest::newRow("0x03 readable bytes stay hex") << 0x03 << QByteArray("AB") << QByteArray("Bits") << QByteArray("41 42 ");
    QTest::newRow("0x04") << 0x04 << QByteArray("eth0") << QByteArray("Octet String") << QByteArray("eth0");
    QTest::newRow("0x05") << 0x05 << QByteArray() << QByteArray("Null") << QByteArray();
    QTest::newRow("0x30") << 0x30 << QByteArray("\x02\x01\x05", 3) << QByteArray("Sequence") << QByteArray("02 01 05 ");
    QTest::newRow("0x40") << 0x40 << QByteArray("\x0a\x00\xff\x01", 4) << QByteArray("IpAddress") << QByteArray("10.0.255.1");
    QTest::newRow("0x40 of five bytes") << 0x40 << QByteArray("\x0a\x00\xff\x01\x07", 5) << QByteArray("IpAddress")
                                        << QByteArray("10.0.255.1");
    QTest::newRow("0x41") << 0x41 << QByteArray("7") << QByteArray("Counter32") << QByteArray("7");
    QTest::newRow("0x42") << 0x42 << QByteArray("1000000000") << QByteArray("Gauge32") << QByteArray("1000000000");
    QTest::newRow("0x44") << 0x44 << QByteArray("\x9f\x78\x04", 3) << QByteArray("Opaque") << QByteArray("9F 78 04 ");
    QTest::newRow("0x44 empty") << 0x44 << QByteArray() << QByteArray("Opaque") << QByteArray();
    QTest::newRow("0x46") << 0x46 << QByteArray("4294967296") << QByteArray("Counter64") << QByteArray("4294967296");
    QTest::newRow("0x47") << 0x47 << QByteArray("3000000000") << QByteArray("Unsigned32") << QByteArray("3000000000");
    QTest::newRow("0x45 NsapAddress") << 0x45 << QByteArray("\x01\x02", 2) << QByteArray("Unexpected Type") << QByteArray();
    QTest::newRow("0x00") << 0x00 << QByteArray("x") << QByteArray("Unexpected Type") << QByteArray();
    QTest::newRow("0x80 exception") << 0x80 << QByteArray() << QByteArray("Unexpected Type") << QByteArray();
    QTest::newRow("0x81 exception") << 0x81 << QByteArray() << QByteArray("Unexpected Type") << QByteArray();
    QTest::newRow("0x82 exception, with octets") << 0x82 << QByteArray("x") << QByteArray("Unexpected Type") << QByteArray();
}

void TestRowRender::typeTable()
{
    QFETCH(int, tag);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, value);

    SnmpVarBind b = binding(uint8_t(tag));
    switch (tag) {
    case asn::Integer32:
        b.value.number = content.toInt();
        break;
    case asn::Counter32:
    case asn::Gauge32:
    case asn::Unsigned32:
        b.value.unsigned32 = content.toUInt();
        break;
    case asn::Counter64:
        b.value.counter64 = content.toULongLong();
        break;
    default:
        b.value.bytes = content.toStdString();
        break;
    }
    const ResultRow row = renderBinding(b);
    QCOMPARE(QByteArray::fromStdString(row.type), type);
    QCOMPARE(QByteArray::fromStdString(row.value), value);
    QCOMPARE(row.oid, std::string(".1.3.6.1.4.1.99999.1"));

    // An SNMPv2c answer shows the same, except that the exceptions have names.
    static const QMap<int, QByteArray> exceptions{{0x80, "noSuchObject"}, {0x81, "noSuchInstance"}, {0x82, "endOfMibView"}};
    const ResultRow v2c = renderBinding(b, SnmpVersion::V2c);
    QCOMPARE(QByteArray::fromStdString(v2c.type), exceptions.value(tag, type));
    QCOMPARE(QByteArray::fromStdString(v2c.value), value);

    // Either row gives its binding back, tag and octets: recordings are written from it.
    for (const ResultRow &shown : {row, v2c}) {
        const std::optional<SnmpVarBind> back = bindingFromRow(shown.oid, shown.type, shown.value, shown.binding);
        QVERIFY(back);
        QCOMPARE(back->name.ids, b.name.ids);
        const AsnAny &got = back->value;
        QCOMPARE(std::tie(got.asnType, got.number, got.unsigned32, got.counter64, got.bytes),
                 std::tie(b.value.asnType, b.value.number, b.value.unsigned32, b.value.counter64, b.value.bytes));
    }
}

void TestRowRender::numbersAtTheirLimits()
{
    SnmpVarBind b = binding(asn::Integer32);
    b.value.number = -1;
    QCOMPARE(renderBinding(b).value, std::string("-1"));
    b.value.number = std::numeric_limits<int32_t>::min();
    QCOMPARE(renderBinding(b).value, std::string("-2147483648"));

    b = binding(asn::Counter32);
    b.value.unsigned32 = 4294967295u;
    QCOMPARE(renderBinding(b).value, std::string("4294967295"));

    b = binding(asn::Counter64);
    b.value.counter64 = std::numeric_limits<uint64_t>::max();
    QCOMPARE(renderBinding(b).value, std::string("18446744073709551615"));
}

void TestRowRender::oidColumns()
{
    SnmpVarBind b = binding(asn::ObjectIdentifier);
    b.name = ids({1, 3, 6, 1, 2, 1, 1, 2, 0});
    b.value.object = ids({1, 3, 6, 1, 4, 1, 8072, 3, 2, 10});
    ResultRow row = renderBinding(b);
    QCOMPARE(row.oid, std::string(".1.3.6.1.2.1.1.2.0"));
    QCOMPARE(row.type, std::string("Object Identifier"));
    QCOMPARE(row.value, std::string(".1.3.6.1.4.1.8072.3.2.10"));

    // 128 sub-identifiers of 4294967295 make a dotted text far past 255 characters.
    AsnObjectIdentifier longId;
    longId.ids.assign(128, 4294967295u);
    const std::string dotted = SnmpUtilOidToA(&longId);
    QVERIFY(dotted.size() > 255);
    b.name = longId;
    b.value.object = longId;
    row = renderBinding(b);
    QCOMPARE(row.oid, "." + dotted.substr(0, 255));
    QCOMPARE(row.value, "." + dotted.substr(0, 255));
    QCOMPARE(row.oid.size(), size_t(256));
}

void TestRowRender::ipAddressOfAnyLength_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("four") << QByteArray("\xc0\xa8\x01\x02", 4) << QByteArray("192.168.1.2");
    QTest::newRow("none") << QByteArray() << QByteArray();
    QTest::newRow("one") << QByteArray("\x0a", 1) << QByteArray("10");
    QTest::newRow("two") << QByteArray("\x0a\x01", 2) << QByteArray("10.1");
    QTest::newRow("three") << QByteArray("\x0a\x01\x02", 3) << QByteArray("10.1.2");
    QTest::newRow("more than four") << QByteArray("\x0a\x01\x02\x03\x04\x05", 6) << QByteArray("10.1.2.3");
}

void TestRowRender::ipAddressOfAnyLength()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    SnmpVarBind b = binding(asn::IpAddress);
    b.value.bytes = input.toStdString();
    const ResultRow row = renderBinding(b);
    QCOMPARE(row.type, std::string("IpAddress"));
    QCOMPARE(QByteArray::fromStdString(row.value), expected);
}

void TestRowRender::nameColumnFromTheService_data()
{
    QTest::addColumn<QString>("oid");
    QTest::addColumn<QString>("expected");
    QTest::newRow("scalar") << "1.3.6.1.2.1.1.1.0" << "SNMPv2-MIB::sysDescr.0";
    QTest::newRow("no instance") << "1.3.6.1.2.1.2.2.1.2" << "IF-MIB::ifDescr";
    QTest::newRow("unknown column") << "1.3.6.1.2.1.2.2.1.99.5" << "IF-MIB::ifEntry.99.5";
    QTest::newRow("unknown root") << "5.1.2" << ".5.1.2";
    QTest::newRow("string index longer than the rest")
        << "1.3.6.1.6.3.16.1.4.1.4.60.95" << "SNMP-VIEW-BASED-ACM-MIB::vacmAccessContextMatch.60.95";
    // Net-SNMP's path text (".iso.org...ifDescr" and the instance) fails past 510 characters.
    const QString ifDescr = QStringLiteral("1.3.6.1.2.1.2.2.1.2");
    QTest::newRow("path of 497") << ifDescr + QString(".4000000000").repeated(39)
                                 << "IF-MIB::ifDescr" + QString(".4000000000").repeated(39);
    QTest::newRow("path of 541: numbers") << ifDescr + QString(".4000000000").repeated(43)
                                          << ifDescr + QString(".4000000000").repeated(43);
}

void TestRowRender::nameColumnFromTheService()
{
    QFETCH(QString, oid);
    QFETCH(QString, expected);
    SnmpVarBind b = binding(asn::Null);
    b.name.ids.clear();
    for (const QString &id : oid.split(QLatin1Char('.')))
        b.name.ids.push_back(id.toUInt());
    char *text = nullptr;
    QVERIFY(SnmpMgrOidToStr(&b.name, &text));
    const SnmpText full(text);
    QCOMPARE(QString::fromStdString(renderBinding(b).name), QString::fromLatin1(full.get()));
    QCOMPARE(QString::fromStdString(renderBinding(b).name), expected); // now from the name cache
}

void TestRowRender::nameCacheStaysBounded()
{
    OidNameCache cache(2);
    std::string name;
    size_t looked = 0;
    for (const uint32_t column : {1, 2, 3, 1}) {
        cache.name(ids({1, 3, 6, 1, 2, 1, 2, 2, 1, column, 7}), name);
        QCOMPARE(cache.size(), std::min<size_t>(++looked, 2));
    }
    QCOMPARE(name, std::string("IF-MIB::ifIndex.7"));
    QCOMPARE(cache.counts().cached, 4u);
}

QTEST_GUILESS_MAIN(TestRowRender)
#include "tst_rowrender.moc"
