// SPDX-License-Identifier: MIT
#include "store/hivetext.h"
#include "store/registryhive.h"
#include "tests/support/confighome.h"
#include "tests/support/files.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// A literal with its inner zero bytes, without the final one C++ adds.
template<size_t N>
QByteArray bin(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

struct Value
{
    uint32_t type = 0;
    QByteArray data;
    long rc = ERROR_FILE_NOT_FOUND;
};

// A row of the value tables below: a value name and what it holds.
struct NamedValue
{
    const char *name;
    uint32_t type;
    QByteArray data;
};

Value query(RegistryHive &hive, const QByteArray &key, const QByteArray &name)
{
    HiveKey k;
    Value v;
    if (hive.regOpenKey(key, &k) != ERROR_SUCCESS)
        return v;
    uint32_t size = 0;
    v.rc = k.regQueryValue(name, &v.type, nullptr, &size);
    if (v.rc != ERROR_SUCCESS)
        return v;
    v.data.resize(size);
    v.rc = k.regQueryValue(name, &v.type, v.data.data(), &size);
    return v;
}

QByteArrayList names(RegistryHive &hive, const QByteArray &key)
{
    HiveKey k;
    QByteArrayList out;
    if (hive.regOpenKey(key, &k) != ERROR_SUCCESS)
        return out;
    QByteArray name;
    for (uint32_t i = 0; k.regEnumValue(i, &name) == ERROR_SUCCESS; ++i)
        out << name;
    return out;
}

QStringList folderEntries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Written by hand: LF ends, comments, other wrapping than ours, all the forms.
const QByteArray HandWritten =
    "REGEDIT4\n"
    "\n"
    "; settings of another machine, pasted in\n"
    "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\n"
    "\"Path\"=\"C:\\\\Program Files\\\\\\\"Norvane\\\"\\\\\"\n"
    "\"Expand\"=hex(2):25,00,50,41,54,48,25,00\n"
    "\"Nothing\"=hex(0):01,02\n"
    "\"EmptyNone\"=hex(0):\n"
    "\"Multi\"=hex(7):61,00,62,00,00\n"
    "\"Count\"=dword:0000000A\n"
    "\"Blob\"=hex:00,ff,10,\\\n"
    "    20,30\n"
    "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"OddSz\"=hex(1):61,00,62,00\n"
    "\"Unterminated\"=hex(1):61,62\n"
    "\"ShortDword\"=hex(4):05,00\n"
    "@=\"default\"\n"
    "\"Quote\\\"d \\\\name\"=\"x\"\n"
    "\"Empty\"=\"\"\n"
    "\n"
    "[hkey_current_user\\SOFTWARE\\ferrolyn\\Norvane\\History Lists\\hlAgent]\r\n"
    "\"Item0\"=\"10.0.0.1\"\r\n";

const QByteArray NorvaneKey = "\\Software\\Ferrolyn\\Norvane\\";

} // namespace

class TestRegistryHive final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keysAndValues();
    void queryIntoSmallBuffer();
    void handWrittenFileReadsByteExact();
    void writtenFileReadsBackUnchanged();
    void modernExports_data();
    void modernExports();
    void textFormsAndWrapping();
    void parserSurvivesBrokenInput();
    void unparsableFileKeptAside();
    void oversizedFileKeptAside();
    void fileTurnedBadBeforeWrite();
    void failedWriteKeepsOldFile();
    void privateModesUnderAnyUmask();
    void otherCopysValuesSurvive();
    void concurrentWritersNeverTear();

private:
    std::unique_ptr<ConfigHome> m_dir;
    QString m_path;
};

void TestRegistryHive::init()
{
    m_dir = std::make_unique<ConfigHome>();
    QVERIFY(m_dir->isValid());
    m_path = RegistryHive::defaultFilePath();
    QCOMPARE(m_path, m_dir->path() + "/Ferrolyn/Norvane.reg");
}

void TestRegistryHive::cleanup()
{
    m_dir.reset();
}

