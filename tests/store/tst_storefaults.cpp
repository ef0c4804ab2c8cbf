// SPDX-License-Identifier: MIT
// Faults of the files the program keeps and writes: a settings file that is
// damaged, huge, of the wrong kinds or unreadable, a crash while it is
// replaced, and result files saved where they cannot go. Each case checks
// the user's message and that nothing the user had is lost.
#include "store/filesafety.h"
#include "store/settingsstore.h"
#include "tests/support/confighome.h"
#include "tests/support/files.h"
#include "tests/support/textrows.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t Nobody = 65534;
const QString KeptPrefix = QStringLiteral("The settings file could not be read; it was kept as '");

// What a user who ran a few queries leaves behind at exit.
Settings used()
{
    Settings s;
    s.operation = Operation::Walk;
    s.bounds = QRect(10, 20, 700, 500);
    s.toolBarShown = false;
    s.transport.timeOut = 2500;
    s.transport.retries = 4;
    s.agents.items = QStringList{"10.9.8.7", "router-\"east\"\\2", "127.0.0.1"};
    s.communities.items = QStringList{"s3cret", "public"};
    s.oids.items = QStringList{"IF-MIB::ifTable", ".1.3.6.1.2.1.1.1.0;.1.3.6.1.2.1.1.3.0", "all"};
    return s;
}

// Nothing loaded: the window stays as it was built.
bool isFresh(const Settings &s)
{
    return s.operation == Operation::Get && !s.bounds && s.windowState == 0 && s.toolBarShown && s.statusBarShown
           && s.transport == TransportSettings() && !s.agents.items;
}

// Enough rows for several of the writer's 64 KiB writes.
const TextRows Rows(4000, TextRows::Row {".1.3.6.1.2.1.1.5.0", "SNMPv2-MIB::sysName.0", "Octet String", "box"});

LoadedSettings load(const QString &path, int lockWait = RegistryHive::DefaultLockWaitMs)
{
    RegistryHive hive(path);
    hive.setLockWait(lockWait);
    return loadSettings(hive);
}

QString save(const QString &path, const Settings &settings, WriteFunction write = {},
             int lockWait = RegistryHive::DefaultLockWaitMs)
{
    RegistryHive hive(path);
    hive.setWriteFunction(std::move(write));
    hive.setLockWait(lockWait);
    return saveSettings(hive, settings).message();
}

struct ChildOutcome
{
    int status = -1;  // as waitpid gives it
    QByteArray reply; // what the child wrote back
};

// Runs work in a forked child, optionally as user nobody, and returns what it
// wrote back. The child never returns into the test.
ChildOutcome inChild(const std::function<QByteArray()> &work, bool asNobody)
{
    ChildOutcome outcome;
    int fds[2];
    if (::pipe(fds) != 0)
        return outcome;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
            ::_exit(99);
        const QByteArray reply = work();
        const ssize_t written = ::write(fds[1], reply.constData(), size_t(reply.size()));
        ::_exit(written == reply.size() ? 0 : 98);
    }
    ::close(fds[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        outcome.reply.append(buffer, n);
    }
    ::close(fds[0]);
    if (pid > 0)
        ::waitpid(pid, &outcome.status, 0);
    return outcome;
}

} // namespace

class TestStoreFaults final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void truncatedFileAtEveryByte();
    void unparsableFiles_data();
    void unparsableFiles();
    void fiftyMegabyteFile();
    void largeFileWrittenBack();
    void notRegularOrLocked_data();
    void notRegularOrLocked();
    void symbolicLinkWrittenThrough_data();
    void symbolicLinkWrittenThrough();
    void everyWrongType_data();
    void everyWrongType();
    void unreadableFile_data();
    void unreadableFile();
    void crashWhileReplacing_data();
    void crashWhileReplacing();
    void privateUnderPermissiveUmask();

    void resultKilledWhileSaved_data();
    void resultKilledWhileSaved();
    void resultFolderDisappears();
    void resultFolderReadOnly();
    void resultLongPaths();

private:
    std::unique_ptr<ConfigHome> m_dir;
    QString m_path;
    QString m_folder;
    QByteArray m_usedFile; // what used() leaves in the file

    void verifyKeptAside(const QString &message, const QByteArray &original);
};

