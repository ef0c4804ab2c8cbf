// SPDX-License-Identifier: MIT
// Export for Prometheus: what the loaded MIBs propose for what was chosen,
// the real dialog opened from the window, and the whole path with Debian's
// snmp_exporter: the export's generator run on its own folder, the exporter
// started on the snmp.yml it made, snmpd scraped through it, and the
// metrics held against Norvane's own Get of the same objects.
#include "engine/query/queryrun.h"
#include "tests/support/loopbackudp.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/v3users.h"
#include "tests/support/windowfixture.h"
#include "ui/prometheus/prometheusdialog.h"
#include "ui/prometheus/prometheusexport.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <poll.h>

#include <map>

namespace {

// The community snmpd is given besides its own: YAML's plain scalars would
// take it for a mapping, a comment and a quoted string.
constexpr const char *PlainBreaking = "on: #\"x";

QStringList joined(const std::vector<PrometheusLookup> &lookups)
{
    QStringList out;
    for (const PrometheusLookup &l : lookups)
        out << QString::fromStdString(l.sourceIndexes.front() + "->" + l.lookup);
    return out;
}

QStringList joined(const std::vector<PrometheusOverride> &overrides)
{
    QStringList out;
    for (const PrometheusOverride &o : overrides)
        out << QString::fromStdString(o.object + "=" + o.type);
    return out;
}

class Rows final : public QuerySink
{
public:
    std::map<std::string, std::string> values; // by OID text
    void inputsAccepted() override {}
    void appendRow(ResultRow &&row) override { values[row.oid] = row.value; }
    void betweenRows() override {}
};

std::map<std::string, std::string> norvaneRun(const QueryRequest &agent, Operation operation, const QString &oids)
{
    QueryRequest request{operation, agent.agent, agent.community, oids, agent.transport, RequestWait::Blocking, {}};
    if (agent.security)
        request.security = agent.security->copy();
    Rows rows;
    runQuery(request, rows, RunControl());
    return rows.values;
}

double number(const std::string &value)
{
    return std::stod(value); // TimeTicks read "1234 (0 days, ...)"
}

quint16 freeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof(address);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

// The body of an HTTP/1.0 GET on 127.0.0.1; empty when nothing answered 200.
QByteArray httpGet(quint16 port, const QByteArray &path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopbackAddress(port);
    QByteArray reply;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0) {
        const QByteArray request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
            char buffer[65536];
            pollfd watched{fd, POLLIN, 0};
            for (ssize_t n = 1; n > 0 && ::poll(&watched, 1, 30000) > 0;)
                if ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                    reply.append(buffer, n);
        }
    }
    ::close(fd);
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return reply.startsWith("HTTP/1.0 200") || reply.startsWith("HTTP/1.1 200") ? reply.mid(body + 4) : QByteArray();
}

// "name{labels}" -> value, from the exposition format.
std::map<QString, double> metrics(const QByteArray &text)
{
    std::map<QString, double> out;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype space = line.lastIndexOf(' ');
        if (!line.startsWith('#') && space > 0)
            out[QString::fromUtf8(line.left(space))] = line.mid(space + 1).toDouble();
    }
    return out;
}

} // namespace

class TestPrometheusExport final : public QObject
{
    Q_OBJECT

private slots:
    void proposal_data();
    void proposal();
    void refusedLookup();
    void dialogFromRows();
    void endToEnd_data();
    void endToEnd();
};

