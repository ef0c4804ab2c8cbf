// SPDX-License-Identifier: MIT
// Recorded real devices served by snmpsim, an agent Net-SNMP did not write:
// walks through the query run, every row against the recording, which is
// read here on its own ("oid|tag|value", the tag in decimal, an "x" after
// it when the value is in hex). With MIB Values, the rows against Net-SNMP's
// own rendering of the same bindings by the same MIB tree.
#include "engine/mib/mibinfo.h"
#include "engine/mib/mibrender.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidname.h"
#include "engine/mib/oidtext.h"
#include "engine/query/rowbinding.h"
#include "engine/recording/recordinglines.h"
#include "engine/tables/mibtables.h"
#include "tests/engine/fakehost.h"
#include "tests/support/snmpsimagent.h"
#include "tests/support/v3users.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <map>

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

struct Line
{
    std::vector<uint32_t> oid;
    QByteArray oidText, tag, value;
};

// A recording's lines in the agent's order, read once: each row of the Cisco
// switch would unpack and parse its 51,000 lines again.
const std::vector<Line> &recordingLines(const QString &path)
{
    static std::map<QString, std::vector<Line>> read;
    auto [it, added] = read.try_emplace(path);
    if (!added)
        return it->second;
    QProcess unpack;
    unpack.start(QStringLiteral("gzip"), {QStringLiteral("-dcf"), path});
    unpack.waitForFinished(30000);
    for (const QByteArray &line : unpack.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split('|');
        if (fields.size() < 3)
            continue;
        Line parsed{{}, fields[0], fields[1], line.mid(fields[0].size() + fields[1].size() + 2)};
        for (const QByteArray &id : fields[0].split('.'))
            parsed.oid.push_back(id.toUInt());
        it->second.push_back(std::move(parsed));
    }
    std::ranges::sort(it->second, {}, &Line::oid);
    return it->second;
}

// The recording's bindings inside the subtree, in the agent's order.
std::vector<Record> recorded(const QString &path, const std::vector<uint32_t> &subtree, bool v2c)
{
    std::vector<Record> records;
    for (const Line &line : recordingLines(path)) {
        if (line.oid.size() < subtree.size() || !std::equal(subtree.begin(), subtree.end(), line.oid.begin()))
            continue;
        const bool hex = line.tag.endsWith('x');
        const auto [type, text] = rendered(line.tag.chopped(hex ? 1 : 0).toInt(), line.value,
                                           hex ? QByteArray::fromHex(line.value) : line.value, v2c);
        if (!type.isNull())
            records.push_back({line.oid, QStringLiteral(".%1 | %2 | %3").arg(QString::fromLatin1(line.oidText), type, text)});
    }
    return records;
}

// snprint_value of the binding without its type, strings unquoted.
QString netSnmpText(const SnmpVarBind &binding)
{
    std::vector<oid> name(binding.name.ids.begin(), binding.name.ids.end());
    netsnmp_variable_list *list = nullptr;
    const AsnAny &value = binding.value;
    if (value.asnType == asn::OctetString && value.bytes.empty())
        return QString(); // "", unquoted; a list given no bytes has no value to print
    const long number = value.number;
    if (value.asnType == asn::Integer32)
        snmp_varlist_add_variable(&list, name.data(), name.size(), ASN_INTEGER, &number, sizeof number);
    else if (value.asnType == asn::ObjectIdentifier) {
        const std::vector<oid> object(value.object.ids.begin(), value.object.ids.end());
        snmp_varlist_add_variable(&list, name.data(), name.size(), ASN_OBJECT_ID, object.data(), object.size() * sizeof(oid));
    } else if (value.asnType == asn::OctetString)
        snmp_varlist_add_variable(&list, name.data(), name.size(), ASN_OCTET_STR, value.bytes.data(), value.bytes.size());
    else
        snmp_varlist_add_variable(&list, name.data(), name.size(), value.asnType, &value.unsigned32, sizeof value.unsigned32);
    char text[8192];
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICKE_PRINT, 1);
    snprint_value(text, sizeof text, name.data(), name.size(), list);
    snmp_free_varbind(list);
    // Hinted strings come with their type all the same.
    QString shown = QString::fromUtf8(text).remove(QRegularExpression(QStringLiteral("^(STRING|INTEGER|OID|Gauge32|Counter32): ")));
    if (shown.size() >= 2 && shown.startsWith(u'"') && shown.endsWith(u'"'))
        shown = shown.mid(1, shown.size() - 2);
    return shown;
}

