// SPDX-License-Identifier: MIT
// The Watch through its real poller: the rate rules tick by tick against a
// scripted agent, polls beside a walk (neither waits for the other), and the
// samples as they are kept and drawn.

#include "engine/watch/plotcolumns.h"
#include "engine/watch/watchpoller.h"
#include "tests/engine/fakehost.h"
#include "tests/support/sanitizers.h"
#include "tests/support/scriptedagent.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <cmath>
#include <thread>

using Value = ScriptedAgent::Value;

namespace {

const ber::Oid SysUpTime = ScriptedAgent::oid("1.3.6.1.2.1.1.3.0");
const ber::Oid Discontinuity = ScriptedAgent::oid("1.3.6.1.2.1.31.1.1.1.19");

QueryRequest v2cTo(const QString &agent, int timeOutMs)
{
    QueryRequest request;
    request.agent = agent;
    request.community = QStringLiteral("public");
    request.transport = {timeOutMs, 0, SnmpVersion::V2c};
    return request;
}

// "[c64:|gauge:]value@upTime[/dTime]": what the agent answers at a tick.
ScriptedAgent::Response answerTo(const ScriptedAgent::Request &request, const QString &step)
{
    QString text = step;
    uint8_t tag = 0x41;
    if (text.startsWith(QLatin1String("c64:")))
        tag = 0x46;
    else if (text.startsWith(QLatin1String("gauge:")))
        tag = 0x42;
    text = text.mid(text.indexOf(u':') + 1);
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[@/d]")), Qt::SkipEmptyParts);
    std::vector<ScriptedAgent::Binding> bindings;
    for (const ber::Oid &name : request.names) {
        Value value = Value::raw(0x81, {}); // noSuchInstance
        if (name == SysUpTime)
            value = Value::unsignedValue(0x43, parts.value(1).toUInt());
        else if (ber::Oid(name.begin(), name.end() - 1) == Discontinuity && parts.size() > 2)
            value = Value::unsignedValue(0x43, parts.value(2).toUInt());
        else if (ber::Oid(name.begin(), name.end() - 1) != Discontinuity)
            value = tag == 0x46 ? Value::counter64(parts.value(0).toULongLong()) : Value::unsignedValue(tag, parts.value(0).toUInt());
        bindings.push_back({name, value});
    }
    return ScriptedAgent::Response::answer(std::move(bindings));
}

} // namespace

class TestWatch final : public QObject
{
    Q_OBJECT

private slots:
    void rateRules_data();
    void rateRules();
    void pollsBesideAWalk();
    void samplesKeptAndDrawn();
    void holdsABoundedList();
};

void TestWatch::rateRules_data()
{
    QTest::addColumn<QString>("oid");
    QTest::addColumn<QStringList>("ticks");    // what the agent answers, tick by tick
    QTest::addColumn<QStringList>("expected"); // what the first object's reading means
    QTest::addColumn<int>("namesLimit");       // more names in a Get: tooBig
    QTest::addColumn<int>("gets");             // Gets the agent saw; -1: not counted

    const QString enterprise = QStringLiteral("1.3.6.1.4.1.99999.1.1");
    QTest::newRow("steady rate") << enterprise << QStringList{"1000@100", "2000@200", "3000@300"}
                                 << QStringList{"first", "rate 1000", "rate 1000"} << 0 << 3;
    QTest::newRow("Counter32 wrap") << enterprise << QStringList{"4294967000@100", "704@200"}
                                    << QStringList{"first", "rate 1000"} << 0 << 2;
    QTest::newRow("Counter64 wrap") << enterprise << QStringList{"c64:18446744073709551000@100", "c64:384@200"}
                                    << QStringList{"first", "rate 1000"} << 0 << 2;
    QTest::newRow("agent restart by sysUpTime")
        << enterprise << QStringList{"5000@100000", "6000@100100", "50@150", "1050@250"}
        << QStringList{"first", "rate 1000", "restarted", "rate 1000"} << 0 << 4;
    QTest::newRow("ifCounterDiscontinuityTime change")
        << QStringLiteral("1.3.6.1.2.1.2.2.1.10.2") << QStringList{"1000@100/d0", "2000@200/d0", "100@300/d250", "1100@400/d250"}
        << QStringList{"first", "rate 1000", "restarted", "rate 1000"} << 0 << 4;
    QTest::newRow("missed poll: a gap, then the rate over both intervals")
        << enterprise << QStringList{"1000@100", "silence", "3000@300"} << QStringList{"first", "missed", "rate 1000"} << 0
        << 3;
    QTest::newRow("tooBig: halves at once, and the next tick remembers")
        << enterprise << QStringList{"1000@100", "2000@200"} << QStringList{"first", "rate 1000"} << 2 << 5;
    QTest::newRow("a value of another type than before")
        << enterprise << QStringList{"1000@100", "gauge:7@200", "gauge:9@300"} << QStringList{"first", "type", "value 9"}
        << 0 << 3;
}