void TestRegistryHive::keysAndValues()
{
    RegistryHive hive(m_path);
    QVERIFY(!hive.load());
    QVERIFY(!QFile::exists(m_path)); // reading creates nothing

    HiveKey key;
    QCOMPARE(hive.regOpenKey(NorvaneKey, &key), ERROR_FILE_NOT_FOUND);
    QVERIFY(!key.isOpen());
    QCOMPARE(hive.regCreateKey("\\Software\\Ferrolyn\\Norvane\\History Lists\\hlOid\\", &key), ERROR_SUCCESS);
    QCOMPARE(hive.openKeyCount(), 1);
    QCOMPARE(key.regCloseKey(), ERROR_SUCCESS);
    QCOMPARE(hive.openKeyCount(), 0);
    QCOMPARE(key.regCloseKey(), ERROR_INVALID_HANDLE);
    QCOMPARE(key.regSetValue("x", REG_SZ, "", 0), ERROR_INVALID_HANDLE);

    // parents were created; names compare without case
    QCOMPARE(hive.regOpenKey("\\SOFTWARE\\ferrolyn\\NORVANE\\history lists", &key), ERROR_SUCCESS);
    QCOMPARE(hive.regOpenKey("Software\\Ferrolyn\\Norvane", &key), ERROR_SUCCESS);
    QCOMPARE(hive.openKeyCount(), 1); // reopening a handle closes its old key
    QCOMPARE(hive.regOpenKey("\\Software\\\\Ferrolyn\\", &key), ERROR_INVALID_PARAMETER);

    QCOMPARE(key.regSetValue("Zeta", REG_DWORD, "\x01\x00\x00\x00", 4), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("Alpha", REG_SZ, "a\0", 2), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("LongestName", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("ZETA", REG_BINARY, "xyz", 3), ERROR_SUCCESS); // overwrite keeps the place
    QCOMPARE(key.regSetValue("bad\nname", REG_SZ, "", 0), ERROR_INVALID_PARAMETER);

    uint32_t count = 0;
    uint32_t longest = 0;
    QCOMPARE(key.regQueryInfoKey(&count, &longest), ERROR_SUCCESS);
    QCOMPARE(count, 3u);
    QCOMPARE(longest, 11u);
    QCOMPARE(names(hive, NorvaneKey), (QByteArrayList{"Zeta", "Alpha", "LongestName"}));
    QByteArray name;
    QCOMPARE(key.regEnumValue(3, &name), ERROR_NO_MORE_ITEMS);

    const Value zeta = query(hive, NorvaneKey, "zeta");
    QCOMPARE(zeta.rc, ERROR_SUCCESS);
    QCOMPARE(zeta.type, REG_BINARY);
    QCOMPARE(zeta.data, QByteArray("xyz"));
    QCOMPARE(query(hive, NorvaneKey, "LongestName").data.size(), 0);
    QCOMPARE(query(hive, NorvaneKey, "missing").rc, ERROR_FILE_NOT_FOUND);

    // a value too big for the hive's quota is refused, not written into a file
    // that could not be read back
    const QByteArray big(RegistryHive::MaxFileSize, 'x');
    QCOMPARE(key.regSetValue("Big", REG_BINARY, big.constData(), uint32_t(big.size())), ERROR_NOT_ENOUGH_QUOTA);
}

void TestRegistryHive::queryIntoSmallBuffer()
{
    RegistryHive hive(m_path);
    HiveKey key;
    QCOMPARE(hive.regCreateKey(NorvaneKey, &key), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("TimeOut", REG_SZ, "1000\0", 5), ERROR_SUCCESS);

    char buffer[4] = {};
    uint32_t size = sizeof buffer;
    uint32_t type = 99;
    QCOMPARE(key.regQueryValue("TimeOut", &type, buffer, &size), ERROR_MORE_DATA);
    QCOMPARE(size, 5u);
    QCOMPARE(type, REG_SZ);

    char exact[5] = {};
    size = sizeof exact;
    QCOMPARE(key.regQueryValue("TimeOut", &type, exact, &size), ERROR_SUCCESS);
    QCOMPARE(QByteArray(exact, 5), bin("1000\0"));
    QCOMPARE(key.regQueryValue("TimeOut", &type, exact, nullptr), ERROR_INVALID_PARAMETER);
}

void TestRegistryHive::handWrittenFileReadsByteExact()
{
    QVERIFY(writeFile(m_path, HandWritten));
    RegistryHive hive(m_path);
    QVERIFY(!hive.load());

    const NamedValue expected[] = {
        {"Path", REG_SZ, bin("C:\\Program Files\\\"Norvane\"\\\0")},
        {"Expand", REG_EXPAND_SZ, bin("%\0PATH%\0")},
        {"Nothing", REG_NONE, QByteArray("\x01\x02")},
        {"EmptyNone", REG_NONE, QByteArray()},
        {"Multi", REG_MULTI_SZ, bin("a\0b\0\0")},
        {"Count", REG_DWORD, bin("\x0a\0\0\0")},
        {"Blob", REG_BINARY, bin("\x00\xff\x10\x20\x30")},
        {"Qword", 11, bin("\x01\0\0\0\0\0\0\0")},
        {"OddSz", REG_SZ, bin("a\0b\0")},
        {"Unterminated", REG_SZ, QByteArray("ab")},
        {"ShortDword", REG_DWORD, bin("\x05\0")},
        {"", REG_SZ, bin("default\0")},
        {"Quote\"d \\name", REG_SZ, bin("x\0")},
        {"Empty", REG_SZ, bin("\0")},
    };
    QByteArrayList expectedNames;
    for (const auto &e : expected) {
        const Value v = query(hive, NorvaneKey, e.name);
        QCOMPARE(v.rc, ERROR_SUCCESS);
        QCOMPARE(v.type, e.type);
        QCOMPARE(v.data, e.data);
        expectedNames << e.name;
    }
    QCOMPARE(names(hive, NorvaneKey), expectedNames);
    // the second section names the key in other letter case: same key
    QCOMPARE(query(hive, NorvaneKey + "History Lists\\hlAgent", "Item0").data, bin("10.0.0.1\0"));

    // Written back: the same values, and a file that parses to the same tree.
    QVERIFY(!hive.commit());
    const QByteArray written = readAll(m_path);
    const auto before = parseHive(HandWritten);
    const auto after = parseHive(written);
    QVERIFY(before && after);
    QCOMPARE(serializeHive(*after), serializeHive(*before));
    QCOMPARE(serializeHive(*after), written);
    QVERIFY(written.contains("\"Expand\"=hex(2):25,00,50,41,54,48,25,00\r\n"));
    QVERIFY(written.contains("\"Nothing\"=hex(0):01,02\r\n"));
    QVERIFY(written.contains("\"OddSz\"=hex(1):61,00,62,00\r\n"));
    QVERIFY(written.contains("\"Count\"=dword:0000000a\r\n"));
    QVERIFY(written.contains("\"ShortDword\"=hex(4):05,00\r\n"));
    QVERIFY(written.contains("\"Path\"=\"C:\\\\Program Files\\\\\\\"Norvane\\\"\\\\\"\r\n"));
    QVERIFY(written.contains("@=\"default\"\r\n"));
    QVERIFY(written.contains("\"Empty\"=\"\"\r\n"));

    RegistryHive again(m_path);
    QVERIFY(!again.load());
    for (const auto &e : expected)
        QCOMPARE(query(again, NorvaneKey, e.name).data, e.data);
}

void TestRegistryHive::writtenFileReadsBackUnchanged()
{
    // A file in our own layout goes through load and write byte for byte.
    const QByteArray canonical =
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ferrolyn]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n"
        "\"Position\"=hex:bf,00,00,00,65,00,00,00,3f,03,00,00,45,02,00,00\r\n"
        "\"WindowState\"=dword:00000000\r\n"
        "\"Note\"=\"say \\\"hi\\\" to C:\\\\temp\"\r\n"
        "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
        "\"None\"=hex(0):\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists]\r\n\r\n";
    QVERIFY(writeFile(m_path, canonical));
    RegistryHive hive(m_path);
    QVERIFY(!hive.load());
    QVERIFY(!hive.commit());
    QCOMPARE(readAll(m_path), canonical);
}

