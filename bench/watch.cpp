// SPDX-License-Identifier: MIT
// The Watch under measurement: the Watch window (offscreen) polling many
// objects, a day of samples in memory, and the graph repainted over them.
// Each mode prints one line of key=value figures for bench/run.sh.
//
//   bench_watch --poll AGENT OBJECTS SECONDS   OBJECTS counters of the bench agent's ifTable
//                                              polled every second over SNMPv2c, the window
//                                              open with one of them graphed: CPU between polls
//   bench_watch --memory OBJECTS SAMPLES       SAMPLES samples each, as a poll a second makes them
//   bench_watch --repaint SERIES SAMPLES WIDTH the graph WIDTH pixels wide over SERIES objects of
//                                              SAMPLES samples each, repainted 30 times
#include "engine/watch/watchpoller.h"
#include "ui/dialogs/dialogservice.h"
#include "ui/watch/watchgraph.h"
#include "ui/watch/watchlistmodel.h"
#include "ui/watch/watchwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

double heapMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

QueryRequest v2c(const QString &agent, const QString &community)
{
    QueryRequest request;
    request.agent = agent;
    request.community = community;
    request.transport = {1000, 1, SnmpVersion::V2c};
    return request;
}

// The bench agent's ifTable counters (ifInOctets .. ifOutErrors), interface by interface.
std::vector<uint32_t> counterOid(int i)
{
    return {1, 3, 6, 1, 2, 1, 2, 2, 1, uint32_t(10 + i % 11), uint32_t(1 + i / 11)};
}

// A day of a counter at one poll a second: its raw values climb by a few
// thousand, its rate follows; the samples the poller would have appended.
void fill(SampleSeries &series, int samples, std::mt19937 &random)
{
    const int64_t start = QDateTime::currentMSecsSinceEpoch() - int64_t(samples) * 1000;
    uint64_t raw = random();
    std::uniform_int_distribution<uint64_t> step(0, 20000);
    for (int i = 0; i < samples; ++i) {
        const uint64_t delta = step(random);
        raw += delta;
        series.append(start + int64_t(i) * 1000 + int64_t(random() % 20), raw, i == 0 ? NAN : float(delta));
    }
}

int poll(const QString &agent, int objects, int seconds)
{
    WatchPoller poller(v2c);
    WatchListModel model(poller);
    for (int i = 0; i < objects; ++i)
        model.add({agent, QStringLiteral("tarnel"), counterOid(i)});
    ModalDialogs dialogs;
    TWatchWindow window(model, dialogs, nullptr);
    window.show();
    window.intervalBox()->setValue(1.0);
    window.selectRows({0});
    window.toggleRunning();
    // Past the first ticks (sessions opened, MIBs loaded for the names shown).
    QTest::qWait(2500);
    const int requestsBefore = poller.requestsSent();
    const double cpuBefore = cpuMs();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(seconds * 1000);
    const double cpu = cpuMs() - cpuBefore;
    const double wall = double(clock.elapsed());
    const int requests = poller.requestsSent() - requestsBefore;
    int answered = 0;
    for (int i = 0; i < poller.count(); ++i)
        answered += poller.object(i).problem.isEmpty() && poller.object(i).polledMs > 0 ? 1 : 0;
    std::printf("objects=%d answered=%d seconds=%.1f gets=%d gets_per_tick=%.2f cpu_ms=%.1f cpu_ms_per_tick=%.2f "
                "core_percent=%.2f skipped=%d\n",
                objects, answered, wall / 1000, requests, requests / (wall / 1000), cpu, cpu / (wall / 1000),
                cpu * 100 / wall, poller.skippedTicks());
    return answered == objects ? 0 : 1;
}

int memory(int objects, int samples)
{
    std::mt19937 random(7);
    WatchPoller poller(v2c);
    for (int i = 0; i < objects; ++i)
        poller.add({QStringLiteral("127.0.0.1"), QStringLiteral("tarnel"), counterOid(i)});
    malloc_trim(0);
    const double heapBefore = heapMiB();
    const double residentBefore = residentMiB();
    // The bench fills what 86,400 ticks would, into the poller's own records.
    for (int i = 0; i < objects; ++i)
        fill(const_cast<WatchedObject &>(poller.object(i)).samples, samples, random);
    const double heap = heapMiB() - heapBefore;
    const double resident = residentMiB() - residentBefore;
    const double count = double(poller.sampleCount());
    std::printf("samples=%.0f heap_mib=%.1f resident_mib=%.1f counted_mib=%.1f bytes_per_sample=%.2f\n", count, heap,
                resident, double(poller.sampleMemory()) / (1024.0 * 1024.0), heap * 1024 * 1024 / count);
    return 0;
}

int repaint(int series, int samples, int width)
{
    std::mt19937 random(7);
    WatchPoller poller(v2c);
    WatchListModel model(poller);
    std::vector<ObjectId> ids;
    for (int i = 0; i < series; ++i) {
        model.add({QStringLiteral("127.0.0.1"), QStringLiteral("tarnel"), counterOid(i)});
        fill(const_cast<WatchedObject &>(poller.object(i)).samples, samples, random);
        ids.push_back(poller.object(i).id);
    }
    WatchGraph graph(model);
    graph.resize(width, 300);
    graph.setSpanMs(int64_t(samples) * 1000);
    graph.setObjects(ids);
    graph.show();
    if (!QTest::qWaitForWindowExposed(&graph))
        return 1;
    graph.repaint(); // names looked up, MIBs loaded
    // Wall time as the paint measures it, and the thread's CPU time, which a
    // busy machine inflates less.
    std::vector<double> costs;
    std::vector<double> cpu;
    for (int i = 0; i < 30; ++i) {
        const double before = threadCpuMs();
        graph.repaint();
        cpu.push_back(threadCpuMs() - before);
        costs.push_back(double(graph.lastPaintNs()) / 1e6);
    }
    std::sort(costs.begin(), costs.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("series=%d samples=%d width=%d median_ms=%.2f max_ms=%.2f cpu_median_ms=%.2f\n", series, samples,
                width, costs[costs.size() / 2], costs.back(), cpu[cpu.size() / 2]);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--poll"))
        return poll(args[2], args[3].toInt(), args[4].toInt());
    if (args.size() == 4 && args[1] == QLatin1String("--memory"))
        return memory(args[2].toInt(), args[3].toInt());
    if (args.size() == 5 && args[1] == QLatin1String("--repaint"))
        return repaint(args[2].toInt(), args[3].toInt(), args[4].toInt());
    std::fprintf(stderr, "usage: bench_watch --poll AGENT OBJECTS SECONDS | --memory OBJECTS SAMPLES | "
                         "--repaint SERIES SAMPLES WIDTH\n");
    return 2;
}
