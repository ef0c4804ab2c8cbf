// SPDX-License-Identifier: MIT
// Recorded real devices served by snmpsim, an agent Net-SNMP did not write:
// walks through the query run, every row against the recording, which is
// read here on its own ("oid|tag|value", the tag in decimal, an "x" after
// it when the value is in hex).
#include "engine/oidname.h"
#include "tests/engine/fakehost.h"
#include "tests/support/snmpsimagent.h"

#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QTest>

#include <algorithm>

namespace {

struct Record
{
    std::vector<uint32_t> oid;
    QString row; // "oid | type | value" as a row shows it
};

QString hexDump(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes)
        text += QStringLiteral("%1 ").arg(uint8_t(c), 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

// The type and value texts a row shows, or a null type for what
// snmpsim leaves out of SNMPv1 answers, walking on past it: Counter64 (70).
std::pair<QString, QString> rendered(int tag, const QByteArray &text, const QByteArray &bytes, bool v2c)
{
    static const QMap<int, QString> numbers{{2, QStringLiteral("Integer32")}, {65, QStringLiteral("Counter32")},
                                            {66, QStringLiteral("Gauge32")}};
    if (numbers.contains(tag))
        return {numbers.value(tag), QString::fromLatin1(text)};
    switch (tag) {
    case 4: {
        const bool readable = std::all_of(bytes.begin(), bytes.end(), [](char c) {
            return c == 0 || (uint8_t(c) >= 0x20 && uint8_t(c) <= 0x7F);
        });
        return {QStringLiteral("Octet String"), readable ? QString::fromLatin1(bytes.constData()) : hexDump(bytes)};
    }
    case 6:
        return {QStringLiteral("Object Identifier"), QLatin1Char('.') + QString::fromLatin1(text)};
    case 64:
        return {QStringLiteral("IpAddress"), QStringLiteral("%1.%2.%3.%4")
                                                 .arg(uint8_t(bytes.at(0))).arg(uint8_t(bytes.at(1)))
                                                 .arg(uint8_t(bytes.at(2))).arg(uint8_t(bytes.at(3)))};
    case 67: {
        const qulonglong t = text.toULongLong();
        const qulonglong s = t / 100 % 86400;
        return {QStringLiteral("TimeTicks"), QStringLiteral("%1 (%2 days, %3 hours, %4 minutes, %5 seconds)")
                                                 .arg(t).arg(t / 100 / 86400).arg(s / 3600).arg(s % 3600 / 60).arg(s % 60)};
    }
    case 68:
        return {QStringLiteral("Opaque"), hexDump(bytes)};
    case 70:
        return v2c ? std::pair{QStringLiteral("Counter64"), QString::fromLatin1(text)} : std::pair<QString, QString>{};
    default:
        return {};
    }
}

// The recording's bindings inside the subtree, in the agent's order.
std::vector<Record> recorded(const QString &path, const std::vector<uint32_t> &subtree, bool v2c)
{
    QProcess unpack;
    unpack.start(QStringLiteral("gzip"), {QStringLiteral("-dcf"), path});
    unpack.waitForFinished(30000);
    std::vector<Record> records;
    for (const QByteArray &line : unpack.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split('|');
        if (fields.size() < 3)
            continue;
        std::vector<uint32_t> oid;
        for (const QByteArray &id : fields[0].split('.'))
            oid.push_back(id.toUInt());
        if (oid.size() < subtree.size() || !std::equal(subtree.begin(), subtree.end(), oid.begin()))
            continue;
        const QByteArray value = line.mid(fields[0].size() + fields[1].size() + 2);
        const bool hex = fields[1].endsWith('x');
        const auto [type, text] = rendered(fields[1].chopped(hex ? 1 : 0).toInt(), value,
                                           hex ? QByteArray::fromHex(value) : value, v2c);
        if (!type.isNull())
            records.push_back({oid, QStringLiteral(".%1 | %2 | %3").arg(QString::fromLatin1(fields[0]), type, text)});
    }
    std::sort(records.begin(), records.end(), [](const Record &a, const Record &b) { return a.oid < b.oid; });
    return records;
}

// The name as SnmpMgrOidToStr's full conversion gives it.
QString fullName(const std::vector<uint32_t> &ids)
{
    const AsnObjectIdentifier oid{ids};
    char *text = nullptr;
    SnmpMgrOidToStr(&oid, &text);
    const SnmpText owned(text);
    return QString::fromLatin1(owned.get());
}

} // namespace

class TestInterop final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void walkMatchesTheRecording_data();
    void walkMatchesTheRecording();
    void namesFollowModulesAddedAtRunTime(); // last: the modules stay loaded

private:
    std::pair<QStringList, QStringList> hostResourceNames(); // the rows' names, and the full conversion's
    SnmpsimAgent m_agent;
    QMap<QString, QString> m_recordings{
        {QStringLiteral("linux"), SnmpsimAgent::example(QStringLiteral("recorded/linux-full-walk.snmprec.gz"))},
        {QStringLiteral("winxp"), SnmpsimAgent::example(QStringLiteral("recorded/winxp-full-walk.snmprec.gz"))},
        {QStringLiteral("cisco"), SnmpsimAgent::example(QStringLiteral("cisco_16_switch.snmprec.gz"))},
        {QStringLiteral("hp"), SnmpsimAgent::example(QStringLiteral("hp_perf.snmprec.gz"))},
    };
};

