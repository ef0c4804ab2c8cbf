// SPDX-License-Identifier: MIT
// The loaded MIBs as a tree to search, and MIB files loaded while the program
// runs. The loads change the process's loaded set, so the rows of
// loadMibFile run in order: a good module, one whose import is missing, a
// file that is no MIB module, a clean one after them, then files that
// cannot be read or parsed, and shapes that broke the tree.
#include "engine/mib/mibload.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/mibtree.h"
#include "engine/mib/oidtext.h"
#include "tests/support/mibfiles.h"
#include "tests/support/sanitizers.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// The checker's time limit here: the chain 100,000 deep outlasts it.
constexpr int CheckSeconds = 3;
constexpr int WideChildren = 70'000;

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

// A node of 70,000 children, put into Net-SNMP's loaded tree as a module's
// would be: parsing a module that wide takes Net-SNMP half a minute.
void graftWideNode()
{
    SnmpMgrLoadMibs();
    const oid enterprisesOid[] = {1, 3, 6, 1, 4, 1};
    struct tree *enterprises = get_tree(enterprisesOid, std::size(enterprisesOid), get_tree_head());
    const auto node = [](struct tree *parent, const std::string &label, u_long subid) {
        auto *made = static_cast<struct tree *>(std::calloc(1, sizeof(struct tree)));
        made->label = strdup(label.c_str());
        made->subid = subid;
        made->module_list = &made->modid;
        made->parent = parent;
        made->next_peer = parent->child_list;
        parent->child_list = made;
        return made;
    };
    struct tree *root = node(enterprises, "graftRoot", 99994);
    for (int i = 1; i <= WideChildren; ++i)
        node(root, "graft" + std::to_string(i), u_long(i));
    mibsetup::mibsChanged();
}

} // namespace

class TestMibTree final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void search_data();
    void search();
    void bundledModulesLoadCleanly();
    void loadMibFile_data();
    void loadMibFile();

private:
    QTemporaryDir m_files;
};