QString hexOf(const std::string &bytes, const char *separator)
{
    return QString::fromLatin1(QByteArray::fromStdString(bytes).toHex(*separator));
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
    void mibValuesAsNetSnmpRendersThem_data();
    void mibValuesAsNetSnmpRendersThem();
    void namesResolved_data();
    void namesResolved();
    void tablesOfTheRecording_data();
    void tablesOfTheRecording();
    void recordingServedAgain_data();
    void recordingServedAgain();
    void namesFollowModulesAddedAtRunTime(); // last: the modules stay loaded

private:
    std::pair<QStringList, QStringList> eventNames(); // the rows' names, and the full conversion's
    // The rows of an SNMPv2c walk of the subtree, taken from a walk already
    // made of it or of a subtree holding it (the agent serves the same
    // recording all along, and a Python agent is slow): null when it failed.
    const std::vector<ResultRow> *rowsUnder(const QString &device, const QString &subtree);

    SnmpsimAgent m_agent;
    std::unique_ptr<SnmpsimAgent> m_replay; // serving the recordings written of the walks
    std::map<std::pair<QString, QString>, std::vector<ResultRow>> m_walks; // by device and subtree
    QMap<QString, QString> m_recordings{
        {QStringLiteral("linux"), SnmpsimAgent::example(QStringLiteral("recorded/linux-full-walk.snmprec.gz"))},
        {QStringLiteral("winxp"), SnmpsimAgent::example(QStringLiteral("recorded/winxp-full-walk.snmprec.gz"))},
        {QStringLiteral("cisco"), SnmpsimAgent::example(QStringLiteral("cisco_16_switch.snmprec.gz"))},
        {QStringLiteral("hp"), SnmpsimAgent::example(QStringLiteral("hp_perf.snmprec.gz"))},
        {QStringLiteral("tcp"), SnmpsimAgent::example(QStringLiteral("mib2dev/tcp-mib.snmprec"))},
        {QStringLiteral("udp"), SnmpsimAgent::example(QStringLiteral("recorded/udp-endpoint-table-walk.snmprec"))},
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
    QTest::newRow("Linux whole walk, v2c") << "linux" << "1" << 3 << true << 28 << QString();
    QTest::newRow("Windows XP whole walk, v2c") << "winxp" << "1" << 0 << true << 0 << QString();
    QTest::newRow("Cisco switch whole walk, v2c") << "cisco" << "1" << 0 << true << 9439 << QString();
    // snmpsim serves the HP recording up to its bridge forwarding table's
    // numbers with leading zeros, and nothing after them.
    QTest::newRow("HP switch ipNetToMediaTable, v2c") << "hp" << "1.3.6.1.2.1.4" << 0 << true << 0 << QString();
    QTest::newRow("HP switch dot1dBase, v2c") << "hp" << "1.3.6.1.2.1.17.1" << 0 << true << 0 << QString();
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
    host.transport.version = v2c ? SnmpVersion::V2c : SnmpVersion::V1;
    host.transport.timeOut = 3000; // Python on a loaded machine
    host.transport.retries = 1;
    if (!v3User.isEmpty()) {
        host.security = v3users::securityOf(v3User);
        host.security->context = device.toStdString();
    }
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
    // Every row's name as the full conversion has it; most of those whose
    // instance prints as plain numbers from the name cache (an index that
    // Net-SNMP prints by its type, "ipv4", takes the full conversion).
    QCOMPARE(names, fullNames);
    static const QRegularExpression plain(QStringLiteral("::[A-Za-z0-9-]+(\\.\\d+)+$"));
    const auto plainRows = std::ranges::count_if(names, [](const QString &name) { return plain.match(name).hasMatch(); });
    QVERIFY(OidNameCache::local().counts().cached - before.cached >= uint64_t(plainRows) / 2);
    QCOMPARE(opaque, opaqueRows);
    QCOMPARE(counter64, counter64Rows);
    if (v2c && v3User.isEmpty())
        m_walks[{device, subtree}] = std::move(host.rows);
}

const std::vector<ResultRow> *TestInterop::rowsUnder(const QString &device, const QString &subtree)
{
    const std::string prefix = '.' + subtree.toStdString() + '.';
    for (const auto &[key, rows] : m_walks) {
        if (key.first != device || !prefix.starts_with('.' + key.second.toStdString() + '.'))
            continue;
        std::vector<ResultRow> under;
        std::ranges::copy_if(rows, std::back_inserter(under), [&](const ResultRow &row) { return row.oid.starts_with(prefix); });
        return &(m_walks[{device, subtree}] = std::move(under));
    }
    FakeHost host;
    host.setInputs(m_agent.address(), device, subtree, Operation::Walk);
    host.transport = {3000, 1, SnmpVersion::V2c};
    if (const QString error = run(host); !error.isEmpty()) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    return &(m_walks[{device, subtree}] = std::move(host.rows));
}

void TestInterop::mibValuesAsNetSnmpRendersThem_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("subtree");
    QTest::addColumn<QList<int>>("least"); // rows checked at least: enums, units, OID and text values, MACs, dates, InetAddresses
    QTest::newRow("Linux interfaces") << "linux" << "1.3.6.1.2.1.2" << QList<int>{6, 0, 2, 2, 2, 0, 0};
    QTest::newRow("Linux memory, kB") << "linux" << "1.3.6.1.4.1.2021.4" << QList<int>{1, 8, 0, 2, 0, 0, 0};
    QTest::newRow("Linux host resources, DateAndTime") << "linux" << "1.3.6.1.2.1.25.1" << QList<int>{0, 0, 0, 0, 0, 1, 0};
    QTest::newRow("Cisco system, CR LF") << "cisco" << "1.3.6.1.2.1.1" << QList<int>{0, 0, 103, 106, 0, 0, 0};
    QTest::newRow("Cisco interfaces") << "cisco" << "1.3.6.1.2.1.2" << QList<int>{177, 0, 0, 59, 59, 0, 0};
    QTest::newRow("tcpConnectionTable, text of 20 bytes typed ipv4z(3)") << "tcp" << "1.3.6.1.2.1.6.19" << QList<int>{3, 0, 0, 0, 0, 0, 2};
}