void TestRegistryHive::modernExports_data()
{
    QTest::addColumn<QByteArray>("file");
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n"
                                        "\"Stamp\"=hex(b):01,02,03,04,05,06,07,08\r\n"
                                        "\"Action\"=dword:00000003\r\n"
                                        "\"Item0\"=\"Z\u00fcrich\"\r\n"
                                        "\"Item1\"=hex(2):25,00,48,00,4f,00,53,00,54,00,25,00,00,00\r\n"
                                        "\"Item2\"=hex(1):61,00,62\r\n"); // no UTF-16: kept as it is
    QTest::newRow("UTF-8") << text.toUtf8();
    QTest::newRow("UTF-8 with a byte-order mark") << "\xEF\xBB\xBF" + text.toUtf8();
    QTest::newRow("UTF-16LE, as regedit writes it")
        << "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// Read as the registry would hand the values to Norvane (the fuzz target
// checks that whatever parses is written back as REGEDIT4 to the same tree).
void TestRegistryHive::modernExports()
{
    QFETCH(QByteArray, file);
    QVERIFY(writeFile(m_path, file));
    const NamedValue expected[] = {
        {"Stamp", 11, bin("\1\2\3\4\5\6\7\x08")}, {"Action", REG_DWORD, bin("\3\0\0\0")},
        {"Item0", REG_SZ, bin("Z\xc3\xbcrich\0")}, {"Item1", REG_EXPAND_SZ, bin("%HOST%\0")},
        {"Item2", REG_SZ, bin("a\0b")},
    };
    RegistryHive hive(m_path);
    QVERIFY(!hive.load());
    for (const auto &e : expected) {
        const Value v = query(hive, NorvaneKey, e.name);
        QCOMPARE(v.type, e.type);
        QCOMPARE(v.data, e.data);
    }
}

