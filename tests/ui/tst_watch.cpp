// SPDX-License-Identifier: MIT
// The Watch window over the real main window: the loopback interface's
// octets climbing on snmpd while the test sends traffic; an SNMPv3 user
// polled while a run of another user goes on; a scripted agent whose counter
// wraps and whose sysUpTime goes back (a gap, never a spike), its samples
// exported; cells of the Table View added, and the list back paused at the
// next start.

#include "engine/watch/watchpoller.h"
#include "tests/support/loopbackudp.h"
#include "tests/support/scriptedagent.h"
#include "tests/support/snmpdagent.h"
#include "tests/support/v3users.h"
#include "tests/support/windowfixture.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/tableview/tablemodel.h"
#include "ui/tableview/tablewindow.h"
#include "ui/watch/watchgraph.h"
#include "ui/watch/watchlistmodel.h"
#include "ui/watch/watchwindow.h"
#include "ui/watchcommands.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <cmath>

namespace {

const char *const IfInOctets = "1.3.6.1.2.1.2.2.1.10";
const char *const Counter = "1.3.6.1.4.1.99999.7.1.0";

} // namespace

class TestWatchWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QVERIFY(m_window.start()); }
    void cleanup() { m_window.stop(); }
    void loopbackOctetsMove();
    void snmpv3BesideARun();
    void wrapAndRestart();
    void tableCellsAndNextStart();

private:
    // The rows of a run of the boxes' texts; the first row then selected.
    void run(const QString &agent, const char *operation, const QString &oids, int rows = 1);
    TWatchWindow *addFirstRow();
    WatchPoller &poller() { return m_window->watch().poller(); }

    SnmpdAgent m_snmpd;
    WindowFixture m_window;
};

void TestWatchWindow::initTestCase()
{
    m_snmpd.addConfig(v3users::snmpdConfig());
    QVERIFY2(m_snmpd.start(), qPrintable(m_snmpd.log()));
}

void TestWatchWindow::run(const QString &agent, const char *operation, const QString &oids, int rows)
{
    m_window.trigger("actClear");
    m_window.setInputs(agent, QString::fromLatin1(SnmpdAgent::Community), oids);
    QVERIFY(m_window.trigger(operation));
    QVERIFY(m_window.trigger("actRun"));
    QTRY_VERIFY(m_window->results().storedRowCount() >= rows && m_window->isIdle());
    QCOMPARE(m_window->statusLine()->simpleText(), QStringLiteral("Ready"));
    m_window->listView()->setCurrentIndex(m_window->results().index(0, 0));
}

// Add to Watch on the selected row: the Watch window, polling every 0.5 s; null when it failed.
TWatchWindow *TestWatchWindow::addFirstRow()
{
    TWatchWindow *watch = m_window.trigger("actAddToWatch") ? m_window->watch().window() : nullptr;
    if (watch)
        watch->intervalBox()->setValue(0.5);
    return watch && QTest::qWaitForWindowExposed(watch) ? watch : nullptr;
}