// Each tick is a Start (which polls at once) and a Pause once the answers are in.
void TestWatch::rateRules()
{
    QFETCH(QString, oid);
    QFETCH(QStringList, ticks);
    QFETCH(QStringList, expected);
    QFETCH(int, namesLimit);
    QFETCH(int, gets);

    std::atomic<int> tick{0};
    ScriptedAgent agent;
    agent.setHandler([&](const ScriptedAgent::Request &request) {
        const QString step = ticks.value(tick);
        if (step == QLatin1String("silence"))
            return ScriptedAgent::Response::silence();
        if (namesLimit > 0 && int(request.names.size()) > namesLimit)
            return ScriptedAgent::Response::answer({}, 1);
        return answerTo(request, step);
    });
    QVERIFY(agent.start());
    WatchPoller poller([](const QString &a, const QString &) { return v2cTo(a, 200 * SlowBuild); });
    std::vector<uint32_t> first = ScriptedAgent::oid(qPrintable(oid));
    std::vector<uint32_t> second = first;
    ++second.back();
    QVERIFY(poller.add({agent.address(), QStringLiteral("public"), first}));
    QVERIFY(poller.add({agent.address(), QStringLiteral("public"), second}));
    QVERIFY(!poller.add({agent.address(), QStringLiteral("public"), first}));

    for (tick = 0; tick < ticks.size(); ++tick) {
        poller.start();
        QTRY_VERIFY(!poller.isBusy());
        poller.pause();
        const WatchedObject &object = poller.object(0);
        const QString want = expected.value(tick);
        const QString what = QStringLiteral("tick %1").arg(tick);
        static const std::pair<const char *, Outcome> outcomes[] = {{"first", Outcome::First},
            {"rate", Outcome::Rate}, {"restarted", Outcome::Restarted}, {"missed", Outcome::Missed},
            {"type", Outcome::TypeChanged}, {"value", Outcome::Value}};
        for (const auto &[name, outcome] : outcomes) {
            if (want.startsWith(QLatin1String(name)))
                QVERIFY2(object.step.outcome == outcome, qPrintable(what));
        }
        if (want.contains(u' '))
            QCOMPARE(object.step.value, want.section(u' ', 1).toDouble());
        // Anything but a value or a rate is a gap in the graph, never a spike.
        float drawn = 0;
        object.samples.plotFrom(object.samples.lastTimeMs(), [&drawn](int64_t, float v) { return drawn = v, true; });
        QCOMPARE(std::isnan(drawn), !want.contains(u' '));
        QCOMPARE(poller.object(1).step.outcome, object.step.outcome);
    }
    if (gets >= 0)
        QCOMPARE(int(agent.requests().size()), gets);
    QCOMPARE(poller.skippedTicks(), 0);
}