void TestMibTree::initTestCase()
{
    qputenv("NORVANE_MIBCHECK_SECONDS", QByteArray::number(CheckSeconds));
    QVERIFY(m_files.isValid());
    const auto write = [this](const char *name, const QByteArray &text) { return testmibs::write(m_files.filePath(name), text); };
    QVERIFY(write("CLEAN-MIB.txt", testmibs::single("NORVANE-CLEAN-MIB", "cleanNode", 99990)));
    QVERIFY(write("DEEP-MIB.txt", testmibs::chain("NORVANE-DEEP-MIB", 30'000)));
    QVERIFY(write("DEEPER-MIB.txt", testmibs::chain("NORVANE-DEEPER-MIB", 100'000)));
    QVERIFY(write("ORPHANS-MIB.txt", testmibs::orphans("NORVANE-ORPHANS-MIB", 50'000)));
    QVERIFY(write("SMALL-MIB.txt", testmibs::single("NORVANE-SMALL-MIB", "smallNode", 99991)));
    QVERIFY(testmibs::makeFifo(m_files.filePath("FIFO-MIB.txt")));
    QVERIFY(QFile::link(m_files.filePath("CIRCLE-MIB.txt"), m_files.filePath("CIRCLE-MIB.txt")));
    QVERIFY(QFile::link(m_files.filePath("GONE-MIB.txt"), m_files.filePath("LINK-MIB.txt")));
    graftWideNode();
}

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
    QTest::newRow("the last of 70,000 children, by OID") << ".1.3.6.1.4.1.99994.70000" << "graft70000" << "graft70000"
                                                         << "graft7000";
    QTest::newRow("one of 70,000 children, by name") << "graft69999" << "graft69999" << "graft69999" << "graft6999";
    QTest::newRow("numbers that are no sub-identifiers") << "1..3" << "" << "" << "iso";
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
    QTest::addColumn<QString>("error");      // the first error's words begin so; empty: loads cleanly
    QTest::addColumn<int>("errorLine");      // its line; 0: none
    QTest::addColumn<QString>("missingImport");
    QTest::addColumn<QString>("resolves");   // a name that converts after the load
    QTest::addColumn<QString>("node");       // a name the MIB Tree finds after the load
    QTest::addColumn<int>("withinMs");       // the load's time; 0: no bound of its own
    const QString data = QStringLiteral(NORVANE_TEST_DATA "/mibs/");
    const QString made = m_files.path() + QLatin1Char('/');
    const QString unread = QStringLiteral("Cannot read the file: ");
    const QString refused = QStringLiteral("Not installed: ");
    QTest::newRow("good module") << data + "FAKE-ENTERPRISE-MIB.txt" << "FAKE-ENTERPRISE-MIB" << "" << 0 << ""
                                 << "FAKE-ENTERPRISE-MIB::fakeCounter.0" << "fakeCounter" << 0;
    QTest::newRow("import missing") << data + "FAKE-BROKEN-MIB.txt" << "FAKE-BROKEN-MIB" << "Cannot find module" << 4
                                    << "NO-SUCH-VENDOR-MIB" << "fakePortName.3" << "" << 0;
    QTest::newRow("no MIB") << data + "not-a-mib.txt" << "" << "Not a MIB module" << 1 << "" << "fakeCounter.0" << "" << 0;
    // Not the broken module's nodes, which every load's adoption reports again.
    QTest::newRow("clean beside a broken one") << made + "CLEAN-MIB.txt" << "NORVANE-CLEAN-MIB" << "" << 0 << ""
                                               << "NORVANE-CLEAN-MIB::cleanNode" << "cleanNode" << 0;
    QTest::newRow("a FIFO") << made + "FIFO-MIB.txt" << "" << unread + "it is a FIFO" << 0 << "" << "cleanNode" << ""
                            << 1000;
    QTest::newRow("a link in circles") << made + "CIRCLE-MIB.txt" << "" << unread + std::strerror(ELOOP) << 0 << ""
                                       << "cleanNode" << "" << 1000;
    QTest::newRow("a link to nothing") << made + "LINK-MIB.txt" << "" << unread + std::strerror(ENOENT) << 0 << ""
                                       << "cleanNode" << "" << 1000;
    // The tree was built recursively and kept every node's dotted OID: the
    // stack ran out, and the memory grew with the square of the depth.
    QTest::newRow("a chain 30,000 deep") << made + "DEEP-MIB.txt" << "NORVANE-DEEP-MIB" << "" << 0 << ""
                                         << "NORVANE-DEEP-MIB::deep100" << "deep29999" << 0;
    // Net-SNMP's own parser runs out of stack, or of time before that.
    QTest::newRow("a chain 100,000 deep") << made + "DEEPER-MIB.txt" << "NORVANE-DEEPER-MIB" << refused << 0 << ""
                                          << "cleanNode" << "" << (CheckSeconds + 2) * 1000 * SlowBuild;
    QTest::newRow("50,000 orphans") << made + "ORPHANS-MIB.txt" << "NORVANE-ORPHANS-MIB" << "Undefined identifier" << 3 << ""
                                    << "cleanNode" << "" << 0;
    // Remembering the orphans again at every later load took seconds.
    QTest::newRow("small after 50,000 orphans") << made + "SMALL-MIB.txt" << "NORVANE-SMALL-MIB" << "" << 0 << ""
                                                << "NORVANE-SMALL-MIB::smallNode" << "smallNode" << 1000 * SlowBuild;
}

void TestMibTree::loadMibFile()
{
    QFETCH(QString, file);
    QFETCH(QString, module);
    QFETCH(QString, error);
    QFETCH(int, errorLine);
    QFETCH(QString, missingImport);
    QFETCH(QString, resolves);
    QFETCH(QString, node);
    QFETCH(int, withinMs);
    const QString folder = QString::fromStdString(mibsetup::userMibFolder());
    QVERIFY(folder.startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/"));
    SnmpMgrLoadMibs();
    const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const uint64_t generation = mibsetup::generation();

    QElapsedTimer clock;
    clock.start();
    const MibLoadResult result = ::loadMibFile(file.toStdString());
    const qint64 ms = clock.elapsed();
    QVERIFY2(withinMs == 0 || ms <= withinMs, qPrintable(QString::number(ms)));
    QCOMPARE(QString::fromStdString(result.module), module);
    QCOMPARE(result.errors.empty(), error.isEmpty());
    QVERIFY(converts("sysDescr.0"));
    QVERIFY2(converts(resolves.toLatin1()), qPrintable(resolves));
    const QString fileName = QFileInfo(file).fileName();
    const bool installed = !module.isEmpty() && !error.startsWith("Not installed");
    if (!error.isEmpty()) {
        const MibModuleErrors &own = result.errors.front();
        QCOMPARE(QString::fromStdString(own.module), module.isEmpty() ? fileName : module);
        QCOMPARE(own.errors.front().line, errorLine);
        QVERIFY2(QString::fromStdString(own.errors.front().message).startsWith(error),
                 own.errors.front().message.c_str());
        QCOMPARE(QString::fromStdString(own.errors.front().missingImport), missingImport);
        QCOMPARE(QFileInfo(QString::fromStdString(own.errors.front().file)).fileName(),
                 installed ? module + ".mib" : fileName);
        // Only the module's own errors, and those of what it imports.
        for (const MibModuleErrors &group : result.errors)
            QVERIFY2(group.module == own.module || group.module == "NO-SUCH-VENDOR-MIB", group.module.c_str());
    }
    // The Load errors list has the module's errors, and only while it has some.
    bool listed = false;
    for (const MibModuleErrors &failed : mibLoadErrors())
        listed = listed || QString::fromStdString(failed.module) == module;
    QCOMPARE(listed, !error.isEmpty() && !module.isEmpty());

    if (!installed) {
        // Not copied, nothing reloaded.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), before);
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
    if (!node.isEmpty()) {
        const std::vector<MibTree::NodeId> found = tree->search(node.toStdString());
        QVERIFY(!found.empty());
        QCOMPARE(QString::fromStdString(std::string(tree->name(found.front()))), node);
        QCOMPARE(tree->find(tree->oid(found.front())), found.front());
        QCOMPARE(QString::fromStdString(tree->dottedOid(found.front())).count('.') + 1, qsizetype(tree->oid(found.front()).size()));
    }
    if (module == "FAKE-ENTERPRISE-MIB") {
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