// Every row of a walk with MIB Values on, by way of its texts: enums, units,
// OID values and texts as snprint_value gives them, line breaks marked; MACs
// and dates in their formats. (Rows the modules do not cover show their own
// text.)
void TestInterop::mibValuesAsNetSnmpRendersThem()
{
    QFETCH(QString, device);
    QFETCH(QString, subtree);
    QFETCH(QList<int>, least);
    const std::vector<ResultRow> *rows = rowsUnder(device, subtree);
    QVERIFY(rows && !rows->empty());
    static const QRegularExpression mac(QStringLiteral("^[0-9a-f]{2}(:[0-9a-f]{2})*$"));
    static const QRegularExpression date(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d(\\.\\d)?( [+-]\\d\\d:\\d\\d)?$"));
    QList<int> checked(7, 0);
    std::map<std::vector<uint32_t>, int64_t> addressTypes; // what an InetAddress of the walk is read by
    for (const ResultRow &row : *rows)
        if (row.role == RowRole::AddressType)
            addressTypes[parseOidText(row.oid)] = std::stoll(row.value);
    const MibRowLookup lookup = [&](std::span<const uint32_t> oid) {
        const auto found = addressTypes.find({oid.begin(), oid.end()});
        return found != addressTypes.end() ? std::optional(found->second) : std::nullopt;
    };
    for (const ResultRow &row : *rows) {
        const auto binding = bindingFromRow(row.oid, row.type, row.value, row.binding);
        QVERIFY2(binding, row.oid.c_str());
        QCOMPARE(renderBinding(*binding).value, row.value); // the binding the row was rendered from
        const MibObject *object = mibObject(binding->name.ids);
        const auto text = object ? mibValueText(*binding, *object, lookup) : std::nullopt;
        const QString mine = QString::fromStdString(text.value_or(row.value));
        if (!text && object && object->textualConvention == "InetAddress") {
            QCOMPARE(mine, netSnmpText(*binding)); // the bytes, as no address
            ++checked[6];
        }
        if (!text)
            continue; // shown as the row's own text, as with MIB Values off
        QString netSnmp = netSnmpText(*binding);
        int kind = -1;
        if (!object->enums.empty())
            kind = 0;
        else if (!object->units.empty())
            kind = 1;
        else if (object->syntax == MibSyntax::ObjectIdentifier || object->hint == "255a") {
            kind = object->syntax == MibSyntax::ObjectIdentifier ? 2 : 3;
            netSnmp.replace(QStringLiteral("\r\n"), QStringLiteral("\u21B5")).replace(u'\n', u'\u21B5');
        } else if (object->hint == "1x:") {
            kind = 4;
            netSnmp = hexOf(binding->value.bytes, ":"); // Net-SNMP leaves out the zeros: 0:16:c7:2:6e:c0
            QVERIFY2(mine.isEmpty() || mac.match(mine).hasMatch(), qPrintable(mine));
        } else if (object->textualConvention == "DateAndTime") {
            kind = 5;
            QVERIFY2(date.match(mine).hasMatch(), qPrintable(mine));
            netSnmp = mine; // its format was checked; the numbers come from the bytes below
            QVERIFY(mine.startsWith(QString::number(uint8_t(binding->value.bytes[0]) * 256 + uint8_t(binding->value.bytes[1]))));
        }
        if (kind < 0)
            continue;
        QCOMPARE(mine, netSnmp);
        ++checked[kind];
    }
    for (int kind = 0; kind < least.size(); ++kind)
        QVERIFY2(checked[kind] >= least[kind], qPrintable(QStringLiteral("kind %1: %2 rows").arg(kind).arg(checked[kind])));
}

void TestInterop::namesResolved_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("Linux host") << "linux";
    QTest::newRow("Cisco switch") << "cisco";
}