void TestStoreFaults::init()
{
    m_dir = std::make_unique<ConfigHome>();
    QVERIFY(m_dir->isValid());
    m_path = RegistryHive::defaultFilePath();
    m_folder = QFileInfo(m_path).path();
    if (m_usedFile.isEmpty()) {
        QCOMPARE(save(m_path, used()), QString());
        m_usedFile = readAll(m_path);
        QVERIFY(m_usedFile.contains("10.9.8.7"));
        QFile::remove(m_path);
    }
}

void TestStoreFaults::cleanup()
{
    // Nothing a test does may leave a half-written settings file behind.
    if (m_dir && QFile::exists(m_path)) {
        RegistryHive hive(m_path);
        QCOMPARE(hive.load().message(), QString());
    }
    m_dir.reset();
}

// The message names the file the bytes went to; they are all there, the
// settings file itself is gone, and the next exit writes a fresh one beside it.
void TestStoreFaults::verifyKeptAside(const QString &message, const QByteArray &original)
{
    QVERIFY2(message.startsWith(KeptPrefix + m_path + ".bad-") && message.endsWith(QLatin1String("'.")),
             qPrintable(message));
    const QString keptAs = message.section(QLatin1Char('\''), 1, 1);
    QCOMPARE(readAll(keptAs), original);
    QVERIFY(!QFile::exists(m_path));
}

// Cut the file a user left after any byte: each cut either still reads (what
// is there is used) or is kept aside whole with a message; never a crash,
// never a file lost.
void TestStoreFaults::truncatedFileAtEveryByte()
{
    int read = 0;
    int keptAside = 0;
    for (qsizetype cut = 1; cut < m_usedFile.size(); ++cut) {
        const QByteArray truncated = m_usedFile.left(cut);
        QVERIFY(writeFile(m_path, truncated));
        const LoadedSettings loaded = load(m_path);
        const QString message = loaded.error.message();
        if (message.isEmpty()) {
            ++read;
            QCOMPARE(readAll(m_path), truncated);
        } else {
            ++keptAside;
            verifyKeptAside(message, truncated);
            QVERIFY(isFresh(loaded.settings));
            for (const QString &bad : filesIn(m_folder, QStringLiteral("Norvane.reg.bad-*")))
                QVERIFY(QFile::remove(m_folder + QLatin1Char('/') + bad));
        }
    }
    qInfo("%lld cuts: %d read, %d kept aside", m_usedFile.size() - 1, read, keptAside);
    QVERIFY(read > 0 && keptAside > 0);
}

void TestStoreFaults::unparsableFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray junk;
    QRandomGenerator random(2024);
    for (int i = 0; i < 4096; ++i)
        junk.append(char(random.bounded(256)));
    QTest::newRow("binary junk") << junk;
    QTest::newRow("zero bytes") << QByteArray(1000, '\0');
    QTest::newRow("junk behind a good header") << QByteArray("REGEDIT4\r\n\r\n") + junk;
    // What regedit exports on Windows, version 5 syntax in UTF-16, here one
    // that deletes a key: nothing a store can hold.
    const QString export5 = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[-HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n");
    QTest::newRow("UTF-16 export deleting a key") << QByteArray("\xff\xfe", 2)
                                          + QByteArray(reinterpret_cast<const char *>(export5.utf16()), export5.size() * 2);
    QTest::newRow("a document") << QByteArray("%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog >>\nendobj\n");
    // What could not be written back: Latin-1 goes out as hex, three times as
    // long, and every key on a path gets a line of its own.
    const QByteArray agents = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists\\hlAgent]\r\n";
    QTest::newRow("6 MiB of Latin-1") << agents + "\"Item0\"=\"" + QByteArray(6 << 20, '\xe9') + "\"\r\n";
    QByteArray deep = "REGEDIT4\r\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 500; ++i)
        deep += '\\' + QByteArray(20'000, 'k');
    QTest::newRow("one line of 500 keys") << deep + "]\r\n";
}

