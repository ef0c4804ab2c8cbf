// SPDX-License-Identifier: MIT
#include "common/apperror.h"
#include "store/resultfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class Rows final : public ResultSource
{
public:
    Rows() = default;
    Rows(std::initializer_list<std::array<std::string, 4>> rows) : m_rows(rows) {}

    int rowCount() const override { return int(m_rows.size()); }
    ResultTexts rowTexts(int row) const override
    {
        m_lastRow = row;
        const auto &r = m_rows[size_t(row)];
        return {r[0], r[1], r[2], r[3]};
    }

    std::vector<std::array<std::string, 4>> m_rows;
    mutable int m_lastRow = -1;
};

class Cursor final : public CursorControl
{
public:
    void pushBusyCursor() override
    {
        ++pushed;
        ++depth;
    }
    void popCursor() override
    {
        ++popped;
        --depth;
    }
    int pushed = 0;
    int popped = 0;
    int depth = 0;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QByteArray expectedText(const Rows &rows)
{
    QByteArray out;
    for (const auto &r : rows.m_rows)
        out += QByteArray::fromStdString(r[0] + " | " + r[1] + " | " + r[2] + " | " + r[3] + "\r\n");
    return out;
}

// 50 bytes a line, so the third 128-byte block fills during row 7.
Rows fiftyByteRows(int count)
{
    Rows rows;
    for (int i = 0; i < count; ++i) {
        char oid[16];
        std::snprintf(oid, sizeof oid, ".1.3.6.%02d", i % 100);
        rows.m_rows.push_back({oid, "sysDescr.0", "OCTET STRING", "valuetxt"});
    }
    return rows;
}

QString writeError(const QString &fileName, const Rows &rows, Cursor &cursor, const FileWriteFunction &write = {})
{
    try {
        writeResultFile(fileName, rows, cursor, write);
    } catch (const AppError &e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

} // namespace

class TestResultFile final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void linesInListOrder();
    void emptyListGivesEmptyFile();
    void textsWrittenVerbatim();
    void manyRows();
    void longPath();
    void newFileTakesUmask();
    void extensionRule_data();
    void extensionRule();
    void replaceQuestion();
    void openFailures();
    void accessDenied();
    void errnoMessages();
    void fullDevice();
    void failedBlockKeepsEarlierBlocks();
    void fileSizeLimitKeepsEarlierBlocks();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestResultFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestResultFile::linesInListOrder()
{
    const QString file = m_dir->filePath("results.txt");
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(1000, 'z')); // replaced, not overwritten in place
    old.close();

    const Rows rows{{".1.3.6.1.2.1.1.1.0", "sysDescr.0", "OCTET STRING", "Linux"},
                    {".1.3.6.1.2.1.1.2.0", "sysObjectID.0", "OBJECT IDENTIFIER", ".1.3.6.1.4.1.8072.3.2.10"},
                    {".1.3.6.1.2.1.1.3.0", "sysUpTime.0", "TimeTicks", "(1234) 0:00:12.34"}};
    Cursor cursor;
    QCOMPARE(writeError(file, rows, cursor), QString());
    QCOMPARE(readAll(file), expectedText(rows));
    QCOMPARE(readAll(file).count("\r\n"), 3);
    QVERIFY(readAll(file).startsWith(".1.3.6.1.2.1.1.1.0 | sysDescr.0 | OCTET STRING | Linux\r\n.1.3.6.1.2.1.1.2.0"));
    QCOMPARE(cursor.pushed, 1);
    QCOMPARE(cursor.popped, 1);

    const Rows abcd{{"a", "b", "c", "d"}};
    QCOMPARE(writeError(file, abcd, cursor), QString());
    QCOMPARE(readAll(file), QByteArray("a | b | c | d\r\n"));
    QCOMPARE(QFileInfo(file).size(), 15);
}

void TestResultFile::emptyListGivesEmptyFile()
{
    const QString file = m_dir->filePath("empty.txt");
    Cursor cursor;
    QCOMPARE(writeError(file, Rows{}, cursor), QString());
    QVERIFY(QFile::exists(file));
    QCOMPARE(QFileInfo(file).size(), 0);
    QCOMPARE(cursor.pushed, 1);
    QCOMPARE(cursor.popped, 1);
}

void TestResultFile::textsWrittenVerbatim()
{
    std::string dump;
    for (int i = 0; i < 400; ++i)
        dump += "0123456789ABCDEF"[i % 16] + std::string(i % 3 == 2 ? " " : "");
    const Rows rows{{".1.3.6.1.4.1.1", "a|b", "OCTET STRING", "x | y || z"},
                    {".1.3.6.1.4.1.2", "", "OCTET STRING", "Z\xc3\xbcrich \xe2\x9c\x93 \xff\xfe raw"},
                    {".1.3.6.1.4.1.3", "name", "Opaque", dump},
                    {"", "", "", ""}};
    const QString file = m_dir->filePath("verbatim.txt");
    Cursor cursor;
    QCOMPARE(writeError(file, rows, cursor), QString());
    const QByteArray text = readAll(file);
    QCOMPARE(text, expectedText(rows));
    QVERIFY(text.endsWith("\r\n | " " | " " | \r\n"));
    QVERIFY(!text.startsWith("\xef\xbb\xbf"));
}

void TestResultFile::manyRows()
{
    // Compact rows and one buffer: a million rows must not take long.
    Rows rows;
    rows.m_rows.reserve(1000000);
    for (int i = 0; i < 1000000; ++i)
        rows.m_rows.push_back({".1.3.6.1.2.1.2.2.1.10." + std::to_string(i), "ifInOctets." + std::to_string(i),
                               "Counter32", std::to_string(i * 7)});
    const QString file = m_dir->filePath("walk.txt");
    Cursor cursor;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(writeError(file, rows, cursor), QString());
    qInfo("1,000,000 rows written in %lld ms", timer.elapsed());
    const QByteArray text = readAll(file);
    QCOMPARE(text.size(), expectedText(rows).size());
    QCOMPARE(text.count("\r\n"), 1000000);
    QVERIFY(text.endsWith(".1.3.6.1.2.1.2.2.1.10.999999 | ifInOctets.999999 | Counter32 | 6999993\r\n"));
}

void TestResultFile::longPath()
{
    QString folder = m_dir->path();
    while (folder.size() < 400)
        folder += "/a-rather-long-folder-name-for-the-test";
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + "/results.txt";
    QVERIFY(file.size() > 259);
    Cursor cursor;
    QCOMPARE(writeError(file, Rows{{"a", "b", "c", "d"}}, cursor), QString());
    QCOMPARE(QFileInfo(file).size(), 15);
}

void TestResultFile::newFileTakesUmask()
{
    const mode_t previous = ::umask(027);
    Cursor cursor;
    const QString file = m_dir->filePath("mask.txt");
    const QString error = writeError(file, Rows{}, cursor);
    ::umask(previous);
    QCOMPARE(error, QString());
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0640));
}

