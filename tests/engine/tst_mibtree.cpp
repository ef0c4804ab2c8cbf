// SPDX-License-Identifier: MIT
// The loaded MIBs as a tree to search, and MIB files loaded while the program
// runs. The loads change the process's loaded set, so the rows of
// loadMibFile run in order: a good module, one whose import is missing, a
// file that is no MIB module.
#include "engine/mibload.h"
#include "engine/mibsetup.h"
#include "engine/mibtree.h"
#include "engine/oidtext.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

namespace {

QStringList names(const MibTree &tree, const std::vector<MibTree::NodeId> &nodes)
{
    QStringList out;
    for (MibTree::NodeId node : nodes)
        out << QString::fromStdString(std::string(tree.name(node)));
    return out;
}

bool converts(const char *text)
{
    AsnObjectIdentifier id;
    return SnmpMgrStrToOid(text, &id) != 0;
}

} // namespace

class TestMibTree final : public QObject
{
    Q_OBJECT

private slots:
    void search_data();
    void search();
    void bundledModulesLoadCleanly();
    void loadMibFile_data();
    void loadMibFile();
};

void TestMibTree::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("first");    // the first node found; empty: nothing found; "*": any
    QTest::addColumn<QString>("found");    // among those found
    QTest::addColumn<QString>("notFound"); // not among them
    QTest::newRow("a whole name, any case") << "SYSDESCR" << "sysDescr" << "sysDescr" << "sysContact";
    QTest::newRow("part of a name") << "operstat" << "ifOperStatus" << "ifOperStatus" << "ifAdminStatus";
    QTest::newRow("MODULE::name") << "if-mib::ifOper" << "ifOperStatus" << "ifOperStatus" << "sysDescr";
    QTest::newRow("OID from the root") << ".1.3.6.1.2.1.2.2.1.8" << "ifOperStatus" << "ifOperStatus" << "ifInOctets";
    QTest::newRow("partial OID") << "2.2.1.8" << "ifOperStatus" << "ifOperStatus" << "ifType";
    QTest::newRow("partial OID is whole numbers") << "2.2.1.1" << "ifIndex" << "ifIndex" << "ifInNUcastPkts";
    QTest::newRow("words of the description") << "current operational STATE" << "*" << "ifOperStatus" << "ifType";
    QTest::newRow("words begin words") << "perational" << "" << "" << "ifOperStatus";
    QTest::newRow("nothing") << "zzqqxx" << "" << "" << "sysDescr";
}

void TestMibTree::search()
{
    QFETCH(QString, query);
    QFETCH(QString, first);
    QFETCH(QString, found);
    QFETCH(QString, notFound);
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    const QStringList result = names(*tree, tree->search(query.toStdString()));
    if (first != "*")
        QCOMPARE(result.value(0), first);
    QVERIFY(found.isEmpty() || result.contains(found));
    QVERIFY(!result.contains(notFound));
}

// Norvane's own MIB folder loads without an error, in Net-SNMP's parser as
// Norvane reports it, and in the snmp_exporter generator's where installed.
void TestMibTree::bundledModulesLoadCleanly()
{
    const QString bundled = qEnvironmentVariable("NORVANE_MIBDIR");
    QVERIFY(converts("IF-MIB::ifOperStatus.1"));
    for (const MibModuleErrors &failed : mibLoadErrors())
        QVERIFY2(!QString::fromStdString(failed.file).startsWith(bundled + "/"), failed.module.c_str());
    const QString generator = QStandardPaths::findExecutable(QStringLiteral("prometheus-snmp-generator"));
    if (generator.isEmpty())
        return; // checked where the generator is installed (scripts/test.sh installs it)
    QProcess parse;
    parse.setProcessEnvironment([&] { auto e = QProcessEnvironment::systemEnvironment(); e.insert("MIBDIRS", bundled); return e; }());
    parse.setProcessChannelMode(QProcess::MergedChannels);
    parse.start(generator, {QStringLiteral("parse_errors")});
    QVERIFY(parse.waitForFinished(60000));
    const QByteArray said = parse.readAll();
    QVERIFY2(said.contains("Loading MIBs") && !said.contains("error"), said.constData());
}