void TestWatchWindow::loopbackOctetsMove()
{
    QVERIFY(!m_window.command("actAddToWatch")->isEnabled()); // nothing selected
    run(m_snmpd.address(), "actWalk", QStringLiteral("1.3.6.1.2.1.2.2.1.2"));
    int lo = -1;
    for (int row = 0; row < m_window->results().storedRowCount(); ++row) {
        if (m_window->results().rowTexts(row)[ResultModel::ValueColumn] == QLatin1String("lo"))
            lo = m_window->results().rowTexts(row)[ResultModel::OidColumn].section(u'.', -1).toInt();
    }
    QVERIFY(lo > 0);
    const QString oid = QStringLiteral("%1.%2").arg(QLatin1String(IfInOctets)).arg(lo);
    run(m_snmpd.address(), "actGet", oid);
    TWatchWindow *watch = addFirstRow();
    QVERIFY(watch);
    QVERIFY(poller().isPolling());
    auto &model = *static_cast<WatchListModel *>(watch->listView()->model());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(watch->selectedRows(), QList<int>{0});
    QCOMPARE(model.index(0, WatchListModel::NameColumn).data().toString(), QStringLiteral("IF-MIB::ifInOctets.%1").arg(lo));

    // Datagrams to a port of the test's own, some 3 MB a second over lo.
    UdpSocket sink;
    UdpSocket source;
    const sockaddr_in to = loopbackAddress(bindLoopback(sink.fd(), 0));
    QTimer traffic;
    connect(&traffic, &QTimer::timeout, this, [&] {
        static const QByteArray datagram(1400, 'x');
        char drain[2048];
        for (int i = 0; i < 100; ++i) {
            ::sendto(source.fd(), datagram.data(), size_t(datagram.size()), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
            (void)::recv(sink.fd(), drain, sizeof drain, MSG_DONTWAIT);
        }
    });
    traffic.start(50);
    const WatchedObject &object = poller().object(0);
    QTRY_VERIFY_WITH_TIMEOUT(object.step.outcome == Outcome::Rate && object.step.value > 100000, 10000);
    QCOMPARE(model.stateText(0), QStringLiteral("ok"));
    QVERIFY(model.index(0, WatchListModel::RateColumn).data().toString().endsWith(QLatin1String(" octets/s")));
    watch->graph()->grab();
    QCOMPARE(watch->graph()->axisText(), QStringLiteral("octets/s"));
    watch->bitsBox()->setChecked(true);
    QVERIFY(model.index(0, WatchListModel::RateColumn).data().toString().endsWith(QLatin1String(" bits/s")));
    watch->graph()->grab();
    QCOMPARE(watch->graph()->axisText(), QStringLiteral("bits/s"));
    QCOMPARE(poller().skippedTicks(), 0);

    // An enumeration steps, its labels on the axis; a string is listed, not plotted.
    for (const int column : {8, 2}) { // ifOperStatus, ifDescr
        run(m_snmpd.address(), "actGet", QStringLiteral("1.3.6.1.2.1.2.2.1.%1.%2").arg(column).arg(lo));
        QVERIFY(addFirstRow());
    }
    QTRY_VERIFY(poller().object(1).polledMs > 0 && poller().object(2).polledMs > 0);
    QCOMPARE(model.index(1, WatchListModel::ValueColumn).data().toString(), QStringLiteral("up(1)"));
    QCOMPARE(model.index(2, WatchListModel::ValueColumn).data().toString(), QStringLiteral("lo"));
    QVERIFY(poller().object(2).samples.empty());
    watch->selectRows({1});
    watch->graph()->grab();
    QVERIFY2(watch->graph()->valueLabels().contains(QStringLiteral("up")), qPrintable(watch->graph()->valueLabels().join(u',')));
}

// The watch polls as one user while a run goes as another (a second agent
// text for the same snmpd): neither run nor poll loses its user's keys.
void TestWatchWindow::snmpv3BesideARun()
{
    const QString watched = QStringLiteral("udp:") + m_snmpd.address();
    m_window.log.answerAgent = [&](AgentPropertiesEdit &edit) {
        AgentProperties &p = edit.properties;
        const AgentSecurity user = edit.agent == watched ? v3users::security(AuthProtocol::SHA256, PrivProtocol::AES256)
                                                    : v3users::security(AuthProtocol::SHA, PrivProtocol::AES);
        p.version = AgentVersion::V3;
        p.userName = QString::fromStdString(user.userName);
        p.auth = user.auth;
        p.priv = user.priv;
        edit.authPassphrase = user.authPassphrase.copy();
        edit.privPassphrase = user.privPassphrase.copy();
        return true;
    };
    for (const QString &agent : {watched, m_snmpd.address()}) {
        m_window.setInputs(agent, QString(), QString());
        QVERIFY(m_window.trigger("actAgentProperties"));
    }
    run(watched, "actGet", QStringLiteral("1.3.6.1.2.1.1.3.0"));
    QVERIFY(addFirstRow());
    const WatchedObject &object = poller().object(0);
    QTRY_VERIFY_WITH_TIMEOUT(object.step.outcome == Outcome::Value, 5000);
    QCOMPARE(object.value.asnType, asn::TimeTicks);

    run(m_snmpd.address(), "actWalk", QStringLiteral("1.3.6.1.2.1.1"), 5);
    QCOMPARE(m_window.log.errors, QStringList());
    const int64_t afterRun = QDateTime::currentMSecsSinceEpoch();
    QTRY_VERIFY_WITH_TIMEOUT(object.polledMs > afterRun, 5000);
    QCOMPARE(object.problem, QString());
}

// A counter that wraps at 2^32, then an agent restart: rates of 1000 a
// second throughout, a gap at the first reading and at the restart.
void TestWatchWindow::wrapAndRestart()
{
    std::atomic<int> polls{0};
    ScriptedAgent agent;
    agent.setHandler([&](const ScriptedAgent::Request &request) {
        const ber::Oid upTime = ScriptedAgent::oid("1.3.6.1.2.1.1.3.0");
        const bool poll = request.names.front() == upTime;
        const int n = poll ? polls++ : polls.load();
        const bool restarted = n >= 6;
        const uint32_t up = restarted ? 20 + 50 * (n - 6) : 1000 + 50 * n;
        const uint32_t counter = restarted ? 300 + 500 * (n - 6) : uint32_t(4294966296u + 500u * uint32_t(n));
        std::vector<ScriptedAgent::Binding> bindings;
        for (const ber::Oid &name : request.names)
            bindings.push_back({name, ScriptedAgent::Value::unsignedValue(name == upTime ? 0x43 : 0x41, name == upTime ? up : counter)});
        return ScriptedAgent::Response::answer(std::move(bindings));
    });
    QVERIFY(agent.start());
    run(agent.address(), "actGet", QString::fromLatin1(Counter));
    TWatchWindow *watch = addFirstRow();
    QVERIFY(watch);
    QStringList states;
    connect(&poller(), &WatchPoller::polled, this, [&] { states << static_cast<WatchListModel *>(watch->listView()->model())->stateText(0); });
    QTRY_VERIFY_WITH_TIMEOUT(polls >= 10, 10000);
    QTRY_VERIFY(!poller().isBusy());
    watch->startButton()->click();
    QVERIFY(!poller().isPolling());
    QVERIFY2(states.contains(QStringLiteral("restarted")), qPrintable(states.join(u',')));

    int gaps = 0;
    int rates = 0;
    poller().object(0).samples.forEach([&](const Sample &sample) {
        if (std::isnan(sample.plotted))
            ++gaps;
        else if (sample.plotted == 1000.0f)
            ++rates;
    });
    QCOMPARE(gaps, 2);
    QCOMPARE(rates, int(poller().object(0).samples.size()) - 2);
    watch->graph()->grab();
    QVERIFY2(!watch->graph()->valueLabels().join(u' ').contains(QRegularExpression(QStringLiteral(" [MGT]"))),
             qPrintable(watch->graph()->valueLabels().join(u' ')));

    // Export CSV: a row per sample; the wrap's reading, the restart's without a rate.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("watch.csv"));
    m_window.log.answerCsvFile = [&] { return std::optional(file); };
    watch->exportCsv();
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.front(), QByteArray("time,agent,oid,raw value,rate\r"));
    QCOMPARE(lines.size() - 2, int(poller().object(0).samples.size()));
    const QByteArray prefix = "," + agent.address().toLatin1() + ",." + Counter + ",";
    QVERIFY(lines[1].endsWith(prefix + "4294966296,\r"));
    QVERIFY(lines[3].endsWith(prefix + "0,1000\r"));
    QVERIFY(lines[7].endsWith(prefix + "300,\r"));
}