// The share of a whole walk's rows whose object the modules at hand define,
// as the Name column shows them; the column and the MIB lookup must agree.
void TestInterop::namesResolved()
{
    QFETCH(QString, device);
    const std::vector<Record> records = recorded(m_recordings.value(device), {1}, true);
    int resolved = 0;
    for (const Record &record : records) {
        const MibObject *object = mibObject(record.oid);
        const AsnObjectIdentifier id{record.oid};
        char *name = nullptr;
        QVERIFY(SnmpMgrOidToStr(&id, &name));
        const SnmpText owned(name);
        if (object) {
            ++resolved;
            QVERIFY2(QByteArray(owned.get()).contains("::" + QByteArray::fromStdString(object->label)), owned.get());
        }
    }
    QVERIFY(resolved > 0);
    qInfo("%s: %d of %d rows (%.1f%%) name an object the modules define", qPrintable(device), resolved,
          int(records.size()), 100.0 * resolved / double(records.size()));
}

// The tables a walk of a real device holds, found by their shape and named by
// the MIBs Norvane loads.
void TestInterop::tablesOfTheRecording_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("subtree");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QStringList>("columns"); // the first ones
    QTest::addColumn<QString>("firstIndex");
    QTest::addColumn<QString>("mibIndex"); // as the module's INDEX clause reads it
    const QString mib2 = QStringLiteral("1.3.6.1.2.1");
    QTest::newRow("Cisco ifTable") << "cisco" << mib2 << "ifTable" << 59
                                   << QStringList{"ifIndex", "ifDescr", "ifType", "ifMtu", "ifSpeed", "ifPhysAddress"}
                                   << "1" << "ifIndex=1";
    QTest::newRow("Cisco ifXTable, Counter64 columns too") << "cisco" << mib2 << "ifXTable" << 59
                                                           << QStringList{"ifName", "ifInMulticastPkts"} << "1" << "ifIndex=1";
    QTest::newRow("Cisco ipNetToMediaTable: interface and address")
        << "cisco" << mib2 << "ipNetToMediaTable" << 85
        << QStringList{"ipNetToMediaIfIndex", "ipNetToMediaPhysAddress", "ipNetToMediaNetAddress", "ipNetToMediaType"}
        << "60.10.204.88.1" << "ipNetToMediaIfIndex=60|ipNetToMediaNetAddress=10.204.88.1";
    QTest::newRow("Cisco atTable: a tagged NetworkAddress")
        << "cisco" << mib2 << "atTable" << 85 << QStringList{"atIfIndex", "atPhysAddress", "atNetAddress"}
        << "60.1.10.204.88.1" << "atIfIndex=60|atNetAddress=10.204.88.1";
    QTest::newRow("Cisco snmpTargetAddrTable, an IMPLIED string")
        << "cisco" << "1.3.6.1.6.3.12" << "snmpTargetAddrTable" << 21 << QStringList{"snmpTargetAddrTDomain"}
        << "traphost.Prof.10.204.53.52.162" << "snmpTargetAddrName=\"traphost.Prof.10.204.53.52.162\"";
    QTest::newRow("Linux laTable") << "linux" << "1.3.6.1.4.1.2021" << "laTable" << 3
                                   << QStringList{"laIndex", "laNames", "laLoad", "laConfig", "laLoadInt",
                                                  "laLoadFloat", "laErrorFlag", "laErrMessage"}
                                   << "1" << "laIndex=1";
    QTest::newRow("Linux hrStorageTable") << "linux" << "1.3.6.1.2.1.25" << "hrStorageTable" << 8
                                          << QStringList{"hrStorageIndex", "hrStorageType", "hrStorageDescr",
                                                         "hrStorageAllocationUnits", "hrStorageSize", "hrStorageUsed"}
                                          << "1" << "hrStorageIndex=1";
    QTest::newRow("udpEndpointTable: InetAddress indexes, one column")
        << "udp" << "1.3.6.1.2.1.7.7" << "udpEndpointTable" << 20 << QStringList{"udpEndpointProcess"}
        << "1.4.0.0.0.0.37.1.4.0.0.0.0.0.13480"
        << "udpEndpointLocalAddressType=ipv4(1)|udpEndpointLocalAddress=0.0.0.0|udpEndpointLocalPort=37|"
           "udpEndpointRemoteAddressType=ipv4(1)|udpEndpointRemoteAddress=0.0.0.0|udpEndpointRemotePort=0|"
           "udpEndpointInstance=13480";
}