void TestMibTree::loadMibFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("module");     // the module it defines; empty: no MIB module
    QTest::addColumn<int>("errorLine");      // of its first error; 0: loads cleanly
    QTest::addColumn<QString>("error");      // the first error's words begin so
    QTest::addColumn<QString>("missingImport");
    QTest::addColumn<QString>("resolves");   // a name that converts after the load
    QTest::newRow("good module") << "FAKE-ENTERPRISE-MIB.txt" << "FAKE-ENTERPRISE-MIB" << 0 << "" << ""
                                 << "FAKE-ENTERPRISE-MIB::fakeCounter.0";
    QTest::newRow("import missing") << "FAKE-BROKEN-MIB.txt" << "FAKE-BROKEN-MIB" << 4 << "Cannot find module"
                                    << "NO-SUCH-VENDOR-MIB" << "fakePortName.3";
    QTest::newRow("no MIB") << "not-a-mib.txt" << "" << 1 << "Not a MIB module" << "" << "fakeCounter.0";
}

void TestMibTree::loadMibFile()
{
    QFETCH(QString, file);
    QFETCH(QString, module);
    QFETCH(int, errorLine);
    QFETCH(QString, error);
    QFETCH(QString, missingImport);
    QFETCH(QString, resolves);
    const QString folder = QString::fromStdString(mibsetup::userMibFolder());
    QVERIFY(folder.startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/"));
    const QStringList before = QDir(folder).entryList(QDir::Files);
    const uint64_t generation = mibsetup::generation();

    const MibLoadResult result = ::loadMibFile(QStringLiteral(NORVANE_TEST_DATA "/mibs/%1").arg(file).toStdString());
    QCOMPARE(QString::fromStdString(result.module), module);
    QCOMPARE(result.errors.empty(), errorLine == 0);
    QVERIFY(converts("sysDescr.0"));
    QVERIFY2(converts(resolves.toLatin1()), qPrintable(resolves));
    if (errorLine > 0) {
        const MibModuleErrors &own = result.errors.front();
        QCOMPARE(QString::fromStdString(own.module), module.isEmpty() ? file : module);
        QCOMPARE(own.errors.front().line, errorLine);
        QVERIFY(QString::fromStdString(own.errors.front().message).startsWith(error));
        QCOMPARE(QString::fromStdString(own.errors.front().missingImport), missingImport);
        QCOMPARE(QFileInfo(QString::fromStdString(own.errors.front().file)).fileName(),
                 module.isEmpty() ? file : module + ".mib");
    }
    // The Load errors list has the module's errors, and only while it has some.
    bool listed = false;
    for (const MibModuleErrors &failed : mibLoadErrors())
        listed = listed || QString::fromStdString(failed.module) == module;
    QCOMPARE(listed, errorLine > 0 && !module.isEmpty());

    if (module.isEmpty()) {
        // Not copied, nothing reloaded.
        QCOMPARE(QDir(folder).entryList(QDir::Files), before);
        QCOMPARE(mibsetup::generation(), generation);
        return;
    }
    QCOMPARE(QString::fromStdString(result.installedFile), folder + "/" + module + ".mib");
    QVERIFY(QFileInfo::exists(QString::fromStdString(result.installedFile)));
    struct stat status {};
    QCOMPARE(::stat(QFile::encodeName(folder).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0700));
    // The tree taken after the load has the module, its names and its descriptions.
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    QVERIFY(tree->generation() > generation);
    QVERIFY(tree->moduleIndex(module.toStdString()) >= 0);
    if (errorLine == 0) {
        QCOMPARE(names(*tree, tree->search("frobnicated widgets")), QStringList{"fakeCounter"});
        const std::vector<std::string> &completions = tree->completionNames();
        QVERIFY(std::binary_search(completions.begin(), completions.end(), "FAKE-ENTERPRISE-MIB::fakePortName",
                                   [](const std::string &a, const std::string &b) {
                                       return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
                                   }));
    }
}

QTEST_GUILESS_MAIN(TestMibTree)
#include "tst_mibtree.moc"
