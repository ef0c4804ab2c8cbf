// SPDX-License-Identifier: MIT
// Net-SNMP prints MIB warnings and parse errors on stderr by default; the
// service must not. This runs the library's first use, so it has a process
// of its own.
#include "engine/mib/mibload.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/snmp/snmpmgr.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// Points stdout and stderr at a file for its lifetime.
class CapturedOutput
{
public:
    explicit CapturedOutput(const QString &path) : m_file(path)
    {
        std::fflush(stdout);
        std::fflush(stderr);
        m_ok = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        m_savedOut = ::dup(STDOUT_FILENO);
        m_savedErr = ::dup(STDERR_FILENO);
        if (m_ok) {
            ::dup2(m_file.handle(), STDOUT_FILENO);
            ::dup2(m_file.handle(), STDERR_FILENO);
        }
    }
    ~CapturedOutput()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(m_savedOut, STDOUT_FILENO);
        ::dup2(m_savedErr, STDERR_FILENO);
        ::close(m_savedOut);
        ::close(m_savedErr);
    }
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;
    bool ok() const { return m_ok; }

private:
    QFile m_file;
    bool m_ok = false;
    int m_savedOut = -1;
    int m_savedErr = -1;
};

QString nameOf(const AsnObjectIdentifier &id)
{
    char *text = nullptr;
    SnmpMgrOidToStr(&id, &text);
    const SnmpText owned(text);
    return QString::fromUtf8(owned ? owned.get() : "");
}

} // namespace

class TestQuiet final : public QObject
{
    Q_OBJECT

private slots:
    void firstUsePrintsNothing();
};

void TestQuiet::firstUsePrintsNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A module that cannot parse, on top of the warnings the real folders give.
    QFile broken(dir.filePath(QStringLiteral("BROKEN-MIB.txt")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("BROKEN-MIB DEFINITIONS ::= BEGIN\nIMPORTS nothing FROM NO-SUCH-MIB;\n"
                 "brokenThing OBJECT-TYPE SYNTAX Wobbly ::= { noSuchParent 1 }\n");
    broken.close();
    SnmpMgrConfigure({dir.path().toStdString()});

    const QString output = dir.filePath(QStringLiteral("output.txt"));
    AsnObjectIdentifier descr;
    AsnObjectIdentifier junk;
    int converted = 0;
    int refused = 0;
    QString name;
    size_t loadErrors = 0;
    {
        const CapturedOutput capture(output);
        QVERIFY(capture.ok());
        converted = SnmpMgrStrToOid("sysDescr.0", &descr);
        refused = SnmpMgrStrToOid("NO-SUCH-MIB::thing.0", &junk) + SnmpMgrStrToOid("1.3..6", &junk)
            + SnmpMgrStrToOid("brokenThing", &junk) + SnmpMgrStrToOid("%s%s%n", &junk);
        name = nameOf(descr);
        const SnmpMgrSession bad(SnmpMgrOpen("udp:[::1", "tarnel", 100, 0));
        QVERIFY(!bad);
        // A module loaded later keeps its errors for the window, not for stderr.
        loadErrors = loadMibFile(NORVANE_TEST_DATA "/mibs/FAKE-BROKEN-MIB.txt").errors.size();
    }

    QFile printed(output);
    QVERIFY(printed.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(printed.readAll()), QString());
    // The MIBs were loaded meanwhile, so there was something to be quiet about.
    QCOMPARE(converted, 1);
    QCOMPARE(refused, 0);
    QCOMPARE(loadErrors, size_t(1));
    QCOMPARE(name, QStringLiteral("SNMPv2-MIB::sysDescr.0"));
}

QTEST_GUILESS_MAIN(TestQuiet)
#include "tst_quiet.moc"