void TestResultFile::extensionRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "/home/u/results" << "/home/u/results.txt";
    QTest::newRow(".log") << "/home/u/results.log" << "/home/u/results.txt";
    QTest::newRow(".txt") << "/home/u/results.txt" << "/home/u/results.txt";
    QTest::newRow(".TXT") << "/home/u/results.TXT" << "/home/u/results.TXT";
    QTest::newRow(".Txt") << "/home/u/results.Txt" << "/home/u/results.Txt";
    QTest::newRow("final dot") << "/home/u/results." << "/home/u/results.txt";
    QTest::newRow("dotted folder") << "/home/u/data.old/results" << "/home/u/data.old/results.txt";
    QTest::newRow("two dots") << "/home/u/results.final.log" << "/home/u/results.final.txt";
    QTest::newRow("backslash after dot") << "C:\\data.old\\results" << "C:\\data.old\\results.txt";
    QTest::newRow("colon after dot") << "a.b:results" << "a.b:results.txt";
    QTest::newRow(".txt.bak") << "results.txt.bak" << "results.txt.txt";
    QTest::newRow("dot file") << "/home/u/.txtx" << "/home/u/.txt";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/home/u/r\xc3\xa9sum\xc3\xa9.\xc3\xa9")
                               << QString::fromUtf8("/home/u/r\xc3\xa9sum\xc3\xa9.txt");
}

