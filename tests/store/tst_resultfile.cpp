// SPDX-License-Identifier: MIT
#include "store/resultfile.h"
#include "tests/support/files.h"
#include "tests/support/textrows.h"

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

// 50 bytes a line, so the third 128-byte block fills during row 7.
TextRows fiftyByteRows(int count)
{
    TextRows rows;
    for (int i = 0; i < count; ++i) {
        char oid[16];
        std::snprintf(oid, sizeof oid, ".1.3.6.%02d", i % 100);
        rows.rows.push_back({oid, "sysDescr.0", "OCTET STRING", "valuetxt"});
    }
    return rows;
}

// Rows of many lengths, some longer than a block, over several 64 KiB writes.
TextRows mixedRows()
{
    TextRows rows;
    for (int i = 0; i < 1500; ++i)
        rows.rows.push_back({".1.3.6.1.4.1.99999." + std::to_string(i), std::string(size_t(i % 50), 'n'),
                               "OCTET STRING", std::string(size_t(i * 37 % 300), 'v')});
    return rows;
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
    void failedWriteKeepsTheEarlierFile_data();
    void failedWriteKeepsTheEarlierFile();
    void fileSizeLimitKeepsTheEarlierFile();

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

    const TextRows rows{{".1.3.6.1.2.1.1.1.0", "sysDescr.0", "OCTET STRING", "Linux"},
                    {".1.3.6.1.2.1.1.2.0", "sysObjectID.0", "OBJECT IDENTIFIER", ".1.3.6.1.4.1.8072.3.2.10"},
                    {".1.3.6.1.2.1.1.3.0", "sysUpTime.0", "TimeTicks", "(1234) 0:00:12.34"}};
    WriteSteps steps;
    QCOMPARE(writeResult(file, rows, steps), QString());
    QCOMPARE(readAll(file), rows.text());
    QCOMPARE(readAll(file).count("\r\n"), 3);
    QVERIFY(readAll(file).startsWith(".1.3.6.1.2.1.1.1.0 | sysDescr.0 | OCTET STRING | Linux\r\n.1.3.6.1.2.1.1.2.0"));
    QCOMPARE(steps.opened, 1);
    QCOMPARE(steps.finished, 1);

    const TextRows abcd{{"a", "b", "c", "d"}};
    QCOMPARE(writeResult(file, abcd, steps), QString());
    QCOMPARE(readAll(file), QByteArray("a | b | c | d\r\n"));
    QCOMPARE(QFileInfo(file).size(), 15);
}

void TestResultFile::emptyListGivesEmptyFile()
{
    const QString file = m_dir->filePath("empty.txt");
    WriteSteps steps;
    QCOMPARE(writeResult(file, TextRows{}, steps), QString());
    QVERIFY(QFile::exists(file));
    QCOMPARE(QFileInfo(file).size(), 0);
    QCOMPARE(steps.opened, 1);
    QCOMPARE(steps.finished, 1);
}

void TestResultFile::textsWrittenVerbatim()
{
    std::string dump;
    for (int i = 0; i < 400; ++i)
        dump += "0123456789ABCDEF"[i % 16] + std::string(i % 3 == 2 ? " " : "");
    const TextRows rows{{".1.3.6.1.4.1.1", "a|b", "OCTET STRING", "x | y || z"},
                    {".1.3.6.1.4.1.2", "", "OCTET STRING", "Z\xc3\xbcrich \xe2\x9c\x93 \xff\xfe raw"},
                    {".1.3.6.1.4.1.3", "name", "Opaque", dump},
                    {"", "", "", ""}};
    const QString file = m_dir->filePath("verbatim.txt");
    WriteSteps steps;
    QCOMPARE(writeResult(file, rows, steps), QString());
    const QByteArray text = readAll(file);
    QCOMPARE(text, rows.text());
    QVERIFY(text.endsWith("\r\n | " " | " " | \r\n"));
    QVERIFY(!text.startsWith("\xef\xbb\xbf"));
}