void TestRegistryHive::textFormsAndWrapping()
{
    RegistryHive hive(m_path);
    HiveKey key;
    QCOMPARE(hive.regCreateKey(NorvaneKey, &key), ERROR_SUCCESS);
    QByteArray blob;
    for (int i = 0; i < 300; ++i)
        blob.append(char(i));
    const NamedValue values[] = {
        {"InnerZero", REG_SZ, bin("a\0b\0")},
        {"TwoZeros", REG_SZ, bin("ab\0\0")},
        {"NoData", REG_SZ, QByteArray()},
        {"LineBreak", REG_SZ, bin("a\r\nb\0")},
        {"Latin1", REG_SZ, bin("Z\xfcrich\0")},
        {"Utf8", REG_SZ, bin("Z\xc3\xbcrich \xe2\x9c\x93\0")},
        {"ThreeByteDword", REG_DWORD, bin("\1\2\3")},
        {"Blob", REG_BINARY, blob},
        {"Huge type", 0xfffffff0u, QByteArray("\x7f")},
    };
    for (const auto &v : values)
        QCOMPARE(key.regSetValue(v.name, v.type, v.data.constData(), uint32_t(v.data.size())), ERROR_SUCCESS);
    QVERIFY(!hive.commit());

    const QByteArray text = readAll(m_path);
    QVERIFY(text.contains("\"InnerZero\"=hex(1):61,00,62,00\r\n"));
    QVERIFY(text.contains("\"TwoZeros\"=hex(1):61,62,00,00\r\n"));
    QVERIFY(text.contains("\"NoData\"=hex(1):\r\n"));
    QVERIFY(text.contains("\"LineBreak\"=hex(1):"));
    QVERIFY(text.contains("\"Latin1\"=hex(1):"));
    QVERIFY(text.contains("\"Utf8\"=\"Z\xc3\xbcrich \xe2\x9c\x93\"\r\n"));
    QVERIFY(text.contains("\"ThreeByteDword\"=hex(4):01,02,03\r\n"));
    QVERIFY(text.contains("\"Huge type\"=hex(fffffff0):7f\r\n"));
    for (const QByteArray &line : text.split('\n')) {
        QVERIFY2(line.size() <= 81, line.constData()); // 80 columns plus the CR
        QVERIFY(line.isEmpty() || line.endsWith('\r'));
    }

    RegistryHive again(m_path);
    QVERIFY(!again.load());
    for (const auto &v : values) {
        const Value got = query(again, NorvaneKey, v.name);
        QCOMPARE(got.type, v.type);
        QCOMPARE(got.data, v.data);
    }
}