void TestStoreFaults::unparsableFiles()
{
    QFETCH(QByteArray, content);
    QVERIFY(writeFile(m_path, content));
    LoadedSettings loaded = load(m_path);
    const QString message = loaded.error.message();
    verifyKeptAside(message, content);
    QVERIFY(isFresh(loaded.settings));
    QVERIFY(loaded.settings.agents.selectFirst); // a first start's selection

    // The exit writes a good file and leaves the kept one alone.
    loaded.settings.transport.timeOut = 3210;
    QCOMPARE(save(m_path, loaded.settings), QString());
    const LoadedSettings next = load(m_path);
    QCOMPARE(next.error.message(), QString());
    QCOMPARE(next.settings.transport.timeOut, 3210);
    QCOMPARE(readAll(message.section(QLatin1Char('\''), 1, 1)), content);
}

// A file far past the reader's bound is not read at all (so it is quick),
// and it is kept aside like any other file that cannot be used.
void TestStoreFaults::fiftyMegabyteFile()
{
    constexpr qint64 Size = 50 * 1024 * 1024;
    {
        QVERIFY(writeFile(m_path, m_usedFile));
        QFile file(m_path);
        QVERIFY(file.resize(Size)); // sparse: the rest reads as zero bytes
    }
    QElapsedTimer clock;
    clock.start();
    const LoadedSettings loaded = load(m_path);
    const QString message = loaded.error.message();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(message.startsWith(KeptPrefix + m_path + ".bad-"), qPrintable(message));
    const QString keptAs = message.section(QLatin1Char('\''), 1, 1);
    QCOMPARE(QFileInfo(keptAs).size(), Size);
    QFile kept(keptAs);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.read(m_usedFile.size()), m_usedFile);
    QVERIFY(isFresh(loaded.settings));
    QCOMPARE(save(m_path, loaded.settings), QString());
    QVERIFY(QFileInfo(m_path).size() < 4096);
}

// 6 MiB of text in the file: it loads, and the exit writes it back with
// everything else (a file over 4 MiB refused every value at exit).
void TestStoreFaults::largeFileWrittenBack()
{
    QVERIFY(writeFile(m_path, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists\\hlAgent]\r\n"
                             "\"Item0\"=\"" + QByteArray(6 << 20, 'a') + "\"\r\n"));
    LoadedSettings loaded = load(m_path);
    QCOMPARE(loaded.error.message(), QString());
    loaded.settings.transport.timeOut = 4321;
    QCOMPARE(save(m_path, loaded.settings), QString());
    const LoadedSettings next = load(m_path);
    QCOMPARE(next.error.message(), QString());
    QCOMPARE(next.settings.transport.timeOut, 4321);
    QCOMPARE(next.settings.agents.items.value_or(QStringList()).value(0).size(), 6 << 20);
}

void TestStoreFaults::notRegularOrLocked_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<QString>("atExit");
    QTest::newRow("FIFO") << true << "could not be read: it is not a regular file."
                          << "could not be written: it is not a regular file.";
    QTest::newRow("lock held by a hung copy") << false << "is locked by another program."
                                              << "could not be written: it is locked by another program.";
}