void TestResultFile::extensionRule()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QCOMPARE(withTxtExtension(chosen), written);
}

void TestResultFile::replaceQuestion()
{
    const QString typed = m_dir->filePath("results");
    const QString log = m_dir->filePath("results.log");
    // nothing there yet: no question
    QVERIFY(!needsReplaceQuestion(typed, withTxtExtension(typed)));
    QFile txt(m_dir->filePath("results.txt"));
    QVERIFY(txt.open(QIODevice::WriteOnly));
    txt.close();
    // the dialog asked about "results" (or results.log), not results.txt
    QVERIFY(needsReplaceQuestion(typed, withTxtExtension(typed)));
    QVERIFY(needsReplaceQuestion(log, withTxtExtension(log)));
    // the dialog's own name was already confirmed there
    QVERIFY(!needsReplaceQuestion(txt.fileName(), withTxtExtension(txt.fileName())));
    // a dangling link would be written through: ask too
    const QString link = m_dir->filePath("link.txt");
    QVERIFY(QFile::link(m_dir->filePath("nowhere"), link));
    QVERIFY(needsReplaceQuestion(m_dir->filePath("link"), link));
}

void TestResultFile::openFailures()
{
    Cursor cursor;
    const Rows rows{{"a", "b", "c", "d"}};
    QCOMPARE(writeError(m_dir->filePath("missing/results.txt"), rows, cursor), "Invalid filename");
    QFile plain(m_dir->filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QCOMPARE(writeError(plain.fileName() + "/inside.txt", rows, cursor), "Invalid filename");
    // the folder is there, the name leads nowhere
    QVERIFY(QFile::link(m_dir->filePath("missing/target.txt"), m_dir->filePath("dangling.txt")));
    QCOMPARE(writeError(m_dir->filePath("dangling.txt"), rows, cursor), "File not found");
    QCOMPARE(cursor.pushed, 0);
    QCOMPARE(cursor.popped, 0);
}

void TestResultFile::accessDenied()
{
    Cursor cursor;
    const Rows rows{{"a", "b", "c", "d"}};
    if (::geteuid() == 0) {
        // permissions do not hold back root; sysfs lets nobody create files
        if (!QFileInfo(QStringLiteral("/sys")).isDir())
            QSKIP("running as root without /sys");
        QCOMPARE(writeError("/sys/results.txt", rows, cursor), "File access denied");
        QCOMPARE(cursor.pushed, 0);
        return;
    }
    const QString folder = m_dir->filePath("readonly");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const QString error = writeError(folder + "/results.txt", rows, cursor);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(error, "File access denied");
    QCOMPARE(cursor.pushed, 0);
}

void TestResultFile::errnoMessages()
{
    const QString inTemp = m_dir->filePath("results.txt");
    const QString inMissing = m_dir->filePath("missing/results.txt");
    QCOMPARE(fileErrorMessage(ENOENT, inTemp), "File not found");
    QCOMPARE(fileErrorMessage(ENOENT, inMissing), "Invalid filename");
    QCOMPARE(fileErrorMessage(ENOTDIR, inTemp), "Invalid filename");
    QCOMPARE(fileErrorMessage(EMFILE, inTemp), "Too many open files");
    QCOMPARE(fileErrorMessage(ENFILE, inTemp), "Too many open files");
    for (int err : {EACCES, EPERM, EROFS, EISDIR})
        QCOMPARE(fileErrorMessage(err, inTemp), "File access denied");
    QCOMPARE(fileErrorMessage(ENOSPC, inTemp), "I/O error 112");
    QCOMPARE(fileErrorMessage(EDQUOT, inTemp), "I/O error 112");
    // other errors keep their own number, even where it equals a code of the table
    QCOMPARE(fileErrorMessage(EIO, inTemp), "I/O error 5");
    QCOMPARE(fileErrorMessage(EFBIG, inTemp), "I/O error 27");
    QCOMPARE(fileErrorMessage(ENAMETOOLONG, inTemp), "I/O error 36");

    // a folder's name is refused as on the original platform
    Cursor cursor;
    QCOMPARE(writeError(m_dir->path(), Rows{}, cursor), "File access denied");
    QCOMPARE(cursor.pushed, 0);
}

void TestResultFile::fullDevice()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full");
    // less than a block: the failure comes with the close
    Cursor small;
    QCOMPARE(writeError("/dev/full", Rows{{"a", "b", "c", "d"}}, small), "I/O error 112");
    QCOMPARE(small.pushed, 1);
    QCOMPARE(small.popped, 1);
    // the first block fails: reported at the end of its row
    Cursor big;
    const Rows rows = fiftyByteRows(10);
    QCOMPARE(writeError("/dev/full", rows, big), "I/O error 112");
    QCOMPARE(rows.m_lastRow, 2); // bytes 100..149 hold byte 128
    QCOMPARE(big.pushed, 1);
    QCOMPARE(big.popped, 1);
}