void TestResultFile::manyRows()
{
    // Compact rows and one buffer: a million rows must not take long. They
    // are made as they are read, as the window's list hands out its texts.
    class Counters final : public ResultSource
    {
    public:
        int rowCount() const override { return 1000000; }
        ResultTexts rowTexts(int row) const override
        {
            oid = ".1.3.6.1.2.1.2.2.1.10." + std::to_string(row);
            name = "ifInOctets." + std::to_string(row);
            value = std::to_string(row * 7);
            return {oid, name, "Counter32", value};
        }
        mutable std::string oid, name, value;
    } rows;
    qint64 size = 0;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const ResultTexts t = rows.rowTexts(row);
        size += qint64(t.oid.size() + t.name.size() + t.type.size() + t.value.size()) + 11;
    }
    const QString file = m_dir->filePath("walk.txt");
    WriteSteps steps;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(writeResult(file, rows, steps), QString());
    qInfo("1,000,000 rows written in %lld ms", timer.elapsed());
    const QByteArray text = readAll(file);
    QCOMPARE(text.size(), size);
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
    WriteSteps steps;
    QCOMPARE(writeResult(file, TextRows{{"a", "b", "c", "d"}}, steps), QString());
    QCOMPARE(QFileInfo(file).size(), 15);
}

void TestResultFile::newFileTakesUmask()
{
    const mode_t previous = ::umask(027);
    WriteSteps steps;
    const QString file = m_dir->filePath("mask.txt");
    const QString error = writeResult(file, TextRows{}, steps);
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
    WriteSteps steps;
    const TextRows rows{{"a", "b", "c", "d"}};
    QCOMPARE(writeResult(m_dir->filePath("missing/results.txt"), rows, steps), "Invalid filename");
    QFile plain(m_dir->filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QCOMPARE(writeResult(plain.fileName() + "/inside.txt", rows, steps), "Invalid filename");
    // the folder is there, the name leads nowhere
    QVERIFY(QFile::link(m_dir->filePath("missing/target.txt"), m_dir->filePath("dangling.txt")));
    QCOMPARE(writeResult(m_dir->filePath("dangling.txt"), rows, steps), "File not found");
    QCOMPARE(steps.opened, 0);
    QCOMPARE(steps.finished, 0);
}

void TestResultFile::accessDenied()
{
    WriteSteps steps;
    const TextRows rows{{"a", "b", "c", "d"}};
    if (::geteuid() == 0) {
        // permissions do not hold back root; sysfs lets nobody create files
        if (!QFileInfo(QStringLiteral("/sys")).isDir())
            QSKIP("running as root without /sys");
        QCOMPARE(writeResult("/sys/results.txt", rows, steps), "File access denied");
        QCOMPARE(steps.opened, 0);
        return;
    }
    const QString folder = m_dir->filePath("readonly");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const QString error = writeResult(folder + "/results.txt", rows, steps);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(error, "File access denied");
    QCOMPARE(steps.opened, 0);
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
    WriteSteps steps;
    QCOMPARE(writeResult(m_dir->path(), TextRows{}, steps), "File access denied");
    QCOMPARE(steps.opened, 0);
}

void TestResultFile::fullDevice()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full");
    // less than a block: the failure comes with the close
    WriteSteps small;
    int row = -1;
    QCOMPARE(writeResult("/dev/full", TextRows{{"a", "b", "c", "d"}}, small, {}, &row), "I/O error 112");
    QCOMPARE(row, 1);
    QCOMPARE(small.opened, 1);
    QCOMPARE(small.finished, 1);
    // the first block fails: reported at the end of its row
    WriteSteps big;
    const TextRows rows = fiftyByteRows(10);
    QCOMPARE(writeResult("/dev/full", rows, big, {}, &row), "I/O error 112");
    QCOMPARE(row, 2); // bytes 100..149 hold byte 127
    QCOMPARE(big.opened, 1);
    QCOMPARE(big.finished, 1);
}