void TestRegistryHive::parserSurvivesBrokenInput()
{
    // Every prefix of a valid file either parses or is refused; none crashes.
    int refused = 0;
    for (qsizetype n = 0; n <= HandWritten.size(); ++n) {
        if (!parseHive(HandWritten.first(n)))
            ++refused;
    }
    QVERIFY(refused > 0);
    QVERIFY(parseHive(HandWritten));

    const QByteArray broken[] = {
        "",
        "REGEDIT5\r\n",
        "Windows Registry Editor Version 4.00\r\n",
        bin("\xff\xfeR\0E\0G\0E\0D\0I\0T\0004\0\r"), // UTF-16 of an odd length
        "REGEDIT4\r\n\"orphan\"=\"value before any key\"\r\n",
        "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n",
        "REGEDIT4\r\n[-HKEY_CURRENT_USER\\Software]\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\\\x]\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=-\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=hex:0g\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=hex:123\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=hex:01,,02\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=hex:01,\\\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=hex(123456789):01\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=dword:123456789\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=\"unterminated\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\"=\"a\" trailing\r\n",
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\"x\r\n",
        bin("REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n\0\0\xff\xfe"),
    };
    for (const QByteArray &text : broken)
        QVERIFY2(!parseHive(text), text.constData());

    // deeper than the registry allows: refused, not recursed into
    QByteArray deep = "REGEDIT4\r\n[HKEY_CURRENT_USER";
    for (int i = 0; i <= RegistryHive::MaxDepth; ++i)
        deep += "\\k";
    QVERIFY(!parseHive(deep + "]\r\n"));

    // random bytes behind a valid header
    QRandomGenerator random(4711);
    for (int round = 0; round < 200; ++round) {
        QByteArray noise = "REGEDIT4\r\n[HKEY_CURRENT_USER\\a]\r\n";
        const int length = random.bounded(1, 400);
        for (int i = 0; i < length; ++i)
            noise.append(char(random.bounded(256)));
        if (auto tree = parseHive(noise))
            QVERIFY(parseHive(serializeHive(*tree))); // whatever parses writes back readable
    }
}

void TestRegistryHive::unparsableFileKeptAside()
{
    const QByteArray garbage("\x89PNG\r\n\x1a\n\0\0 not a settings file", 30);
    QVERIFY(writeFile(m_path, garbage));
    RegistryHive hive(m_path);
    const QString message = hive.load().message();
    QVERIFY(!hive.load()); // told once

    const QStringList bad = QDir(QFileInfo(m_path).path()).entryList({"Norvane.reg.bad-*"});
    QCOMPARE(bad.size(), 1);
    QVERIFY(QRegularExpression("^Norvane\\.reg\\.bad-\\d{8}-\\d{6}$").match(bad[0]).hasMatch());
    const QString keptAs = QFileInfo(m_path).path() + '/' + bad[0];
    QCOMPARE(message, "The settings file could not be read; it was kept as '" + keptAs + "'.");
    QCOMPARE(readAll(keptAs), garbage);
    QVERIFY(!QFile::exists(m_path));

    HiveKey key;
    QCOMPARE(hive.regOpenKey(NorvaneKey, &key), ERROR_FILE_NOT_FOUND); // empty store
    QCOMPARE(hive.regCreateKey(NorvaneKey, &key), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("Action", REG_DWORD, "\2\0\0\0", 4), ERROR_SUCCESS);
    QVERIFY(!hive.commit());
    QCOMPARE(readAll(keptAs), garbage);

    // A second bad file in the same second gets a name of its own.
    QVERIFY(writeFile(m_path, garbage));
    RegistryHive second(m_path);
    QVERIFY(second.load());
    QCOMPARE(QDir(QFileInfo(m_path).path()).entryList({"Norvane.reg.bad-*"}).size(), 2);
}

void TestRegistryHive::oversizedFileKeptAside()
{
    QByteArray big = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\a]\r\n";
    big.append(QByteArray(RegistryHive::MaxFileSize, ';'));
    QVERIFY(writeFile(m_path, big));
    RegistryHive hive(m_path);
    QVERIFY(hive.load().message().startsWith("The settings file could not be read; it was kept as '"));
    QVERIFY(!QFile::exists(m_path));
}