// Neither holds up start or exit; both are said, and the file stays as it
// was. A locked file is still read: writers replace it whole.
void TestStoreFaults::notRegularOrLocked()
{
    QFETCH(bool, fifo);
    QFETCH(QString, atStart);
    QFETCH(QString, atExit);
    QVERIFY(writeFile(m_path, m_usedFile));
    const QByteArray path = QFile::encodeName(m_path);
    QVERIFY(!fifo || (QFile::remove(m_path) && ::mkfifo(path.constData(), 0600) == 0));
    UniqueFd lock(::open(path + ".lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    QVERIFY(fifo || ::flock(lock.get(), LOCK_EX) == 0);
    QElapsedTimer clock;
    clock.start();
    const LoadedSettings loaded = load(m_path, 200);
    QCOMPARE(loaded.error.message(), "The settings file '" + m_path + "' " + atStart);
    QCOMPARE(loaded.settings.transport.timeOut, fifo ? 1000 : 2500);
    QCOMPARE(save(m_path, loaded.settings, {}, 200), "The settings file '" + m_path + "' " + atExit);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(QFileInfo(m_path).isFile(), !fifo);
    lock.reset();
    QVERIFY(!fifo || QFile::remove(m_path));
    QCOMPARE(readAll(m_path), fifo ? QByteArray() : m_usedFile);
}

void TestStoreFaults::symbolicLinkWrittenThrough_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("absolute") << "" << true;
    QTest::newRow("relative") << "../dotfiles/norvane.reg" << true;
    QTest::newRow("dangling") << "../dotfiles/norvane.reg" << false;
}

// A dotfiles manager's link stays a link: the exit replaces its target, in
// the target's folder, and leaves nothing else there.
void TestStoreFaults::symbolicLinkWrittenThrough()
{
    QFETCH(QString, link);
    QFETCH(bool, targetExists);
    const QString dotfiles = m_dir->filePath(QStringLiteral("dotfiles"));
    const QString target = dotfiles + QStringLiteral("/norvane.reg");
    QVERIFY(QDir().mkpath(dotfiles) && QDir().mkpath(m_folder) && (!targetExists || writeFile(target, m_usedFile)));
    QVERIFY(QFile::link(link.isEmpty() ? target : link, m_path));
    LoadedSettings loaded = load(m_path);
    QCOMPARE(loaded.error.message(), QString());
    QCOMPARE(loaded.settings.transport.timeOut, targetExists ? 2500 : 1000);
    loaded.settings.transport.timeOut = 6543;
    QCOMPARE(save(m_path, loaded.settings), QString());
    QCOMPARE(QFileInfo(m_path).symLinkTarget(), target);
    QCOMPARE(filesIn(dotfiles, QStringLiteral("*")), QStringList{QStringLiteral("norvane.reg")});
    loaded = load(m_path);
    QCOMPARE(loaded.error.message(), QString());
    QCOMPARE(loaded.settings.transport.timeOut, 6543);
}

void TestStoreFaults::everyWrongType_data()
{
    QTest::addColumn<int>("failing");  // position in the load order below
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("message");

    const char *const integers[] = {"WindowState", "ShowToolBar", "ShowStatusBar", "Action", "TimeOut", "Retries"};
    for (int i = 0; i < 6; ++i) {
        const QByteArray name = QByteArray("\"") + integers[i] + "\"=";
        const QString invalid = QStringLiteral("Invalid data type for '%1'").arg(QLatin1String(integers[i]));
        const QString failed = QStringLiteral("Failed to get data for '%1'").arg(QLatin1String(integers[i]));
        const auto row = [&](const char *kind) -> QTestData & { return QTest::addRow("%s as %s", integers[i], kind); };
        row("text of 3 bytes") << i + 1 << name + "\"12\"" << invalid;
        row("text of 5 bytes") << i + 1 << name + "\"1234\"" << failed;
        row("binary of 4 bytes") << i + 1 << name + "hex:01,00,00,00" << invalid;
        row("no type, no data") << i + 1 << name + "hex(0):" << invalid;
        row("expandable text") << i + 1 << name + "hex(2):31,00" << invalid;
        row("multi text") << i + 1 << name + "hex(7):31,00,32,00,00" << failed;
        row("64-bit number") << i + 1 << name + "hex(b):01,00,00,00,00,00,00,00" << failed;
    }
    const QString position = QStringLiteral("Invalid data type for 'Position'");
    QTest::newRow("Position as text") << 0 << QByteArray("\"Position\"=\"0,0,640,480\"") << position;
    QTest::newRow("Position as number") << 0 << QByteArray("\"Position\"=dword:00000010") << position;
    QTest::newRow("Position as expandable text") << 0 << QByteArray("\"Position\"=hex(2):30,00") << position;
    QTest::newRow("Position of 17 bytes") << 0 << QByteArray("\"Position\"=hex:") + QByteArray(17, 'x').toHex(',')
                                          << position;
    const QString item = QStringLiteral("Invalid data type for 'Item0'");
    QTest::newRow("history entry as number") << 7 << QByteArray("\"Item0\"=dword:0a090807") << item;
    QTest::newRow("history entry as binary") << 7 << QByteArray("\"Item0\"=hex:31,30,00") << item;
    QTest::newRow("history entry as multi text") << 7 << QByteArray("\"Item0\"=hex(7):31,00,00") << item;
}

// One value of a wrong kind: its message, everything read before it applied,
// nothing after it, no key left open, and the file itself untouched.
void TestStoreFaults::everyWrongType()
{
    QFETCH(int, failing);
    QFETCH(QByteArray, line);
    QFETCH(QString, message);
    const QByteArray good[] = {
        "\"Position\"=hex:0a,00,00,00,14,00,00,00,28,00,00,00,3c,00,00,00",
        "\"WindowState\"=dword:00000002", "\"ShowToolBar\"=dword:00000000", "\"ShowStatusBar\"=dword:00000000",
        "\"Action\"=dword:00000003", "\"TimeOut\"=dword:000009c4", "\"Retries\"=dword:00000004",
        "\"Item0\"=\"10.9.8.7\"",
    };
    QByteArray text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane]\r\n";
    for (int i = 0; i < 7; ++i)
        text += (i == failing ? line : good[i]) + "\r\n";
    text += "\r\n[HKEY_CURRENT_USER\\Software\\Ferrolyn\\Norvane\\History Lists\\hlAgent]\r\n";
    text += (failing == 7 ? line : good[7]) + "\r\n";
    QVERIFY(writeFile(m_path, text));

    const LoadedSettings loaded = load(m_path);
    const Settings &s = loaded.settings;
    QCOMPARE(loaded.error.message(), message);
    QCOMPARE(s.bounds, failing > 0 ? std::optional(QRect(10, 20, 30, 40)) : std::nullopt);
    QCOMPARE(s.windowState, failing > 1 ? 2 : 0);
    QCOMPARE(s.toolBarShown, failing <= 2);
    QCOMPARE(s.statusBarShown, failing <= 3);
    QCOMPARE(int(s.operation), failing > 4 ? 3 : 1);
    QCOMPARE(s.transport.timeOut, failing > 5 ? 2500 : 1000);
    QCOMPARE(s.transport.retries, failing > 6 ? 4 : 1);
    // The failing entry's list replaces the box's, empty: it failed at its first value.
    QCOMPARE(s.agents.items, failing == 7 ? std::optional(QStringList()) : std::nullopt);
    QCOMPARE(readAll(m_path), text);
    QVERIFY(filesIn(m_folder, QStringLiteral("Norvane.reg.*")) == QStringList{"Norvane.reg.lock"});
}