// The disk takes `limit` bytes (-1: all) in writes of at most `piece` bytes
// (0: any), then fails with err. The file must be the one that was there,
// whole, and the failure come at the row a 128-byte buffer would name.
void TestResultFile::failedWriteKeepsTheEarlierFile_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<int>("err");
    QTest::addColumn<qint64>("piece");
    QTest::newRow("third block") << "fifty" << qint64(256) << ENOSPC << qint64(0);
    QTest::newRow("final partial block") << "fifty" << qint64(900) << ENOSPC << qint64(0);
    QTest::newRow("long row, second block") << "long" << qint64(128) << EIO << qint64(0);
    QTest::newRow("short writes, no limit") << "fifty" << qint64(-1) << 0 << qint64(7);
    QTest::newRow("short writes, limit") << "mixed" << qint64(100'003) << ENOSPC << qint64(1000);
    const qint64 total = mixedRows().text().size();
    for (qint64 limit : {qint64(0), qint64(1), qint64(127), qint64(128), qint64(129), qint64(4000), qint64(65'535),
                         qint64(65'536), qint64(65'537), qint64(131'272), total - 129, total - 128, total - 127,
                         total - 1, total})
        QTest::addRow("mixed, %lld", qlonglong(limit)) << "mixed" << limit << ENOSPC << qint64(0);
}

void TestResultFile::failedWriteKeepsTheEarlierFile()
{
    QFETCH(QString, set);
    QFETCH(qint64, limit);
    QFETCH(int, err);
    QFETCH(qint64, piece);
    const TextRows rows = set == "fifty" ? fiftyByteRows(20)
                      : set == "long"  ? TextRows{{".1.3.6.1.4.1.9", "dump", "Opaque", std::string(600, 'F')}}
                                       : mixedRows();
    const QByteArray text = rows.text();

    QString message;
    int reportRow = -1;
    if (limit >= 0 && limit < text.size()) {
        // Block by block: the first block past the limit fails; it filled
        // during the row holding its last byte, or it is the last, partial
        // block, which goes out with the close.
        const qint64 block = limit / 128 * 128;
        message = fileErrorMessage(err, m_dir->path());
        reportRow = rows.rowCount();
        qint64 lineEnd = 0;
        for (int r = 0; r < rows.rowCount() && block + 128 <= text.size(); ++r) {
            lineEnd += TextRows{rows.rows[size_t(r)]}.text().size();
            if (lineEnd > block + 127) {
                reportRow = r;
                break;
            }
        }
    }

    WriteSteps steps;
    qint64 taken = 0;
    int callsAfterFailure = 0;
    bool failed = false;
    bool writingDuringWrite = false;
    const WriteFunction disk = [&](int fd, const void *data, size_t size) -> ssize_t {
        writingDuringWrite = steps.writing;
        callsAfterFailure += failed;
        if (limit >= 0 && taken >= limit) {
            failed = true;
            errno = err;
            return -1;
        }
        size_t n = limit >= 0 ? std::min<size_t>(size, size_t(limit - taken)) : size;
        n = piece > 0 ? std::min<size_t>(n, size_t(piece)) : n;
        const ssize_t written = ::write(fd, data, n);
        taken += std::max<ssize_t>(written, 0);
        return written;
    };
    const QString file = m_dir->filePath("partial.txt");
    const QByteArray earlier = "results of an earlier day\r\n";
    QVERIFY(writeFile(file, earlier));
    int row = -1;
    QCOMPARE(writeResult(file, rows, steps, disk, &row), message);
    QCOMPARE(row, reportRow);
    QCOMPARE(readAll(file), message.isEmpty() ? text : earlier);
    QCOMPARE(filesIn(m_dir->path(), "*.tmp-*"), QStringList());
    QCOMPARE(callsAfterFailure, 0); // nothing written after the failure, not even at the close
    QVERIFY(writingDuringWrite);
    QCOMPARE(steps.opened, 1);
    QCOMPARE(steps.finished, 1);
}

void TestResultFile::fileSizeLimitKeepsTheEarlierFile()
{
    // A real file that cannot grow past two blocks.
    const QString file = m_dir->filePath("limited.txt");
    const TextRows rows = fiftyByteRows(20);
    QVERIFY(writeFile(file, fiftyByteRows(2).text()));
    rlimit previous {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 256;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    WriteSteps steps;
    int row = -1;
    const QString error = writeResult(file, rows, steps, {}, &row);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(error, "I/O error 27"); // EFBIG
    QCOMPARE(readAll(file), fiftyByteRows(2).text());
    QCOMPARE(row, 7);
    QCOMPARE(steps.opened, 1);
    QCOMPARE(steps.finished, 1);
}

QTEST_GUILESS_MAIN(TestResultFile)
#include "tst_resultfile.moc"