// Polls go out and come back while a walk waits for its answers (the
// window's events processed), and a poll that waits for a silent agent
// holds the walk up not at all: neither nests its wait in the other's.
void TestWatch::pollsBesideAWalk()
{
    std::atomic<int> answerDelayMs{10};
    std::atomic<int> rows{40};
    ScriptedAgent walked;
    walked.setHandler([&](const ScriptedAgent::Request &request) {
        std::this_thread::sleep_for(std::chrono::milliseconds(answerDelayMs));
        return ScriptedAgent::integerSubtreeHandler("1.3.6.1.4.1.99999.2", rows)(request);
    });
    std::atomic<bool> silent{true};
    ScriptedAgent polled;
    polled.setHandler([&](const ScriptedAgent::Request &request) {
        return silent ? ScriptedAgent::Response::silence() : answerTo(request, QStringLiteral("gauge:5@100"));
    });
    QVERIFY(walked.start());
    QVERIFY(polled.start());

    WatchPoller poller([](const QString &a, const QString &) { return v2cTo(a, 3000 * SlowBuild); });
    poller.add({polled.address(), QStringLiteral("public"), ScriptedAgent::oid("1.3.6.1.4.1.99999.1.1")});
    poller.setIntervalMs(WatchPoller::MinIntervalMs);
    FakeHost host;
    host.wait = RequestWait::ProcessEvents;
    host.setInputs(walked.address(), QStringLiteral("public"), QStringLiteral("1.3.6.1.4.1.99999.2"), Operation::Walk);
    poller.start();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(run(host), QString());
    QCOMPARE(host.rows.size(), size_t(40));
    QVERIFY2(clock.elapsed() < 2500 * SlowBuild, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY(poller.skippedTicks() >= 1); // its Get still out, never a second one
    QCOMPARE(int(polled.requests().size()), 1);
    poller.pause();

    // Now the walk's agent is the slow one, and polls are answered during its waits.
    silent = false;
    answerDelayMs = 150;
    rows = 10;
    host.rows.clear();
    poller.start();
    QCOMPARE(run(host), QString());
    QCOMPARE(host.rows.size(), size_t(10));
    QVERIFY2(polled.requests().size() >= 3, qPrintable(QString::number(polled.requests().size())));
    QCOMPARE(poller.object(0).step.outcome, Outcome::Value);
    poller.pause();
    QCOMPARE(SnmpMgrOpenSessionCount(), 0);
}

// Raw values come back exactly (wraps, gaps without one, a value to the
// last bit), and a one-sample peak among a day of samples stays in its column.
void TestWatch::samplesKeptAndDrawn()
{
    SampleSeries series;
    const int64_t start = 1'700'000'000'000;
    const std::vector<std::optional<uint64_t>> raws = {5, 4294967295u, 3, std::nullopt, UINT64_MAX, 0, 1};
    for (size_t i = 0; i < 86400; ++i) {
        const std::optional<uint64_t> raw = i < raws.size() ? raws[i] : std::optional<uint64_t>(i * 1000);
        series.append(start + int64_t(i) * 1000, raw, i == 50000 ? 900.0f : i == 3 ? NAN : float(i % 7));
    }
    QCOMPARE(series.size(), size_t(86400));
    size_t i = 0;
    bool exact = true;
    series.forEach([&](const Sample &sample) {
        const std::optional<uint64_t> want = i < raws.size() ? raws[i] : std::optional<uint64_t>(i * 1000);
        exact = exact && sample.raw == want && sample.timeMs == start + int64_t(i) * 1000;
        ++i;
    });
    QVERIFY(exact);
    QVERIFY2(series.memoryUsed() < 86400 * 12, qPrintable(QString::number(series.memoryUsed())));

    const PlotColumns drawn = plotColumns(series, start, start + 86400 * 1000, 1000);
    QCOMPARE(drawn.high, 900.0f);
    const PlotColumn &peak = drawn.columns[50000 * 1000 / 86400];
    QCOMPARE(peak.high, 900.0f);
    QCOMPARE(peak.low, 0.0f);
    QVERIFY(!drawn.columns[0].joined); // the gap at the fourth sample is in the first column; its first value starts the line
    QVERIFY(drawn.columns[1].joined);
}

// A whole table added at once stops at MaxObjects; removing makes room.
void TestWatch::holdsABoundedList()
{
    WatchPoller poller([](const QString &a, const QString &) { return v2cTo(a, 100); });
    const auto target = [](uint32_t i) { return WatchTarget{QStringLiteral("h%1").arg(i % 7), {}, {1, 3, 6, 1, i}}; };
    for (uint32_t i = 0; i < WatchPoller::MaxObjects; ++i)
        QVERIFY(poller.add(target(i)));
    QVERIFY(!poller.add(target(uint32_t(WatchPoller::MaxObjects))));
    poller.remove({poller.object(5).id, poller.object(6).id});
    QCOMPARE(poller.rowOf(target(7)), 5);
    QVERIFY(poller.add(target(uint32_t(WatchPoller::MaxObjects))));
    QVERIFY(poller.add(target(5)) && !poller.add(target(6)) && !poller.add(target(7)));
}

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
