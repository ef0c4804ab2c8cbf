// SPDX-License-Identifier: MIT
// Recordings: every binding written as an snmpsim line and as walk text and
// read back the same; Net-SNMP's own forms read; bad input reported by line
// with the rest read on; two walks compared.
#include "engine/recording/linereader.h"
#include "engine/recording/recordingread.h"
#include "engine/recording/snmprec.h"
#include "engine/recording/walkdiff.h"
#include "engine/recording/walktext.h"
#include "tests/engine/fakehost.h"
#include "tests/support/files.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

SnmpVarBind bind(uint8_t tag, const QByteArray &content)
{
    SnmpVarBind b;
    b.name.ids = {1, 3, 6, 1, 4, 1, 99999, 7};
    b.value.asnType = tag;
    if (tag == asn::Integer32)
        b.value.number = content.toInt();
    else if (tag == asn::Counter64)
        b.value.counter64 = content.toULongLong();
    else if (tag >= asn::Counter32 && tag <= asn::TimeTicks && tag != asn::IpAddress)
        b.value.unsigned32 = content.toUInt();
    else if (tag == asn::Unsigned32)
        b.value.unsigned32 = content.toUInt();
    else if (tag == asn::ObjectIdentifier)
        for (const QByteArray &id : content.split('.'))
            b.value.object.ids.push_back(id.toUInt());
    else
        b.value.bytes = content.toStdString();
    return b;
}

auto fields(const SnmpVarBind &b)
{
    const AsnAny &v = b.value;
    return std::tie(b.name.ids, v.asnType, v.number, v.unsigned32, v.counter64, v.bytes, v.object.ids);
}

// What a file reads as: its rows as "oid | type | value", and its issues.
struct Read
{
    QStringList rows;
    QStringList issues;
    RecordingRead read;
};

Read readFile(const QString &path)
{
    FakeHost host;
    Read out;
    out.read = readRecording(QFile::encodeName(path).toStdString(), host, host.control);
    for (const ResultRow &row : host.rows)
        out.rows << QString::fromLatin1(QByteArray::fromStdString(row.oid + " | " + row.type + " | " + row.value));
    for (const std::string &issue : out.read.issues)
        out.issues << QString::fromStdString(issue);
    return out;
}

class Rows final : public WalkRows
{
public:
    explicit Rows(QList<QStringList> rows) : m_rows(std::move(rows))
    {
        for (QStringList &r : m_rows)
            for (const QString &f : r)
                m_bytes.push_back(f.toStdString());
    }
    size_t rowCount() const override { return size_t(m_rows.size()); }
    std::string_view oid(size_t row) const override { return m_bytes[row * 3]; }
    std::string_view name(size_t row) const override { return m_bytes[row * 3]; }
    std::string_view type(size_t row) const override { return m_bytes[row * 3 + 1]; }
    std::string_view value(size_t row) const override { return m_bytes[row * 3 + 2]; }
    std::string_view binding(size_t) const override { return {}; }

private:
    QList<QStringList> m_rows;
    std::vector<std::string> m_bytes;
};

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestRecording final : public QObject
{
    Q_OBJECT

private slots:
    void linesReadBack_data();
    void linesReadBack();
    void filesRead_data();
    void filesRead();
    void compressedAsPlain();
    void hugeFilesBounded();
    void notAFile();
    void walksCompared_data();
    void walksCompared();

private:
    QTemporaryDir m_dir;
};