void TestStoreFaults::unreadableFile_data()
{
    QTest::addColumn<int>("closed");
    QTest::newRow("file not readable") << 0;
    QTest::newRow("settings folder not searchable") << 1;
    QTest::newRow("config folder not searchable") << 2;
}

// Start and exit say why, and the file is neither moved nor replaced: the
// user can put the permissions right and has everything back.
void TestStoreFaults::unreadableFile()
{
    QFETCH(int, closed);
    QVERIFY(writeFile(m_path, m_usedFile));
    const QString closedPath = QStringList{m_path, m_folder, m_dir->path()}.at(closed);
    const auto attempt = [this]() {
        LoadedSettings loaded = load(m_path);
        const QString state = isFresh(loaded.settings) ? QStringLiteral("fresh") : QStringLiteral("changed");
        loaded.settings.transport.timeOut = 7777;
        const QString saved = save(m_path, loaded.settings);
        return (loaded.error.message() + QLatin1Char('\n') + saved + QLatin1Char('\n') + state).toUtf8();
    };

    QByteArray reply;
    const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (::geteuid() == 0) {
        // Root reads every file: try as nobody, with everything open to all
        // but the one place root keeps to itself.
        for (const QString &path : {m_dir->path(), m_folder})
            QVERIFY(QFile::setPermissions(path, owner | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner)); // as the program writes it
        QVERIFY(QFile::setPermissions(closedPath, closed == 0 ? QFile::ReadOwner | QFile::WriteOwner : owner));
        const ChildOutcome child = inChild(attempt, true);
        QVERIFY2(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0, qPrintable(QString::number(child.status)));
        reply = child.reply;
    } else {
        QVERIFY(QFile::setPermissions(closedPath, QFileDevice::Permissions()));
        reply = attempt();
        QVERIFY(QFile::setPermissions(closedPath, closed == 0 ? QFile::ReadOwner | QFile::WriteOwner : owner));
    }

    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    const QStringList lines = QString::fromUtf8(reply).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), "The settings file '" + m_path + "' could not be read: " + denied + '.');
    QCOMPARE(lines.value(1), "The settings file '" + m_path + "' could not be written: " + denied + '.');
    QCOMPARE(lines.value(2), QStringLiteral("fresh"));
    QCOMPARE(readAll(m_path), m_usedFile);
    QCOMPARE(filesIn(m_folder, QStringLiteral("Norvane.reg.bad-*")), QStringList());
    QCOMPARE(filesIn(m_folder, QStringLiteral("Norvane.reg.tmp-*")), QStringList());
}