void TestRegistryHive::fileTurnedBadBeforeWrite()
{
    RegistryHive hive(m_path);
    QVERIFY(!hive.load());
    HiveKey key;
    QCOMPARE(hive.regCreateKey(NorvaneKey, &key), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("Retries", REG_DWORD, "\3\0\0\0", 4), ERROR_SUCCESS);
    QVERIFY(writeFile(m_path, "edited by hand, badly"));
    const QString message = hive.commit().message();
    QVERIFY2(message.startsWith("The settings file could not be read; it was kept as '" + m_path + ".bad-"),
             qPrintable(message));
    QCOMPARE(readAll(message.section('\'', 1, 1)), QByteArray("edited by hand, badly"));
    RegistryHive again(m_path);
    QVERIFY(!again.load());
    QCOMPARE(query(again, NorvaneKey, "Retries").data, bin("\3\0\0\0"));
}

void TestRegistryHive::failedWriteKeepsOldFile()
{
    const QByteArray old = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n"
                           "\"TimeOut\"=dword:000003e8\r\n\r\n";
    QVERIFY(writeFile(m_path, old));
    const QStringList entriesBefore = folderEntries(QFileInfo(m_path).path());

    RegistryHive hive(m_path);
    QVERIFY(!hive.load());
    HiveKey key;
    QCOMPARE(hive.regOpenKey(NorvaneKey, &key), ERROR_SUCCESS);
    QCOMPARE(key.regSetValue("TimeOut", REG_DWORD, "\x10\x27\0\0", 4), ERROR_SUCCESS);
    int calls = 0;
    hive.setWriteFunction([&calls](int fd, const void *data, size_t size) -> ssize_t {
        if (++calls == 1)
            return ::write(fd, data, std::min<size_t>(size, 20)); // part of the file
        errno = ENOSPC;
        return -1;
    });
    const QString message = hive.commit().message();
    QCOMPARE(message, "The settings file '" + m_path + "' could not be written: " + QString::fromLocal8Bit(strerror(ENOSPC)) + '.');
    QCOMPARE(calls, 2);
    QCOMPARE(readAll(m_path), old);
    QStringList entriesAfter = folderEntries(QFileInfo(m_path).path());
    entriesAfter.removeAll("Norvane.reg.lock");
    QCOMPARE(entriesAfter, entriesBefore); // no temporary file left

    hive.setWriteFunction({});
    QVERIFY(!hive.commit());
    RegistryHive again(m_path);
    QVERIFY(!again.load());
    QCOMPARE(query(again, NorvaneKey, "TimeOut").data, bin("\x10\x27\0\0"));
}