void TestPrometheusExport::proposal_data()
{
    QTest::addColumn<QStringList>("oids");
    QTest::addColumn<QStringList>("walk");
    QTest::addColumn<QStringList>("lookups");
    QTest::addColumn<QStringList>("someOverrides");
    QTest::addColumn<QStringList>("someModules");
    QTest::addColumn<bool>("counter64"); // warned of, as the export goes with SNMPv1

    QTest::newRow("a table's entry, its lookup column ignored")
        << QStringList{".1.3.6.1.2.1.31.1.1.1"} << QStringList{"ifXTable"} << QStringList{"ifIndex->ifName"}
        << QStringList{"ifName=ignore", "ifAlias=DisplayString"}
        << QStringList{"IF-MIB", "IANAifType-MIB", "SNMPv2-TC", "SNMPv2-SMI"} << true;
    QTest::newRow("rows: instances stand for their objects, the name from a related table")
        << QStringList{".1.3.6.1.2.1.1.3.0", ".1.3.6.1.2.1.31.1.1.1.6.2", ".1.3.6.1.2.1.31.1.1.1.6.1", ".1.3.6.1.2.1.1.5.0"}
        << QStringList{"sysUpTime", "sysName", "ifHCInOctets"} << QStringList{"ifIndex->ifName"}
        << QStringList{"sysName=DisplayString"} << QStringList{"SNMPv2-MIB", "IF-MIB"} << true;
    QTest::newRow("ifName before ifDescr; hardware addresses")
        << QStringList{".1.3.6.1.2.1.2.2"} << QStringList{"ifTable"} << QStringList{"ifIndex->ifName"}
        << QStringList{"ifDescr=DisplayString", "ifPhysAddress=PhysAddress48"} << QStringList{"IF-MIB"} << false;
    QTest::newRow("a subtree takes in what lies under it")
        << QStringList{".1.3.6.1.2.1.1.5.0", ".1.3.6.1.2.1.1"} << QStringList{"system"} << QStringList{"sysORIndex->sysORDescr"}
        << QStringList{"sysContact=DisplayString", "sysORDescr=ignore"} << QStringList{"SNMPv2-MIB"} << false;
    QTest::newRow("a table named by its string index needs no lookup")
        << QStringList{".1.3.6.1.6.3.12.1.2"} << QStringList{"snmpTargetAddrTable"} << QStringList{}
        << QStringList{} << QStringList{"SNMP-TARGET-MIB", "SNMP-FRAMEWORK-MIB"} << false;
    QTest::newRow("an OID no module names stays numeric")
        << QStringList{".1.3.6.1.4.1.99999.7.0"} << QStringList{"1.3.6.1.4.1.99999.7.0"} << QStringList{}
        << QStringList{} << QStringList{} << false;
}

void TestPrometheusExport::proposal()
{
    QFETCH(QStringList, oids);
    QFETCH(QStringList, walk);
    QFETCH(QStringList, lookups);
    QFETCH(QStringList, someOverrides);
    QFETCH(QStringList, someModules);
    QFETCH(bool, counter64);

    const PrometheusExport exporter({QStringLiteral("test"), oids}, QueryRequest());
    QCOMPARE(exporter.walk(), walk);
    QCOMPARE(joined(exporter.lookups()), lookups);
    const QStringList overrides = joined(exporter.overrides());
    for (const QString &expected : someOverrides)
        QVERIFY2(overrides.contains(expected), qPrintable(overrides.join(u' ')));
    QStringList modules;
    for (const MibModuleFile &file : exporter.modules().found) {
        modules << QString::fromStdString(file.module);
        QVERIFY2(QFileInfo(QString::fromStdString(file.file)).isFile(), file.file.c_str());
    }
    for (const QString &expected : someModules)
        QVERIFY2(modules.contains(expected), qPrintable(modules.join(u' ')));
    // What no module defines is said before the generator says it.
    const QString warnings = exporter.warnings().join(u'\n');
    QCOMPARE(warnings.contains(QLatin1String("No loaded MIB module defines")), walk.first().front().isDigit());
    QCOMPARE(warnings.contains(QLatin1String("Counter64")), counter64);
}

void TestPrometheusExport::refusedLookup()
{
    PrometheusExport exporter({QStringLiteral("test"), {".1.3.6.1.2.1.31.1.1.1"}}, QueryRequest());
    exporter.removeLookup(0);
    QVERIFY(exporter.lookups().empty());
    // The column is a metric of its own again, typed by its MIB; and a new
    // walk does not bring the refused lookup back.
    QVERIFY(joined(exporter.overrides()).contains(QLatin1String("ifName=DisplayString")));
    exporter.setWalk({"ifXTable", "sysName"});
    QVERIFY(exporter.lookups().empty());
    QVERIFY(!exporter.generatorPreview().contains(QLatin1String("lookups:")));
}