// The line of each binding in both formats, and the binding each gives back.
void TestRecording::linesReadBack_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("snmprec");
    QTest::addColumn<QByteArray>("walk"); // empty: walk text has no form for it
    const QByteArray oid = "1.3.6.1.4.1.99999.7";
    const auto row = [&](const char *name, int tag, const QByteArray &content, const QByteArray &rec, const QByteArray &walk) {
        QTest::newRow(name) << tag << content << oid + rec << (walk.isEmpty() ? walk : '.' + oid + " = " + walk);
    };
    row("Integer32", 2, "-5", "|2|-5", "INTEGER: -5");
    row("text", 4, "eth0 up", "|4|eth0 up", "STRING: \"eth0 up\"");
    row("text with a blank at its end: hex", 4, "up ", "|4x|757020", "STRING: \"up \"");
    row("quote and backslash", 4, "a\"b\\", "|4|a\"b\\", "Hex-STRING: 61 22 62 5C ");
    row("empty string", 4, "", "|4|", "\"\"");
    row("binary, NUL", 4, QByteArray("\0\x1a\xff", 3), "|4x|001aff", "Hex-STRING: 00 1A FF ");
    row("CR LF", 4, "IOS\r\nTAC", "|4x|494f530d0a544143", "Hex-STRING: 49 4F 53 0D 0A 54 41 43 ");
    row("Null", 5, "", "|5|", "NULL");
    row("OID", 6, "1.3.6.1.2.1", "|6|1.3.6.1.2.1", "OID: .1.3.6.1.2.1");
    row("IpAddress", 64, QByteArray("\x0a\x00\xff\x01", 4), "|64|10.0.255.1", "IpAddress: 10.0.255.1");
    row("IpAddress of five octets", 64, QByteArray("\x0a\x00\xff\x01\x07", 5), "|64x|0a00ff0107", "");
    row("Counter32", 65, "4294967295", "|65|4294967295", "Counter32: 4294967295");
    row("Gauge32", 66, "7", "|66|7", "Gauge32: 7");
    row("TimeTicks", 67, "12345678", "|67|12345678", "12345678");
    row("Opaque float", 68, QByteArray("\x9f\x78\x04\x3f\xc0\x00\x00", 7), "|68x|9f78043fc00000", "OPAQUE: 9F 78 04 3F C0 00 00 ");
    row("Opaque empty", 68, "", "|68x|", "OPAQUE: ");
    row("Counter64", 70, "18446744073709551615", "|70|18446744073709551615", "Counter64: 18446744073709551615");
    row("Unsigned32", 71, "3000000000", "|71|3000000000", "UInteger32: 3000000000");
    row("Bits", 3, "\x80", "|3x|80", "");
    row("Sequence", 48, "\x02\x01\x05", "|48x|020105", "");
    row("unknown tag", 69, "\x01", "|69x|01", "");
    row("noSuchObject", 128, "", "|128|", "No Such Object available on this agent at this OID");
    row("noSuchInstance", 129, "", "|129|", "No Such Instance currently exists at this OID");
    row("endOfMibView", 130, "", "|130|",
        "No more variables left in this MIB View (It is past the end of the MIB tree)");
    row("endOfMibView with octets", 130, "x", "|130x|78", "");
}

void TestRecording::linesReadBack()
{
    QFETCH(int, tag);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, snmprec);
    QFETCH(QByteArray, walk);
    const SnmpVarBind b = bind(uint8_t(tag), content);
    QCOMPARE(QByteArray::fromStdString(snmprecLine(b)), snmprec);
    SnmpVarBind back;
    QCOMPARE(readSnmprecLine(snmprecLine(b), back), std::string());
    QVERIFY(fields(back) == fields(b));

    const std::optional<std::string> line = walkLine(b);
    QCOMPARE(QByteArray::fromStdString(line.value_or("")), walk);
    if (!line)
        return;
    struct Sink final : WalkTextReader::Sink
    {
        std::vector<RecordedBinding> read;
        std::string why;
        void binding(uint64_t, RecordedBinding &&b) override { read.push_back(std::move(b)); }
        void bad(uint64_t, std::string reason) override { why = reason; }
    } sink;
    WalkTextReader reader(sink);
    reader.line(*line, 1);
    reader.finish();
    QCOMPARE(sink.why, std::string());
    QCOMPARE(sink.read.size(), size_t(1));
    QVERIFY(fields(sink.read[0].binding) == fields(b));
}

