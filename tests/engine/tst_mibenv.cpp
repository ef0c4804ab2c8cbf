// SPDX-License-Identifier: MIT
// MIBS and MIBDIRS are honoured: with MIBS empty no module loads, even from
// the folders that are searched, and names fall back to numeric labels.
// Entries of the MIB folders that cannot be read never hold the load up, and
// a file refused by its check leaves the next start as it was. The
// environment must be set before the library's first use, hence processes
// of their own.
#include "engine/mib/mibload.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/query/rowrender.h"
#include "tests/support/mibfiles.h"
#include "tests/support/sanitizers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

const char *const ChildMode = "NORVANE_MIBENV_CHILD";
constexpr uid_t Nobody = 65534;

// The bundled folder configured as the program does it, the MIBs loaded (and
// a file, when named); then whether a name converts and each load error,
// "name|message" a line.
int runChild()
{
    if (const QByteArray folder = qgetenv("NORVANE_MIBENV_BUNDLED"); !folder.isEmpty())
        SnmpMgrConfigure({folder.toStdString()});
    SnmpMgrLoadMibs();
    if (const QByteArray file = qgetenv("NORVANE_MIBENV_LOAD"); !file.isEmpty())
        loadMibFile(file.toStdString());
    AsnObjectIdentifier id;
    std::printf("converts|%d\n", SnmpMgrStrToOid("sysDescr.0", &id));
    for (const MibModuleErrors &failed : mibLoadErrors())
        std::printf("%s|%s\n", failed.module.c_str(), failed.errors.front().message.c_str());
    return 0;
}

} // namespace

class TestMibEnv final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void noModulesLoaded();
    void unreadableEntries_data();
    void unreadableEntries();
    void refusedFileLeavesTheNextStartClean_data();
    void refusedFileLeavesTheNextStartClean();

private:
    std::optional<QStringList> runChild(const QProcessEnvironment &extra, bool asNobody = false);
    // A new set of folders, created: m_home is their root.
    bool makeFolders();

    QTemporaryDir m_dir;
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_bundled;
};

bool TestMibEnv::makeFolders()
{
    m_home = std::make_unique<QTemporaryDir>();
    for (const char *made : {"data/norvane/mibs", "home/.snmp/mibs", "mibdirs", "bundled", "cache"}) {
        if (!QDir().mkpath(m_home->filePath(made)))
            return false;
    }
    return m_home->isValid();
}

void TestMibEnv::initTestCase()
{
    m_bundled = qgetenv("NORVANE_MIBDIR");
    QVERIFY2(!m_bundled.isEmpty(), "NORVANE_MIBDIR is set by the test environment");
    // The first leaves mib-2.25 an anonymous node, which the second names in place.
    for (const char *name : {"A", "B"}) {
        QFile module(m_dir.filePath(QStringLiteral("%1.txt").arg(QLatin1String(name))));
        QVERIFY(module.open(QIODevice::WriteOnly));
        module.write(QStringLiteral("NORVANE-%1-MIB DEFINITIONS ::= BEGIN\nIMPORTS mib-2 FROM SNMPv2-SMI;\n"
                                    "test%1 OBJECT IDENTIFIER ::= { mib-2 25 %2 }\nEND\n")
                         .arg(QLatin1String(name), QLatin1String(*name == 'A' ? "1" : ""))
                         .toLatin1());
    }
    qputenv("MIBDIRS", m_bundled + ':' + m_dir.path().toLocal8Bit());
    qputenv("MIBS", "");
    qunsetenv("NORVANE_MIBDIR");
}

void TestMibEnv::noModulesLoaded()
{
    AsnObjectIdentifier id;
    QVERIFY(!SnmpMgrStrToOid("sysDescr.0", &id));
    QVERIFY(SnmpMgrStrToOid("1.3.6.1.4.1.99999", &id));
    char *text = nullptr;
    QVERIFY(SnmpMgrOidToStr(&id, &text));
    const SnmpText name(text);
    QCOMPARE(QByteArray(name.get()), QByteArray("iso.3.6.1.4.1.99999"));

    // As with Net-SNMP's tools, a module-qualified name loads its module from the search path.
    QVERIFY(SnmpMgrStrToOid("SNMPv2-MIB::sysDescr.0", &id));
    QVERIFY(SnmpMgrStrToOid("sysDescr.0", &id));
    QVERIFY(SnmpMgrOidToStr(&id, &text));
    const SnmpText loaded(text);
    QCOMPARE(QByteArray(loaded.get()), QByteArray("SNMPv2-MIB::sysDescr.0"));

    // The rows' names follow what such a name loads.
    QVERIFY(SnmpMgrStrToOid("NORVANE-A-MIB::testA", &id));
    const SnmpVarBind row{{{1, 3, 6, 1, 2, 1, 25, 9, 1}}, {}};
    QCOMPARE(renderBinding(row).name, std::string("NORVANE-A-MIB::25.9.1"));
    QVERIFY(SnmpMgrStrToOid("NORVANE-B-MIB::testB", &id));
    QCOMPARE(renderBinding(row).name, std::string("NORVANE-B-MIB::testB.9.1"));
}