void TestInterop::initTestCase()
{
    QVERIFY2(QFile::exists(m_recordings.first()), "snmpsim is missing: bash scripts/setup.sh installs it");
    QVERIFY2(m_agent.start(m_recordings), qPrintable(m_agent.log()));
}

void TestInterop::walkMatchesTheRecording_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("subtree");
    QTest::addColumn<int>("opaqueRows");
    QTest::addColumn<bool>("v2c");
    QTest::addColumn<int>("counter64Rows");
    QTest::newRow("Linux system") << "linux" << "1.3.6.1.2.1.1" << 0 << false << 0;
    QTest::newRow("Linux addresses, hex") << "linux" << "1.3.6.1.2.1.4.20" << 0 << false << 0;
    QTest::newRow("Linux tcpConnTable, an address as text") << "linux" << "1.3.6.1.2.1.6.13.1.4" << 0 << false << 0;
    QTest::newRow("Linux IP statistics, Counter64 left out") << "linux" << "1.3.6.1.2.1.4.31.1.1" << 0 << false << 0;
    QTest::newRow("Linux UCD-SNMP-MIB, laLoadFloat") << "linux" << "1.3.6.1.4.1.2021" << 3 << false << 0;
    QTest::newRow("Windows XP interfaces") << "winxp" << "1.3.6.1.2.1.2" << 0 << false << 0;
    QTest::newRow("Cisco switch description, CR LF") << "cisco" << "1.3.6.1.2.1.1.1" << 0 << false << 0;
    QTest::newRow("Cisco switch hardware addresses") << "cisco" << "1.3.6.1.2.1.2.2.1.6" << 0 << false << 0;
    QTest::newRow("HP switch system") << "hp" << "1.3.6.1.2.1.1" << 0 << false << 0;
    QTest::newRow("Linux ifXTable, v2c") << "linux" << "1.3.6.1.2.1.31.1.1" << 0 << true << 16;
    QTest::newRow("Linux IP statistics, v2c") << "linux" << "1.3.6.1.2.1.4.31.1.1" << 0 << true << 12;
    QTest::newRow("Cisco switch ifXTable, v2c") << "cisco" << "1.3.6.1.2.1.31.1.1" << 0 << true << 428;
    QTest::newRow("Linux UCD-SNMP-MIB, v2c") << "linux" << "1.3.6.1.4.1.2021" << 3 << true << 0;
    QTest::newRow("Linux whole walk, v2c") << "linux" << "1" << 3 << true << 28;
    QTest::newRow("Windows XP whole walk, v2c") << "winxp" << "1" << 0 << true << 0;
    QTest::newRow("Cisco switch whole walk, v2c") << "cisco" << "1" << 0 << true << 9439;
    // snmpsim serves the HP recording up to its bridge forwarding table's
    // numbers with leading zeros, and nothing after them.
    QTest::newRow("HP switch ipNetToMediaTable, v2c") << "hp" << "1.3.6.1.2.1.4" << 0 << true << 0;
    QTest::newRow("HP switch dot1dBase, v2c") << "hp" << "1.3.6.1.2.1.17.1" << 0 << true << 0;
}