void TestRecording::filesRead_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("issues");
    const QByteArray r = ".1.3.6.1.2.1.1.";
    QTest::newRow("snmprec: comments, blank lines, hex, bad lines read on")
        << QByteArray("# a device\n\n1.3.6.1.2.1.1.1.0|4x|6869\n1.3.6.1.2.1.1.2.0|4x|abc\n"
                      "1.3.6.1.2.1.1.3.0|99q|1\n1.3.6.1.2.1.1.4.0|2|Fa3/0\n1.3.6.1.2.1.1.5.0|2:numeric|min=1\n"
                      "1.3.6.1.2.1.1.6.0|2|2147483648\n1.3.6.1.2.1.1.7.0|64|1.2.3\n1.3.6.1.2.1.1.8.0|5|x\n"
                      "1.3.6.1.2.1.1.9.0|67|42\n")
        << QStringList{r + "1.0 | Octet String | hi", r + "9.0 | TimeTicks | 42 (0 days, 0 hours, 0 minutes, 0 seconds)"}
        << QStringList{"Line 4: odd number of hex digits", "Line 5: the tag '99q' is no type number",
                       "Line 6: the value 'Fa3/0' is no Integer32",
                       "Line 7: snmpsim's variation module 'numeric' is not read",
                       "Line 8: the value '2147483648' is no Integer32", "Line 9: the value '1.2.3' is no IpAddress",
                       "Line 10: a NULL with a value"};
    QTest::newRow("snmprec: out of order kept, repeated skipped, CR LF")
        << QByteArray("1.3.6.1.2.1.1.3.0|2|3\r\n1.3.6.1.2.1.1.1.0|2|1\r\n1.3.6.1.2.1.1.1.0|2|9\r\n1.3.6.1.2.1.1.x|2|9\r\n")
        << QStringList{r + "3.0 | Integer32 | 3", r + "1.0 | Integer32 | 1"}
        << QStringList{"Line 2: out of OID order: before the OID of line 1 (kept)",
                       "Line 3: repeats the OID of line 2",
                       "Line 4: the OID '1.3.6.1.2.1.1.x' has the sub-identifier 'x' is no number below 2^32"};
    QTest::newRow("walk text as Net-SNMP prints it, lines going on, MIB names")
        << QByteArray("SNMPv2-MIB::sysDescr.0 = STRING: \"IOS\r\nTAC \\\"x\\\\\"\n"
                      ".1.3.6.1.2.1.1.2.0 = OID: SNMPv2-SMI::enterprises.9\n"
                      "iso.3.6.1.2.1.1.3.0 = Timeticks: (12345678) 1 day, 10:17:36.78\n"
                      ".1.3.6.1.2.1.1.4.0 = Hex-STRING: 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 \n"
                      "67 68 01 \n"
                      ".1.3.6.1.2.1.1.5.0 = STRING: 0:16:3e:1:2:ab\n"
                      ".1.3.6.1.2.1.1.6.0 = INTEGER: up(1)\n.1.3.6.1.2.1.1.7.0 = Gauge32: 10000 milli-seconds\n"
                      ".1.3.6.1.2.1.1.8.0 = INTEGER: 12.34\n.1.3.6.1.2.1.1.9.0 = BITS: 80 01 0 15 \n"
                      ".1.3.6.1.2.1.1.10.0 = Opaque: Float: 1.500000\n"
                      ".1.3.6.1.2.1.1.11.0 = Wrong Type (should be OCTET STRING): INTEGER: 5\n"
                      ".1.3.6.1.2.1.1.12.0 = Network Address: 0A:00:00:01\n.1.3.6.1.2.1.1.13.0 = \"\"\n"
                      ".1.3.6.1.2.1.1.14.0 = STRING: Linux host\n  2.6.21 SMP\n"
                      ".1.3.6.1.2.1.1.15.0 = No Such Instance currently exists at this OID\n")
        << QStringList{r + "1.0 | Octet String | 49 4F 53 0D 0A 54 41 43 20 22 78 5C ",
                       r + "2.0 | Object Identifier | .1.3.6.1.4.1.9",
                       r + "3.0 | TimeTicks | 12345678 (1 days, 10 hours, 17 minutes, 36 seconds)",
                       r + "4.0 | Octet String | " + QString("30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 67 68 01 "),
                       r + "5.0 | Octet String | 00 16 3E 01 02 AB ", r + "6.0 | Integer32 | 1",
                       r + "7.0 | Gauge32 | 10000", r + "8.0 | Integer32 | 1234", r + "9.0 | Octet String | 80 01 ",
                       r + "10.0 | Opaque | 9F 78 04 3F C0 00 00 ", r + "11.0 | Integer32 | 5",
                       r + "12.0 | IpAddress | 10.0.0.1", r + "13.0 | Octet String | ",
                       r + "14.0 | Octet String | 4C 69 6E 75 78 20 68 6F 73 74 0A 20 20 32 2E 36 2E 32 31 20 53 4D 50 ", r + "15.0 | noSuchInstance | "}
        << QStringList();
    QTest::newRow("walk text: bad lines, a quote never closed")
        << QByteArray(".1.3.6.1.2.1.1.1.0 = INTEGER: many\nnot a line\n.1.3.6.1.2.1.1.2.0 = Counter32: -1\n"
                      ".1.3.6.1.2.1.1.3.0 = Hex-STRING: 0G\n.1.3.6.1.2.1.1.4.0 = Fancy: 1\n"
                      "NOSUCH-MIB::thing.0 = INTEGER: 1\n.1.3.6.1.2.1.1.5.0 = INTEGER: 2\n"
                      ".1.3.6.1.2.1.1.6.0 = STRING: \"open\n.1.3.6.1.2.1.1.7.0 = INTEGER: 3\n")
        << QStringList{r + "5.0 | Integer32 | 2"}
        << QStringList{"Line 1: the value 'many' is no INTEGER", "Line 2: no \" = \": not a binding",
                       "Line 3: the value '-1' is no unsigned 32-bit number", "Line 4: the value '0G' is no hex octets",
                       "Line 5: the type 'FANCY' is not one Net-SNMP prints",
                       "Line 6: the name 'NOSUCH-MIB::thing.0' is none of the loaded MIBs",
                       "Line 8: its quoted string is not closed by the end of the file"};
    QTest::newRow("result file, as saved")
        << QByteArray(".1.3.6.1.2.1.2.2.1.8.1 | IF-MIB::ifOperStatus.1 | Integer32 | down(2)\r\n"
                      ".1.3.6.1.2.1.1.1.0 | x | Octet String | a | b\r\nbroken | line\r\n")
        << QStringList{".1.3.6.1.2.1.2.2.1.8.1 | Integer32 | down(2)", r + "1.0 | Octet String | a | b"}
        << QStringList{"Line 3: not \"oid | name | type | value\""};
    QTest::newRow("binary garbage: no recording")
        << QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\n\x01|\x02\n", 16) << QStringList()
        << QStringList{"Line 1: neither an snmpsim recording, Net-SNMP walk text nor a Norvane result file"};
    QTest::newRow("a line of 10 MB skipped, the next read")
        << QByteArray("1.3.6.1.2.1.1.1.0|4|" + QByteArray(10 << 20, 'a') + "\n1.3.6.1.2.1.1.2.0|2|1\n")
        << QStringList{r + "2.0 | Integer32 | 1"} << QStringList{"Line 1: longer than 1 MiB"};
}