void TestStoreFaults::crashWhileReplacing_data()
{
    QTest::addColumn<bool>("halfWritten");
    QTest::newRow("killed after the temporary file is written") << false;
    QTest::newRow("killed half-way through the temporary file") << true;
}

// The program dies while it writes the settings at exit: the file it had is
// whole and reads as before, and the leftover temporary file is no obstacle
// to the next start and exit.
void TestStoreFaults::crashWhileReplacing()
{
    QFETCH(bool, halfWritten);
    QVERIFY(writeFile(m_path, m_usedFile));

    const ChildOutcome child = inChild(
        [this, halfWritten]() {
            Settings settings = used();
            settings.transport.timeOut = 9999;
            settings.agents.items = QStringList{"new-agent"};
            save(m_path, settings, [halfWritten](int fd, const void *data, size_t size) -> ssize_t {
                if (halfWritten) {
                    [[maybe_unused]] const ssize_t n = ::write(fd, data, size / 2);
                    ::kill(::getpid(), SIGKILL);
                }
                [[maybe_unused]] const ssize_t n = ::write(fd, data, size);
                ::_exit(3); // before the fsync and the rename
            });
            return QByteArray("returned");
        },
        false);
    if (halfWritten)
        QVERIFY(WIFSIGNALED(child.status) && WTERMSIG(child.status) == SIGKILL);
    else
        QVERIFY(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 3);
    QVERIFY(child.reply.isEmpty());

    QCOMPARE(readAll(m_path), m_usedFile);
    const QStringList stale = filesIn(m_folder, QStringLiteral("Norvane.reg.tmp-*"));
    QCOMPARE(stale.size(), 1);
    QVERIFY(readAll(m_folder + '/' + stale[0]).contains(halfWritten ? "REGEDIT4" : "new-agent"));

    LoadedSettings loaded = load(m_path);
    QCOMPARE(loaded.error.message(), QString());
    QCOMPARE(loaded.settings.transport.timeOut, 2500);
    QCOMPARE(loaded.settings.agents.items, std::optional(QStringList{"10.9.8.7", "router-\"east\"\\2", "127.0.0.1"}));

    loaded.settings.agents.items = QStringList{"after-crash"};
    QCOMPARE(save(m_path, loaded.settings), QString());
    const LoadedSettings next = load(m_path);
    QCOMPARE(next.error.message(), QString());
    QCOMPARE(next.settings.agents.items.value_or(QStringList()).value(0), QStringLiteral("after-crash"));
    QCOMPARE(next.settings.transport.timeOut, 2500);
    // The writer holds the lock, so a temporary file it finds is a dead writer's.
    QCOMPARE(filesIn(m_folder, QStringLiteral("Norvane.reg.tmp-*")), QStringList());
}