void TestResultFile::failedBlockKeepsEarlierBlocks()
{
    const QString file = m_dir->filePath("partial.txt");
    const Rows rows = fiftyByteRows(20);
    int blocks = 0;
    int depthDuringWrite = -1;
    Cursor cursor;
    const FileWriteFunction write = [&](int fd, const void *data, size_t size) -> ssize_t {
        depthDuringWrite = cursor.depth;
        if (++blocks == 3) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size);
    };
    QCOMPARE(writeError(file, rows, cursor, write), "I/O error 112");
    QCOMPARE(blocks, 3); // nothing written after the failure, not even at the close
    QCOMPARE(depthDuringWrite, 1);
    QCOMPARE(rows.m_lastRow, 7); // the row that filled the third block was finished
    QCOMPARE(readAll(file), expectedText(rows).first(256));
    QCOMPARE(cursor.pushed, 1);
    QCOMPARE(cursor.popped, 1);

    // A row longer than several blocks: once one block failed, none of the
    // row's later blocks may land behind the gap, even if writing works again.
    const Rows longRow{{".1.3.6.1.4.1.9", "dump", "Opaque", std::string(600, 'F')}};
    int longCalls = 0;
    const FileWriteFunction failOnce = [&](int fd, const void *data, size_t size) -> ssize_t {
        if (++longCalls == 2) {
            errno = EIO;
            return -1;
        }
        return ::write(fd, data, size);
    };
    QCOMPARE(writeError(file, longRow, cursor, failOnce), "I/O error 5");
    QCOMPARE(longCalls, 2);
    QCOMPARE(readAll(file), expectedText(longRow).first(128));

    // a write that stops short is continued
    int calls = 0;
    const FileWriteFunction dribble = [&](int fd, const void *data, size_t size) -> ssize_t {
        ++calls;
        return ::write(fd, data, std::min<size_t>(size, 7));
    };
    QCOMPARE(writeError(file, rows, cursor, dribble), QString());
    QCOMPARE(readAll(file), expectedText(rows));
    QVERIFY(calls > 1000 / 7);
}

void TestResultFile::fileSizeLimitKeepsEarlierBlocks()
{
    // A real file that cannot grow past two blocks.
    const QString file = m_dir->filePath("limited.txt");
    const Rows rows = fiftyByteRows(20);
    rlimit previous {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 256;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    Cursor cursor;
    const QString error = writeError(file, rows, cursor);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(error, "I/O error 27"); // EFBIG
    QCOMPARE(readAll(file), expectedText(rows).first(256));
    QCOMPARE(rows.m_lastRow, 7);
    QCOMPARE(cursor.pushed, 1);
    QCOMPARE(cursor.popped, 1);
}

QTEST_GUILESS_MAIN(TestResultFile)
#include "tst_resultfile.moc"