void TestRecording::filesRead()
{
    QFETCH(QByteArray, text);
    const QString path = m_dir.filePath(QStringLiteral("file"));
    QVERIFY(writeFile(path, text));
    const Read read = readFile(path);
    QTEST(read.rows, "rows");
    QTEST(read.issues, "issues");
}

// gzip and bzip2 files read as the text they hold; a damaged one says so.
void TestRecording::compressedAsPlain()
{
    const QString plain = m_dir.filePath(QStringLiteral("walk.snmprec"));
    QByteArray text;
    for (int i = 1; i <= 20000; ++i)
        text += "1.3.6.1.4.1.99999." + QByteArray::number(i) + "|4|value " + QByteArray::number(i) + "\n";
    QVERIFY(writeFile(plain, text));
    const Read expected = readFile(plain);
    QCOMPARE(expected.rows.size(), 20000);
    for (const char *tool : {"gzip", "bzip2"}) {
        QVERIFY(QProcess::execute(QString::fromLatin1(tool), {"-kf", plain}) == 0);
        const QString packed = plain + (tool[0] == 'g' ? ".gz" : ".bz2");
        const Read read = readFile(packed);
        QCOMPARE(read.rows, expected.rows);
        QCOMPARE(read.read.fileError, 0);
        QByteArray cut = readAll(packed);
        QVERIFY(writeFile(packed, cut.left(cut.size() / 2)));
        const Read damaged = readFile(packed);
        QCOMPARE(damaged.read.fileError, int(LineReader::Damaged));
        QVERIFY2(damaged.rows.size() < 20000, tool);
    }
}

// A 2 GB file (sparse: NULs) after a few lines, and one of NULs alone: read
// at once (refused) or in bounded memory, the rows before it kept.
void TestRecording::hugeFilesBounded()
{
    const QString path = m_dir.filePath(QStringLiteral("huge"));
    QVERIFY(writeFile(path, "1.3.6.1.2.1.1.1.0|2|1\n"));
    QVERIFY(::truncate(QFile::encodeName(path).constData(), 2LL << 30) == 0);
    const long before = peakRssKb();
    QElapsedTimer timer;
    timer.start();
    Read read = readFile(path);
    QCOMPARE(read.rows.size(), 1);
    QCOMPARE(read.issues, QStringList{"Line 2: longer than 1 MiB"});
    QVERIFY2(peakRssKb() - before < 64 * 1024, qPrintable(QString::number(peakRssKb() - before)));
    qInfo("2 GB of NULs after a line: %lld ms", timer.elapsed());

    QVERIFY(writeFile(path, QByteArray()));
    QVERIFY(::truncate(QFile::encodeName(path).constData(), 2LL << 30) == 0);
    timer.restart();
    read = readFile(path);
    QVERIFY(read.read.refused);
    QVERIFY(timer.elapsed() < 1000);
}