void TestInterop::tablesOfTheRecording()
{
    QFETCH(QString, device);
    QFETCH(QString, subtree);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    const std::vector<ResultRow> *walked = rowsUnder(device, subtree);
    QVERIFY(walked);
    struct Rows final : OidSource
    {
        const std::vector<ResultRow> &rows;
        explicit Rows(const std::vector<ResultRow> &r) : rows(r) {}
        int rowCount() const override { return int(rows.size()); }
        std::string_view oidText(int row) const override { return rows[size_t(row)].oid; }
    } rows(*walked);
    const std::vector<FoundTable> tables = buildTables(SortedOids(rows), ShapeTableProvider());
    const std::vector<FoundTable> byMib = buildTables(SortedOids(rows), MibTableProvider());
    // No table lies inside a column of another.
    for (const FoundTable &outer : tables)
        for (const FoundTable &inner : tables)
            QVERIFY2(inner.schema.entry.size() <= outer.schema.entry.size() || !std::ranges::equal(outer.schema.entry,
                         std::span(inner.schema.entry).first(outer.schema.entry.size())), qPrintable(inner.schema.name));
    const auto found = std::ranges::find(tables, table, [](const FoundTable &t) { return t.schema.name; });
    QVERIFY(found != tables.end());
    QTEST(found->rowCount, "rowCount");
    QStringList names;
    for (const TableColumn &column : found->schema.columns)
        names << column.name;
    QCOMPARE(names.mid(0, columns.size()), columns);
    QTEST(found->schema.decoder->decode(found->indexOf(0, rows)).join(u'|'), "firstIndex");
    // The same table by its module: the index read by the INDEX clause.
    const auto mib = std::ranges::find(byMib, table, [](const FoundTable &t) { return t.schema.name; });
    QVERIFY(mib != byMib.end());
    QStringList parts;
    const QStringList values = mib->schema.decoder->decode(mib->indexOf(0, rows));
    for (qsizetype i = 0; i < values.size(); ++i)
        parts << mib->schema.indexParts.value(i) + u'=' + values[i];
    QTEST(parts.join(u'|'), "mibIndex");
    // Every row of the table's subtree is a cell.
    const qsizetype cells = std::ranges::count_if(found->cells, [](int32_t r) { return r >= 0; });
    QString prefix;
    for (const uint32_t id : found->schema.entry)
        prefix += QLatin1Char('.') + QString::number(id);
    QCOMPARE(cells, std::ranges::count_if(*walked, [&](const ResultRow &r) {
                 return QString::fromStdString(r.oid).startsWith(prefix + QLatin1Char('.'));
             }));
}

void TestInterop::recordingServedAgain_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("format");
    for (const char *device : {"linux", "winxp", "cisco", "hp"}) {
        for (const char *format : {"snmprec", "snmpwalk"})
            QTest::addRow("%s, .%s", device, format) << device << format;
    }
}