void TestInterop::walkMatchesTheRecording()
{
    QFETCH(QString, device);
    QFETCH(QString, subtree);
    QFETCH(int, opaqueRows);
    QFETCH(bool, v2c);
    QFETCH(int, counter64Rows);
    std::vector<uint32_t> root;
    for (const QString &id : subtree.split(QLatin1Char('.')))
        root.push_back(id.toUInt());
    const std::vector<Record> records = recorded(m_recordings.value(device), root, v2c);
    QStringList expected;
    QStringList fullNames;
    for (const Record &record : records) {
        expected.append(record.row);
        fullNames.append(fullName(record.oid));
    }
    QVERIFY(expected.size() > 0);

    FakeHost host;
    host.setInputs(m_agent.address(), device, subtree, Operation::Walk);
    host.version = v2c ? SnmpVersion::V2c : SnmpVersion::V1;
    host.timeout = 3000; // Python on a loaded machine
    host.retryCount = 1;
    const OidNameCache::Counts before = OidNameCache::local().counts();
    QCOMPARE(run(host), QString());
    QStringList rows;
    QStringList names;
    int opaque = 0;
    int counter64 = 0;
    for (const ResultRow &row : host.rows) {
        rows.append(QString::fromStdString(row.oid + " | " + row.type + " | " + row.value));
        opaque += row.type == "Opaque";
        counter64 += row.type == "Counter64";
        names.append(QString::fromStdString(row.name));
    }
    QCOMPARE(rows, expected);
    // Every row's name as the full conversion has it, most from the name cache.
    QCOMPARE(names, fullNames);
    QVERIFY(OidNameCache::local().counts().cached - before.cached >= uint64_t(rows.size()) / 2);
    QCOMPARE(opaque, opaqueRows);
    QCOMPARE(counter64, counter64Rows);
}

std::pair<QStringList, QStringList> TestInterop::hostResourceNames()
{
    FakeHost host;
    host.setInputs(m_agent.address(), QStringLiteral("linux"), QStringLiteral("1.3.6.1.2.1.25"), Operation::Walk);
    host.version = SnmpVersion::V2c;
    host.timeout = 3000;
    std::pair<QStringList, QStringList> names;
    if (!run(host).isEmpty())
        return names;
    for (const ResultRow &row : host.rows) {
        std::vector<uint32_t> ids;
        for (const QString &id : QString::fromStdString(row.oid).mid(1).split(QLatin1Char('.')))
            ids.push_back(id.toUInt());
        names.first.append(QString::fromStdString(row.name));
        names.second.append(fullName(ids));
    }
    return names;
}

// HOST-RESOURCES-MIB is not in the MIB folder: its names are numeric until
// a module naming part of it is added (with an index Net-SNMP shows as a
// string); the nodes it passes through on the way stay anonymous, shown by
// number, until a second module names one of them in place.
void TestInterop::namesFollowModulesAddedAtRunTime()
{
    static const std::pair<const char *, const char *> modules[] = {
        {"NORVANE-TEST-MIB::testStorageName.'.'", R"(NORVANE-TEST-MIB DEFINITIONS ::= BEGIN
IMPORTS OBJECT-TYPE, mib-2 FROM SNMPv2-SMI;
testSystem OBJECT IDENTIFIER ::= { mib-2 25 1 }
testStorageEntry OBJECT-TYPE SYNTAX TestStorageEntry MAX-ACCESS not-accessible STATUS current
    DESCRIPTION "hrStorageEntry, its numbers read as a string" INDEX { IMPLIED testStorageName } ::= { mib-2 25 2 3 1 }
TestStorageEntry ::= SEQUENCE { testStorageName OCTET STRING }
testStorageName OBJECT-TYPE SYNTAX OCTET STRING MAX-ACCESS read-only STATUS current DESCRIPTION ""
    ::= { testStorageEntry 3 }
END
)"},
        {"NORVANE-TEST2-MIB::testHostResources.3.2.1.1.768", R"(NORVANE-TEST2-MIB DEFINITIONS ::= BEGIN
IMPORTS mib-2 FROM SNMPv2-SMI;
testHostResources OBJECT IDENTIFIER ::= { mib-2 25 }
END
)"},
    };
    auto [names, fullNames] = hostResourceNames();
    QVERIFY(names.size() > 1000);
    QCOMPARE(names, fullNames);
    for (const auto &[name, text] : modules) {
        QTemporaryDir dir;
        QFile module(dir.filePath(QStringLiteral("module.txt")));
        QVERIFY(module.open(QIODevice::WriteOnly) && module.write(text) > 0 && module.flush());
        const OidNameCache::Counts before = OidNameCache::local().counts();
        SnmpMgrConfigure({dir.path().toStdString()});
        std::tie(names, fullNames) = hostResourceNames();
        QCOMPARE(names, fullNames);
        QVERIFY2(names.contains(QLatin1String(name)), name);
        QVERIFY(OidNameCache::local().counts().full > before.full); // the string index, row by row
    }
}

QTEST_GUILESS_MAIN(TestInterop)
#include "tst_interop.moc"
