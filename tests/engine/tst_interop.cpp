// SPDX-License-Identifier: MIT
// Recorded real devices served by snmpsim, an agent Net-SNMP did not write:
// walks through the query run, every row against the recording, which is
// read here on its own ("oid|tag|value", the tag in decimal, an "x" after
// it when the value is in hex).
#include "tests/engine/fakehost.h"
#include "tests/support/snmpsimagent.h"
#include "tests/support/v3users.h"

#include <QFile>
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

} // namespace

class TestInterop final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void walkMatchesTheRecording_data();
    void walkMatchesTheRecording();

private:
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
    // Its own SNMPv3 users, one for each way of extending a short hash to an
    // AES-256 or AES-192 key: pysnmp's AES256BLMT is Net-SNMP's AES-256, its
    // AES192 Net-SNMP's AES-192-C.
    m_agent.addArguments({"--v3-user=" + v3users::userName(AuthProtocol::SHA256, PrivProtocol::AES256),
                          "--v3-auth-key=" + QLatin1String(v3users::AuthPassphrase), "--v3-auth-proto=SHA256",
                          "--v3-priv-key=" + QLatin1String(v3users::PrivPassphrase), "--v3-priv-proto=AES256BLMT",
                          "--v3-user=" + v3users::userName(AuthProtocol::MD5, PrivProtocol::AES192C),
                          "--v3-auth-key=" + QLatin1String(v3users::AuthPassphrase), "--v3-auth-proto=MD5",
                          "--v3-priv-key=" + QLatin1String(v3users::PrivPassphrase), "--v3-priv-proto=AES192"});
    QVERIFY2(m_agent.start(m_recordings), qPrintable(m_agent.log()));
}

void TestInterop::walkMatchesTheRecording_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("subtree");
    QTest::addColumn<int>("opaqueRows");
    QTest::addColumn<bool>("v2c");
    QTest::addColumn<int>("counter64Rows");
    QTest::addColumn<QString>("v3User"); // SNMPv3 at authPriv with this user of snmpsim's, the device as context
    QTest::newRow("Linux system") << "linux" << "1.3.6.1.2.1.1" << 0 << false << 0 << QString();
    QTest::newRow("Linux addresses, hex") << "linux" << "1.3.6.1.2.1.4.20" << 0 << false << 0 << QString();
    QTest::newRow("Linux tcpConnTable, an address as text") << "linux" << "1.3.6.1.2.1.6.13.1.4" << 0 << false << 0 << QString();
    QTest::newRow("Linux IP statistics, Counter64 left out") << "linux" << "1.3.6.1.2.1.4.31.1.1" << 0 << false << 0 << QString();
    QTest::newRow("Linux UCD-SNMP-MIB, laLoadFloat") << "linux" << "1.3.6.1.4.1.2021" << 3 << false << 0 << QString();
    QTest::newRow("Windows XP interfaces") << "winxp" << "1.3.6.1.2.1.2" << 0 << false << 0 << QString();
    QTest::newRow("Cisco switch description, CR LF") << "cisco" << "1.3.6.1.2.1.1.1" << 0 << false << 0 << QString();
    QTest::newRow("Cisco switch hardware addresses") << "cisco" << "1.3.6.1.2.1.2.2.1.6" << 0 << false << 0 << QString();
    QTest::newRow("HP switch system") << "hp" << "1.3.6.1.2.1.1" << 0 << false << 0 << QString();
    QTest::newRow("Linux ifXTable, v2c") << "linux" << "1.3.6.1.2.1.31.1.1" << 0 << true << 16 << QString();
    QTest::newRow("Linux IP statistics, v2c") << "linux" << "1.3.6.1.2.1.4.31.1.1" << 0 << true << 12 << QString();
    QTest::newRow("Cisco switch ifXTable, v2c") << "cisco" << "1.3.6.1.2.1.31.1.1" << 0 << true << 428 << QString();
    QTest::newRow("Linux UCD-SNMP-MIB, v2c") << "linux" << "1.3.6.1.4.1.2021" << 3 << true << 0 << QString();
    QTest::newRow("Linux ifXTable, SNMPv3 SHA-256/AES-256")
        << "linux" << "1.3.6.1.2.1.31.1.1" << 0 << true << 16 << v3users::userName(AuthProtocol::SHA256, PrivProtocol::AES256);
    QTest::newRow("Cisco switch ifXTable, SNMPv3 MD5/AES-192-C")
        << "cisco" << "1.3.6.1.2.1.31.1.1" << 0 << true << 428 << v3users::userName(AuthProtocol::MD5, PrivProtocol::AES192C);
}

void TestInterop::walkMatchesTheRecording()
{
    QFETCH(QString, device);
    QFETCH(QString, subtree);
    QFETCH(int, opaqueRows);
    QFETCH(bool, v2c);
    QFETCH(int, counter64Rows);
    QFETCH(QString, v3User);
    std::vector<uint32_t> root;
    for (const QString &id : subtree.split(QLatin1Char('.')))
        root.push_back(id.toUInt());
    QStringList expected;
    for (const Record &record : recorded(m_recordings.value(device), root, v2c))
        expected.append(record.row);
    QVERIFY(expected.size() > 0);

    FakeHost host;
    host.setInputs(m_agent.address(), device, subtree, Operation::Walk);
    host.version = v2c ? SnmpVersion::V2c : SnmpVersion::V1;
    if (!v3User.isEmpty()) {
        host.security = v3users::securityOf(v3User);
        host.security->context = device.toStdString();
    }
    host.timeout = 3000; // Python on a loaded machine
    host.retryCount = 1;
    QCOMPARE(run(host), QString());
    QStringList rows;
    int opaque = 0;
    int counter64 = 0;
    for (const ResultRow &row : host.rows) {
        rows.append(QString::fromStdString(row.oid + " | " + row.type + " | " + row.value));
        opaque += row.type == "Opaque";
        counter64 += row.type == "Counter64";
    }
    QCOMPARE(rows, expected);
    QCOMPARE(opaque, opaqueRows);
    QCOMPARE(counter64, counter64Rows);
}

QTEST_GUILESS_MAIN(TestInterop)
#include "tst_interop.moc"