void TestRegistryHive::privateModesUnderAnyUmask()
{
    for (const mode_t mask : {mode_t(0), mode_t(0777)}) {
        const QString folder = m_dir->path() + "/Ferrolyn";
        QDir(folder).removeRecursively();
        const mode_t previous = ::umask(mask);
        RegistryHive hive(m_path);
        HiveKey key;
        QCOMPARE(hive.regCreateKey(NorvaneKey, &key), ERROR_SUCCESS);
        QCOMPARE(key.regSetValue("Community", REG_SZ, "secret\0", 7), ERROR_SUCCESS);
        const QString message = hive.commit().message();
        ::umask(previous);
        QVERIFY2(message.isEmpty(), qPrintable(message));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
        QCOMPARE(::stat(QFile::encodeName(m_path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
    }
}

void TestRegistryHive::otherCopysValuesSurvive()
{
    RegistryHive first(m_path);
    RegistryHive second(m_path);
    QVERIFY(!first.load());
    QVERIFY(!second.load());
    HiveKey a;
    HiveKey b;
    QCOMPARE(first.regCreateKey(NorvaneKey, &a), ERROR_SUCCESS);
    QCOMPARE(second.regCreateKey(NorvaneKey, &b), ERROR_SUCCESS);
    QCOMPARE(a.regSetValue("Shared", REG_DWORD, "\1\0\0\0", 4), ERROR_SUCCESS);
    QCOMPARE(a.regSetValue("OnlyFirst", REG_DWORD, "\1\0\0\0", 4), ERROR_SUCCESS);
    QCOMPARE(b.regSetValue("Shared", REG_DWORD, "\2\0\0\0", 4), ERROR_SUCCESS);
    QCOMPARE(b.regSetValue("OnlySecond", REG_DWORD, "\2\0\0\0", 4), ERROR_SUCCESS);
    QVERIFY(!first.commit());
    QVERIFY(!second.commit()); // ends last, wins where both wrote

    RegistryHive next(m_path);
    QVERIFY(!next.load());
    QCOMPARE(query(next, NorvaneKey, "Shared").data, bin("\2\0\0\0"));
    QCOMPARE(query(next, NorvaneKey, "OnlyFirst").data, bin("\1\0\0\0"));
    QCOMPARE(query(next, NorvaneKey, "OnlySecond").data, bin("\2\0\0\0"));
    QCOMPARE(names(next, NorvaneKey), (QByteArrayList{"Shared", "OnlyFirst", "OnlySecond"}));
}

void TestRegistryHive::concurrentWritersNeverTear()
{
    // Two copies write their whole state many times while a reader watches.
    constexpr int Rounds = 60;
    constexpr int Names = 20;
    std::atomic<bool> writing{true};
    std::atomic<int> unreadable{0};
    std::atomic<int> failedCommits{0};
    std::atomic<int> lostUpdates{0};

    const auto writer = [&](char id) {
        for (int round = 0; round < Rounds; ++round) {
            RegistryHive hive(m_path);
            (void)hive.load();
            // what this copy wrote last round must still be there
            if (round > 0 && query(hive, NorvaneKey, QByteArray(1, id) + "0").data != QByteArray(1, id) + QByteArray::number(round - 1))
                ++lostUpdates;
            HiveKey key;
            if (hive.regCreateKey(NorvaneKey, &key) != ERROR_SUCCESS) {
                ++failedCommits;
                continue;
            }
            const QByteArray stamp = QByteArray(1, id) + QByteArray::number(round);
            for (int i = 0; i < Names; ++i) {
                const QByteArray own = QByteArray(1, id) + QByteArray::number(i);
                const QByteArray shared = "S" + QByteArray::number(i);
                key.regSetValue(own, REG_BINARY, stamp.constData(), uint32_t(stamp.size()));
                key.regSetValue(shared, REG_BINARY, stamp.constData(), uint32_t(stamp.size()));
            }
            key.regCloseKey();
            if (hive.commit())
                ++failedCommits;
        }
    };
    std::thread reader([&] {
        while (writing) {
            QFile f(m_path);
            if (f.open(QIODevice::ReadOnly) && !parseHive(f.readAll()))
                ++unreadable;
        }
    });
    std::thread one(writer, 'A');
    std::thread two(writer, 'B');
    one.join();
    two.join();
    writing = false;
    reader.join();

    QCOMPARE(failedCommits.load(), 0);
    QCOMPARE(unreadable.load(), 0);
    QCOMPARE(lostUpdates.load(), 0);
    RegistryHive result(m_path);
    QVERIFY(!result.load());
    const QByteArray lastOfA = "A" + QByteArray::number(Rounds - 1);
    const QByteArray lastOfB = "B" + QByteArray::number(Rounds - 1);
    const QByteArray winner = query(result, NorvaneKey, "S0").data;
    QVERIFY(winner == lastOfA || winner == lastOfB);
    for (int i = 0; i < Names; ++i) {
        // no update lost: each copy's own values are from its last round,
        // and the shared ones all from the copy that wrote last
        QCOMPARE(query(result, NorvaneKey, "A" + QByteArray::number(i)).data, lastOfA);
        QCOMPARE(query(result, NorvaneKey, "B" + QByteArray::number(i)).data, lastOfB);
        QCOMPARE(query(result, NorvaneKey, "S" + QByteArray::number(i)).data, winner);
    }
}

QTEST_GUILESS_MAIN(TestRegistryHive)
#include "tst_registryhive.moc"