// What a process started with the folders of m_home (the user's MIB folder,
// ~/.snmp/mibs, a MIBDIRS folder and the bundled one) printed; nothing when
// it did not end within a bound that a hang would break.
std::optional<QStringList> TestMibEnv::runChild(const QProcessEnvironment &extra, bool asNobody)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("MIBS"));
    env.insert(QString::fromLatin1(ChildMode), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), m_home->filePath("home"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath("data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home->filePath("cache"));
    env.insert(QStringLiteral("MIBDIRS"), "+" + m_home->filePath("mibdirs"));
    env.insert(QStringLiteral("NORVANE_MIBDIR"), QString::fromLocal8Bit(m_bundled));
    env.insert(QStringLiteral("NORVANE_MIBENV_BUNDLED"), m_home->filePath("bundled"));
    env.insert(extra);
    QProcess child;
    child.setProcessEnvironment(env);
    if (asNobody) {
        child.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)
                ::_exit(99);
        });
    }
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(15000 * SlowBuild) || child.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestMibEnv::unreadableEntries_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    const QString fifo = QStringLiteral("Cannot read the file: it is a FIFO, not a regular file");
    // Net-SNMP fopen()ed each entry: the first name conversion waited for a writer for ever.
    for (const char *folder : {"data/norvane/mibs", "home/.snmp/mibs", "mibdirs", "bundled"})
        QTest::addRow("a FIFO in %s", folder) << folder << "fifo" << fifo;
    QTest::newRow("a link in circles") << "data/norvane/mibs" << "loop"
                                       << QStringLiteral("Cannot read the file: ") + std::strerror(ELOOP);
    QTest::newRow("a link to nothing") << "home/.snmp/mibs" << "dangling"
                                       << QStringLiteral("Cannot read the file: the symbolic link leads nowhere");
    QTest::newRow("a file nobody may read") << "mibdirs" << "unreadable"
                                            << QStringLiteral("Cannot read the file: ") + std::strerror(EACCES);
}

// Left out and listed under its file name, the rest loaded, nothing waited for.
void TestMibEnv::unreadableEntries()
{
    QFETCH(QString, folder);
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QVERIFY(makeFolders());
    const QString bad = m_home->filePath(folder + "/BAD-MIB.txt");
    QVERIFY(kind == "fifo"       ? testmibs::makeFifo(bad)
            : kind == "loop"     ? QFile::link(bad, bad)
            : kind == "dangling" ? QFile::link(m_home->filePath("nowhere"), bad)
                                 : testmibs::write(bad, testmibs::single("NORVANE-BAD-MIB", "badNode", 99989))
                                       && QFile::setPermissions(bad, QFileDevice::Permissions()));
    // Root reads any file: that one is tried as nobody, in folders nobody may use.
    const bool asNobody = kind == "unreadable" && ::geteuid() == 0;
    for (const char *made : {"", "data", "data/norvane", "data/norvane/mibs", "home", "home/.snmp", "home/.snmp/mibs",
                             "mibdirs", "bundled", "cache"})
        QVERIFY(!asNobody || QFile::setPermissions(m_home->filePath(made), QFileDevice::Permissions(0x7777))); // rwx for all
    const std::optional<QStringList> lines = runChild({}, asNobody);
    QVERIFY(lines && lines->contains("converts|1"));
    QVERIFY2(lines->contains("BAD-MIB.txt|" + message), qPrintable(lines->join('\n')));
}

void TestMibEnv::refusedFileLeavesTheNextStartClean_data()
{
    QTest::addColumn<QByteArray>("module");
    QTest::addColumn<QString>("limit"); // the variable that sets it, "=", its value
    QTest::addColumn<QString>("message");
    QTest::newRow("past the time limit") << testmibs::siblings("NORVANE-FAILED-MIB", 70'000)
                                         << "NORVANE_MIBCHECK_SECONDS=1"
                                         << "Not installed: its parse took longer than 1 s";
    // 250,000 nodes: some 70 MB the parse takes, or would have taken from the window.
    if (!AddressSanitizer) // whose shadow memory leaves the checker no limit on it
        QTest::newRow("past the memory limit") << testmibs::grid("NORVANE-FAILED-MIB", 500, 500)
                                               << "NORVANE_MIBCHECK_MEGABYTES=64"
                                               << "Not installed: its parse ran out of memory (more than 64 MB)";
}

// A module whose check fails is not installed: the next start meets no
// trace of it.
void TestMibEnv::refusedFileLeavesTheNextStartClean()
{
    QFETCH(QByteArray, module);
    QFETCH(QString, limit);
    QFETCH(QString, message);
    QVERIFY(makeFolders());
    const QString file = m_home->filePath("FAILED-MIB.txt");
    QVERIFY(testmibs::write(file, module));
    QProcessEnvironment load;
    load.insert(QStringLiteral("NORVANE_MIBENV_LOAD"), file);
    load.insert(limit.section('=', 0, 0), limit.section('=', 1));
    const std::optional<QStringList> first = runChild(load);
    QVERIFY(first);
    QVERIFY2(first->contains("NORVANE-FAILED-MIB|" + message), qPrintable(first->join('\n')));

    const std::optional<QStringList> next = runChild({});
    QVERIFY(next && next->contains("converts|1"));
    QVERIFY2(!next->join('\n').contains("FAILED"), qPrintable(next->join('\n')));
    QVERIFY(QDir(m_home->filePath("data/norvane/mibs")).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(ChildMode))
        return runChild();
    QCoreApplication app(argc, argv);
    TestMibEnv test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mibenv.moc"