void TestRecording::notAFile()
{
    QCOMPARE(readFile(m_dir.path()).read.fileError, EISDIR);
    QCOMPARE(readFile(m_dir.filePath(QStringLiteral("missing"))).read.fileError, ENOENT);
    const QByteArray fifo = QFile::encodeName(m_dir.filePath(QStringLiteral("fifo")));
    QVERIFY(::mkfifo(fifo.constData(), 0600) == 0);
    QCOMPARE(readFile(QFile::decodeName(fifo)).read.fileError, int(LineReader::NotRegularFile));
}

void TestRecording::walksCompared_data()
{
    QTest::addColumn<QList<QStringList>>("older");
    QTest::addColumn<QList<QStringList>>("newer");
    QTest::addColumn<QStringList>("changes"); // kind oid old new increase rate
    QTest::addColumn<QString>("counts");      // same changed added removed
    const QString up = QStringLiteral(".1.3.6.1.2.1.1.3.0");
    const QString in = QStringLiteral(".1.3.6.1.2.1.2.2.1.10.1");
    QTest::newRow("added, removed, changed; a counter's rate by sysUpTime")
        << QList<QStringList>{{up, "TimeTicks", "1000 (...)"}, {in, "Counter32", "100"}, {".1.3.6.1.9", "Integer32", "1"}}
        << QList<QStringList>{{up, "TimeTicks", "1400 (...)"}, {in, "Counter32", "300"}, {".1.3.6.1.10", "Integer32", "1"}}
        << QStringList{"C " + up + " 1000 (...) 1400 (...) - -", "C " + in + " 100 300 200 50.00", "R .1.3.6.1.9 1  - -",
                       "A .1.3.6.1.10  1 - -"}
        << "0 2 1 1";
    QTest::newRow("a Counter32 wraps; a Counter64 that went back has no increase")
        << QList<QStringList>{{in, "Counter32", "4294967290"}, {".1.3.6.1.2.1.31.1.1.1.6.1", "Counter64", "50"}}
        << QList<QStringList>{{in, "Counter32", "5"}, {".1.3.6.1.2.1.31.1.1.1.6.1", "Counter64", "10"}}
        << QStringList{"C " + in + " 4294967290 5 11 -", "C .1.3.6.1.2.1.31.1.1.1.6.1 50 10 - -"} << "0 2 0 0";
    QTest::newRow("the agent restarted: no increases")
        << QList<QStringList>{{up, "TimeTicks", "9000"}, {in, "Counter32", "100"}}
        << QList<QStringList>{{up, "TimeTicks", "100"}, {in, "Counter32", "300"}}
        << QStringList{"C " + up + " 9000 100 - -", "C " + in + " 100 300 - -"} << "0 2 0 0";
    QTest::newRow("out of order, an OID twice (its last row counts), numeric order")
        << QList<QStringList>{{".1.3.6.1.10", "Integer32", "1"}, {".1.3.6.1.9", "Integer32", "1"}}
        << QList<QStringList>{{".1.3.6.1.9", "Integer32", "2"}, {".1.3.6.1.10", "Integer32", "1"}, {".1.3.6.1.9", "Integer32", "1"}}
        << QStringList() << "2 0 0 0";
}

void TestRecording::walksCompared()
{
    QFETCH(QList<QStringList>, older);
    QFETCH(QList<QStringList>, newer);
    const WalkComparison c = compareWalks(Rows(older), Rows(newer));
    QStringList changes;
    for (const WalkChange &w : c.changes) {
        const char kind = w.kind == WalkChange::Kind::Added ? 'A' : w.kind == WalkChange::Kind::Removed ? 'R' : 'C';
        changes << QStringLiteral("%1 %2 %3 %4 %5 %6")
                       .arg(QChar::fromLatin1(kind), QString::fromStdString(w.oid), QString::fromStdString(w.oldValue),
                            QString::fromStdString(w.newValue),
                            w.increase ? QString::number(*w.increase) : QStringLiteral("-"),
                            w.perSecond ? QString::number(*w.perSecond, 'f', 2) : QStringLiteral("-"));
    }
    QTEST(changes, "changes");
    QTEST(QStringLiteral("%1 %2 %3 %4").arg(c.same).arg(c.changed).arg(c.added).arg(c.removed), "counts");
}

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