// A whole walk written as a recording (snmpsim's, and walk text), served by
// snmpsimd and walked again: the same rows, byte for byte, name and binding too.
void TestInterop::recordingServedAgain()
{
    QFETCH(QString, device);
    QFETCH(QString, format);
    static QTemporaryDir dir;
    if (!m_replay) {
        QMap<QString, QString> written;
        for (const QString d : {"linux", "winxp", "cisco", "hp"}) {
            const std::vector<ResultRow> *rows = rowsUnder(d, QStringLiteral("1"));
            QVERIFY(rows && rows->size() > 100);
            struct Bindings final : BindingRows
            {
                const std::vector<ResultRow> &rows;
                explicit Bindings(const std::vector<ResultRow> &r) : rows(r) {}
                size_t rowCount() const override { return rows.size(); }
                std::optional<SnmpVarBind> binding(size_t i) const override
                {
                    return bindingFromRow(rows[i].oid, rows[i].type, rows[i].value, rows[i].binding);
                }
                std::string rowText(size_t i) const override { return rows[i].oid; }
            } bindings(*rows);
            for (const QString f : {"snmprec", "snmpwalk"}) {
                RecordingLines lines;
                QCOMPARE(lines.prepare(bindings, f == "snmprec" ? RecordingFormat::Snmprec : RecordingFormat::WalkText),
                         std::string());
                QFile file(dir.filePath(d + '.' + f));
                QVERIFY(file.open(QIODevice::WriteOnly));
                for (std::string line; lines.next(line);)
                    file.write(line.data(), qint64(line.size()));
                written.insert(d + '-' + f, file.fileName());
            }
        }
        m_replay = std::make_unique<SnmpsimAgent>();
        QVERIFY2(m_replay->start(written), qPrintable(m_replay->log()));
    }
    const std::vector<ResultRow> *walked = rowsUnder(device, QStringLiteral("1"));
    QVERIFY(walked);
    FakeHost host;
    host.setInputs(m_replay->address(), device + '-' + format, QStringLiteral("1"), Operation::Walk);
    host.transport = {3000, 1, SnmpVersion::V2c};
    QCOMPARE(run(host), QString());
    QCOMPARE(host.rows.size(), walked->size());
    for (size_t i = 0; i < walked->size(); ++i) {
        const ResultRow &a = (*walked)[i];
        const ResultRow &b = host.rows[i];
        QCOMPARE(QByteArray::fromStdString(b.oid + '|' + b.name + '|' + b.type + '|' + b.value + '|' + b.binding),
                 QByteArray::fromStdString(a.oid + '|' + a.name + '|' + a.type + '|' + a.value + '|' + a.binding));
    }
}

std::pair<QStringList, QStringList> TestInterop::eventNames()
{
    FakeHost host;
    host.setInputs(m_agent.address(), QStringLiteral("linux"), QStringLiteral("1.3.6.1.2.1.88"), Operation::Walk);
    host.transport.version = SnmpVersion::V2c;
    host.transport.timeOut = 3000;
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

// DISMAN-EVENT-MIB is not in the MIB folder: its names are numeric until a
// module naming part of it is added, with an index Net-SNMP shows as a
// string; the cached names follow, row for row as the full conversion.
void TestInterop::namesFollowModulesAddedAtRunTime()
{
    static const std::pair<const char *, const char *> modules[] = {
        {"NORVANE-TEST-MIB::testEventName.", R"(NORVANE-TEST-MIB DEFINITIONS ::= BEGIN
IMPORTS OBJECT-TYPE, mib-2 FROM SNMPv2-SMI;
testEventEntry OBJECT-TYPE SYNTAX TestEventEntry MAX-ACCESS not-accessible STATUS current
    DESCRIPTION "mteTriggerEntry, its index read as one string" INDEX { IMPLIED testEventName } ::= { mib-2 88 1 3 1 1 }
TestEventEntry ::= SEQUENCE { testEventName OCTET STRING }
testEventName OBJECT-TYPE SYNTAX OCTET STRING MAX-ACCESS read-only STATUS current DESCRIPTION ""
    ::= { testEventEntry 3 }
END
)"},
    };
    auto [names, fullNames] = eventNames();
    QVERIFY(names.size() > 50);
    QCOMPARE(names, fullNames);
    for (const auto &[name, text] : modules) {
        QTemporaryDir dir;
        QFile module(dir.filePath(QStringLiteral("module.txt")));
        QVERIFY(module.open(QIODevice::WriteOnly) && module.write(text) > 0 && module.flush());
        const OidNameCache::Counts before = OidNameCache::local().counts();
        SnmpMgrConfigure({dir.path().toStdString()});
        std::tie(names, fullNames) = eventNames();
        QCOMPARE(names, fullNames);
        QVERIFY2(std::ranges::any_of(names, [name](const QString &n) { return n.startsWith(QLatin1String(name)); }), name);
        QVERIFY(OidNameCache::local().counts().full > before.full); // the string index, row by row
    }
}

QTEST_GUILESS_MAIN(TestInterop)
#include "tst_interop.moc"