// The real dialog from File > Export for Prometheus over the selected row:
// what it proposes, an object added, a lookup removed, the files written.
void TestPrometheusExport::dialogFromRows()
{
    WindowFixture window;
    QVERIFY(window.start(WindowFixture::Dialogs::Real));
    for (const char *oid : {".1.3.6.1.2.1.1.3.0", ".1.3.6.1.2.1.31.1.1.1.6.2"})
        window->appendRow({oid, {}, "Counter64", "1"});
    window->results().flush();
    QVERIFY(!window.trigger("actExportPrometheus")); // nothing selected
    window->listView()->selectRow(1);
    QTemporaryDir folder;
    QVERIFY(window.drive<TPrometheusDialog>("actExportPrometheus", [&](TPrometheusDialog *dialog) {
        auto *walk = child<QListWidget>(dialog, "lstWalk");
        QCOMPARE(walk->count(), 1);
        QCOMPARE(walk->item(0)->text(), QStringLiteral("ifHCInOctets"));
        child<QPushButton>(dialog, "btnAddWalk")->click();
        QTest::keyClicks(walk->viewport()->focusWidget(), QStringLiteral("sysName"));
        QTest::keyClick(walk->viewport()->focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(fieldText(dialog, "edtGeneratorYaml").contains(QLatin1String("- sysName")));
        auto *lookups = child<QListWidget>(dialog, "lstLookups");
        QCOMPARE(lookups->count(), 1);
        QVERIFY(fieldText(dialog, "edtGeneratorYaml").contains(QLatin1String("lookup: ifName")));
        lookups->setCurrentRow(0);
        child<QPushButton>(dialog, "btnRemoveLookup")->click();
        QCOMPARE(lookups->count(), 0);
        QVERIFY(!fieldText(dialog, "edtGeneratorYaml").contains(QLatin1String("lookup: ifName")));
        auto *folderBox = child<QLineEdit>(dialog, "edtFolder");
        folderBox->clear();
        QTest::keyClicks(folderBox, folder.filePath(QStringLiteral("out")));
        child<QPushButton>(dialog, "btnWrite")->click();
        QVERIFY2(fieldText(dialog, "edtOutput").contains(QLatin1String("Written:")), qPrintable(fieldText(dialog, "edtOutput")));
    }));
    const QFileInfo written(folder.filePath(QStringLiteral("out/generator.yml")));
    QCOMPARE(written.permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
             QFile::Permissions());
    for (const char *module : {"IF-MIB*", "SNMPv2-MIB*"})
        QVERIFY(!QDir(folder.filePath(QStringLiteral("out/mibs"))).entryList({QLatin1String(module)}).isEmpty());
}

void TestPrometheusExport::endToEnd_data()
{
    QTest::addColumn<int>("auth"); // none: SNMPv2c
    QTest::addColumn<int>("priv");
    QTest::newRow("SNMPv2c, a community YAML must quote") << 0 << 0;
    QTest::newRow("SNMPv3 SHA-256/AES-256, passphrases written") << int(AuthProtocol::SHA256) << int(PrivProtocol::AES256);
    // SHA-1's key is extended for AES-256, Cisco's way here: the protocol names must match.
    QTest::newRow("SNMPv3 SHA/AES-256-C") << int(AuthProtocol::SHA) << int(PrivProtocol::AES256C);
}

void TestPrometheusExport::endToEnd()
{
    QFETCH(int, auth);
    QFETCH(int, priv);
    const bool v3 = auth != 0;
    const QString exporterProgram = QStandardPaths::findExecutable(QStringLiteral("prometheus-snmp-exporter"));
    if (PrometheusExport::generatorPath().isEmpty() || exporterProgram.isEmpty())
        QSKIP("prometheus-snmp-exporter is not installed (Debian: apt-get install prometheus-snmp-exporter)");

    SnmpdAgent agent;
    agent.addConfig(QStringLiteral("rocommunity '%1' 127.0.0.1\n").arg(QLatin1String(PlainBreaking)));
    if (v3) {
        const auto [a, p] = std::pair(AuthProtocol(auth), PrivProtocol(priv));
        agent.addConfig(QStringLiteral("createUser %1 %2 %3 %4 %5\nrouser %1 priv\n")
                            .arg(v3users::userName(a, p), QLatin1String(usmnames::authName(a)),
                                 QLatin1String(v3users::AuthPassphrase), QLatin1String(usmnames::privName(p)),
                                 QLatin1String(v3users::PrivPassphrase)));
    }
    QVERIFY2(agent.start(), qPrintable(agent.log()));

    QueryRequest request;
    request.agent = agent.address();
    request.community = QLatin1String(PlainBreaking);
    request.transport = {2000, 1, SnmpVersion::V2c};
    if (v3)
        request.security = v3users::security(AuthProtocol(auth), PrivProtocol(priv));
    PrometheusExport exporter({QStringLiteral("test"), {".1.3.6.1.2.1.31.1.1.1", ".1.3.6.1.2.1.1.3.0", ".1.3.6.1.2.1.1.5.0"}},
                              request);
    QCOMPARE(exporter.walk(), (QStringList{"sysUpTime", "sysName", "ifXTable"}));
    QTemporaryDir folder;
    PrometheusExportSettings settings = exporter.settings();
    settings.folder = folder.path();
    settings.writePassphrases = v3;
    exporter.setSettings(settings);
    QVERIFY(exporter.errors().isEmpty());

    QSignalSpy finished(&exporter, &PrometheusExport::generatorFinished);
    QVERIFY2(exporter.runGenerator(), qPrintable(exporter.output()));
    QVERIFY(finished.wait(120000));
    QVERIFY2(finished.first().first().toBool(), qPrintable(exporter.output()));
    QVERIFY2(!exporter.output().contains(QLatin1String("parse error")), qPrintable(exporter.output()));
    const QString snmpYml = folder.filePath(QLatin1String(PrometheusExport::SnmpFile));
    if (v3)
        QCOMPARE(QFileInfo(snmpYml).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    const quint16 port = freeTcpPort();
    QProcess exporterProcess;
    exporterProcess.setProcessChannelMode(QProcess::MergedChannels);
    exporterProcess.start(exporterProgram, {QStringLiteral("--config.file=") + snmpYml,
                                            QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port)});
    QVERIFY(exporterProcess.waitForStarted());
    const auto stop = qScopeGuard([&] {
        exporterProcess.kill();
        exporterProcess.waitForFinished();
    });
    QTRY_VERIFY2_WITH_TIMEOUT(!httpGet(port, "/").isEmpty(), exporterProcess.readAll().constData(), 20000);

    // Norvane's Get on either side of the scrape: what counts may only have grown.
    const std::map<std::string, std::string> names = norvaneRun(request, Operation::Walk, ".1.3.6.1.2.1.31.1.1.1.1");
    QVERIFY(!names.empty());
    QString getOids = QStringLiteral(".1.3.6.1.2.1.1.3.0;.1.3.6.1.2.1.1.5.0");
    for (const auto &[oid, name] : names)
        getOids += QStringLiteral(";.1.3.6.1.2.1.31.1.1.1.6.") + QString::fromStdString(oid).section(u'.', -1);
    const std::map<std::string, std::string> before = norvaneRun(request, Operation::Get, getOids);
    const QByteArray scraped = httpGet(port, "/snmp?target=" + agent.address().toLatin1() + "&module="
                                                 + settings.moduleName.toLatin1());
    const std::map<std::string, std::string> after = norvaneRun(request, Operation::Get, getOids);
    const std::map<QString, double> got = metrics(scraped);
    QVERIFY2(!got.empty(), scraped.constData());

    const auto within = [&](const QString &metric, const std::string &oid) {
        const auto found = got.find(metric);
        return found != got.end() && number(before.at(oid)) <= found->second && found->second <= number(after.at(oid));
    };
    QVERIFY2(within(QStringLiteral("sysUpTime"), ".1.3.6.1.2.1.1.3.0"), scraped.constData());
    QVERIFY2(got.count(QStringLiteral("sysName{sysName=\"%1\"}").arg(QLatin1String(SnmpdAgent::SysName))),
             scraped.constData());
    for (const auto &[oid, name] : names) {
        const QString index = QString::fromStdString(oid).section(u'.', -1);
        const QString metric = QStringLiteral("ifHCInOctets{ifIndex=\"%1\",ifName=\"%2\"}").arg(index, QString::fromStdString(name));
        QVERIFY2(within(metric, ".1.3.6.1.2.1.31.1.1.1.6." + index.toStdString()), qPrintable(metric + u'\n' + scraped));
    }
    // The lookup column labels the rows; it is no metric of its own.
    QVERIFY(!scraped.contains("\nifName{"));
}

QTEST_MAIN(TestPrometheusExport)
#include "tst_prometheusexport.moc"