void TestWatchWindow::tableCellsAndNextStart()
{
    run(m_snmpd.address(), "actWalk", QStringLiteral("1.3.6.1.2.1.2.2"), 20);
    QVERIFY(m_window.trigger("actTableView"));
    TTableWindow *table = m_window->tableWindow();
    QVERIFY(QTest::qWaitForWindowActive(table));
    const TableGridModel &grid = *table->grid();
    const int in = int(grid.headerTexts().indexOf(QStringLiteral("ifInOctets")));
    const int out = int(grid.headerTexts().indexOf(QStringLiteral("ifOutOctets")));
    QVERIFY(in > 0 && out > 0);
    table->gridView()->selectionModel()->select(grid.index(0, in), QItemSelectionModel::Select);
    table->gridView()->selectionModel()->select(grid.index(0, out), QItemSelectionModel::Select);
    table->activateWindow();
    QTRY_VERIFY(table->isActiveWindow());
    QVERIFY(m_window.trigger("actAddToWatch"));
    QCOMPARE(poller().count(), 2);
    QCOMPARE(poller().object(1).target.oid.at(9), 16u); // ifOutOctets
    m_window->watch().window()->intervalBox()->setValue(2.5);

    m_window.quit();
    QVERIFY(m_window.open());
    QCOMPARE(poller().count(), 2);
    QVERIFY(!poller().isPolling());
    QCOMPARE(poller().intervalMs(), 2500);
    QCOMPARE(poller().object(0).target.agent, m_snmpd.address());
    QVERIFY(m_window.trigger("actWatch"));
    auto *model = static_cast<WatchListModel *>(m_window->watch().window()->listView()->model());
    QCOMPARE(model->stateText(1), QStringLiteral("paused"));
}

QTEST_MAIN(TestWatchWindow)
#include "tst_watch.moc"