// The file holds community strings: it and its folder are the user's alone
// even when the umask gives everything away, also over a file made public by hand.
void TestStoreFaults::privateUnderPermissiveUmask()
{
    const mode_t previous = ::umask(0);
    const QString first = save(m_path, used());
    QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString second = save(m_path, used());
    ::umask(previous);
    QCOMPARE(first, QString());
    QCOMPARE(second, QString());
    QCOMPARE(modeOf(m_folder), mode_t(0700));
    QCOMPARE(modeOf(m_path), mode_t(0600));
    QCOMPARE(modeOf(m_path + ".lock"), mode_t(0600));

    // The settings file is the one place the community is kept.
    QDirIterator files(m_dir->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList holding;
    while (files.hasNext()) {
        const QString path = files.next();
        if (readAll(path).contains("s3cret"))
            holding.append(path);
    }
    QCOMPARE(holding, QStringList{m_path});
}

// Rows of a walk saved over the rows of an earlier one: 6 MiB, some 100 writes.
const TextRows EarlierWalk(50'000, {".1.3.6.1.2.1.1.5.0", "SNMPv2-MIB::sysName.0", "Octet String", "old box"});
const TextRows NewWalk(100'000, {".1.3.6.1.2.1.2.2.1.10.1", "IF-MIB::ifInOctets.1", "Counter32", "7"});

void TestStoreFaults::resultKilledWhileSaved_data()
{
    QTest::addColumn<int>("killAtWrite"); // the write that kills the saving process; 0: none
    QTest::addColumn<int>("afterMs");     // or the test kills it so long after it started; -1: not
    const int writes = int((NewWalk.text().size() + 65535) / 65536);
    QTest::newRow("at its first write") << 1 << -1;
    QTest::newRow("half-way") << writes / 2 << -1;
    QTest::newRow("at its last write") << writes << -1;
    for (const int ms : {1, 3, 8, 20})
        QTest::addRow("after %d ms", ms) << 0 << ms;
}

// The program killed while it saves over an earlier file, at any moment:
// the file is the earlier one or the new one, whole, never a mix.
void TestStoreFaults::resultKilledWhileSaved()
{
    QFETCH(int, killAtWrite);
    QFETCH(int, afterMs);
    const QString file = m_dir->filePath(QStringLiteral("walk.txt"));
    const QByteArray earlier = EarlierWalk.text();
    const QByteArray saved = NewWalk.text();
    QVERIFY(writeFile(file, earlier));
    const pid_t pid = ::fork();
    if (pid == 0) {
        int writes = 0;
        WriteSteps steps;
        writeResult(file, NewWalk, steps, [&](int fd, const void *data, size_t size) -> ssize_t {
            if (++writes == killAtWrite)
                ::kill(::getpid(), SIGKILL);
            return ::write(fd, data, size);
        });
        ::_exit(0);
    }
    QVERIFY(pid > 0);
    if (afterMs >= 0) {
        ::usleep(useconds_t(afterMs) * 1000);
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    QCOMPARE(::waitpid(pid, &status, 0), pid);
    const QByteArray now = readAll(file);
    if (killAtWrite > 0) {
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QVERIFY2(now == earlier, qPrintable(QString::number(now.size())));
    } else {
        QVERIFY2(now == earlier || now == saved, qPrintable(QString::number(now.size())));
    }
    // What a killed save leaves beside it is its own temporary file, never the target.
    for (const QString &left : filesIn(m_dir->path(), QStringLiteral("walk.txt.tmp-*")))
        QVERIFY(QFile::remove(m_dir->filePath(left)));
}

// The folder chosen in the dialog is gone by the time the file is written,
// or goes while it is written: either way the user is told, never "saved".
void TestStoreFaults::resultFolderDisappears()
{
    const QString folder = m_dir->filePath(QStringLiteral("results"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QDir(folder).removeRecursively());
    WriteSteps before;
    QCOMPARE(writeResult(folder + QStringLiteral("/walk.txt"), Rows, before), QStringLiteral("Invalid filename"));
    QCOMPARE(before.opened, 0);
    QVERIFY(!QFileInfo::exists(folder));

    QVERIFY(QDir().mkpath(folder));
    WriteSteps during;
    int blocks = 0;
    const WriteFunction removeFolder = [&](int fd, const void *data, size_t size) -> ssize_t {
        if (++blocks == 2)
            QDir(folder).removeRecursively();
        return ::write(fd, data, size);
    };
    QCOMPARE(writeResult(folder + QStringLiteral("/walk.txt"), Rows, during, removeFolder), QStringLiteral("Invalid filename"));
    QVERIFY(blocks > 2); // the folder went in the middle of the rows
    QCOMPARE(during.opened, 1);
    QCOMPARE(during.finished, 1);

    // Only the file went: the new one takes its place all the same.
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/walk.txt");
    QVERIFY(writeFile(file, "results of an earlier day\r\n"));
    const WriteFunction removeFile = [&](int fd, const void *data, size_t size) -> ssize_t {
        QFile::remove(file);
        return ::write(fd, data, size);
    };
    WriteSteps fileGone;
    QCOMPARE(writeResult(file, Rows, fileGone, removeFile), QString());
    QCOMPARE(readAll(file), Rows.text());

    WriteSteps again;
    QCOMPARE(writeResult(file, Rows, again), QString());
    QCOMPARE(readAll(file), Rows.text());
}

void TestStoreFaults::resultFolderReadOnly()
{
    if (::geteuid() != 0)
        QSKIP("tst_resultfile covers a read-only folder for users other than root");
    // Root may write anywhere; nobody may not write into root's folder.
    const QString folder = m_dir->filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(folder));
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir->path(), open));
    QVERIFY(QFile::setPermissions(folder, open));
    const QString existing = folder + QStringLiteral("/kept.txt");
    QVERIFY(writeFile(existing, "results of an earlier day\r\n"));
    // A file nobody may write in that folder: it cannot be replaced, only
    // written in place, and a disk that fails keeps its whole blocks there.
    const QString shared = folder + QStringLiteral("/shared.txt");
    QVERIFY(writeFile(shared, "results of an earlier day\r\n"));
    QVERIFY(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    const QString failing = folder + QStringLiteral("/failing.txt");
    QVERIFY(writeFile(failing, "results of an earlier day\r\n"));
    QVERIFY(QFile::setPermissions(failing, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));

    const ChildOutcome child = inChild(
        [&]() {
            WriteSteps steps;
            const QString intoFolder = writeResult(folder + QStringLiteral("/walk.txt"), Rows, steps);
            const QString overFile = writeResult(existing, Rows, steps);
            const QString inPlace = writeResult(shared, Rows, steps);
            qint64 taken = 0;
            const QString full = writeResult(failing, Rows, steps, [&](int fd, const void *data, size_t size) -> ssize_t {
                if (taken >= 300) {
                    errno = ENOSPC;
                    return -1;
                }
                const ssize_t n = ::write(fd, data, std::min<size_t>(size, size_t(300 - taken)));
                taken += std::max<ssize_t>(n, 0);
                return n;
            });
            return (intoFolder + '|' + overFile + '|' + inPlace + '|' + full + '|' + QString::number(steps.opened)).toUtf8();
        },
        true);
    QVERIFY(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0);
    QCOMPARE(QString::fromUtf8(child.reply),
             QStringLiteral("File access denied|File access denied||I/O error 112|2"));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/walk.txt")));
    QCOMPARE(readAll(existing), QByteArray("results of an earlier day\r\n"));
    QCOMPARE(readAll(shared), Rows.text());
    QCOMPARE(readAll(failing), Rows.text().first(256));
}

// A path of 4,000 characters in folders that exist is written like any other;
// past the system's limits the user gets a message, not a crash.
void TestStoreFaults::resultLongPaths()
{
    QString folder = m_dir->path();
    const QString part = QLatin1Char('/') + QString(200, QLatin1Char('d'));
    while (folder.size() + part.size() + 10 < 4000)
        folder += part;
    folder += QLatin1Char('/') + QString(3990 - folder.size(), QLatin1Char('e'));
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/walk.txt");
    QCOMPARE(file.size(), 4000);
    WriteSteps steps;
    QCOMPARE(writeResult(file, Rows, steps), QString());
    QCOMPARE(readAll(file), Rows.text());

    // Longer than a path may be, and a name longer than a file name may be.
    QCOMPARE(writeResult(folder + QLatin1Char('/') + QString(200, QLatin1Char('f')), Rows, steps), QStringLiteral("I/O error 36"));
    QCOMPARE(writeResult(m_dir->filePath(QString(300, QLatin1Char('g'))), Rows, steps), QStringLiteral("I/O error 36"));
    QCOMPARE(steps.finished, steps.opened);
}

QTEST_GUILESS_MAIN(TestStoreFaults)
#include "tst_storefaults.moc"
