// SPDX-License-Identifier: MIT
// The real main window under measurement: the agent and OID are typed into
// its boxes, Walk is picked and Run executed as a user would, on whatever
// platform QT_QPA_PLATFORM names. Each mode prints one line of key=value
// figures for bench/run.sh.
//
//   bench_walk_window [--v2c] --walk AGENT OID ROWS   one timed walk, with the event-delay probes
//   bench_walk_window --wait AGENT OID ROWS        a walk of a slow agent, MIBs loaded before; ROWS 0
//                                                  expects a silent agent's timeout in the error box
//   bench_walk_window --engine AGENT OID ROWS      the query run alone into the result model
//   bench_walk_window --engine-events AGENT OID ROWS   the same, processing events after every row
//   bench_walk_window --scale AGENT OID ROWS DIR   walk, memory, End in the list, find with no match, Save against cp
//   bench_walk_window --tables AGENT OID ROWS      the Table View of the walked rows: built, its memory, a walk it follows
//   bench_walk_window --startup-runs COUNT         process start to window shown and idle
//   bench_walk_window --mibload                    the first name conversion (MIB loading), memory
//   bench_walk_window --mibsave AGENT OID ROWS DIR walk, then Save with MIB Values off and on
//   bench_walk_window --v3 USER CONTEXT --get AGENT OID   F9 to the row of a Get, engine ID discovery included
//   bench_walk_window --recordings AGENT OID ROWS DIR  walk, Save As .snmprec, Open it; walk again, Compare With it
//
// --v2c before a walking mode walks over SNMPv2c (GetBulk), as the Options
// dialog's version 2c does; --v3 USER CONTEXT instead gives the agent SNMPv3
// properties in Agent Properties (authPriv, SHA-256, AES-256; passphrases
// from NORVANE_BENCH_AUTH and NORVANE_BENCH_PRIV); --mib-values (after
// either) walks with MIB Values on, which is otherwise off whatever the
// settings say.
#include "bench/walkhost.h"
#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/snmp/snmpmgr.h"
#include "tests/support/windowfixture.h"
#include "ui/compare/comparemodel.h"
#include "ui/compare/comparewindow.h"
#include "ui/results/findbar.h"
#include "ui/results/listview.h"
#include "ui/results/resultmodel.h"
#include "ui/tableview/tablemodel.h"
#include "ui/tableview/tablewindow.h"
#include "ui/widgets/statusbar.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QBackingStore>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

SnmpVersion g_version = SnmpVersion::V1;
std::optional<AgentProperties> g_v3;
bool g_mibValues = false;

void configureMibs()
{
    // As the program does: the MIB folder beside bin/.
    const QString mibDir =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/norvane/mibs"));
    SnmpMgrConfigure({QDir::toNativeSeparators(mibDir).toStdString()});
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// The largest resident size the process has had.
double peakResidentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Heap in use (small blocks and mmapped ones): what a part keeps, unlike
// resident size, which also holds memory freed but not returned.
double heapMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

qint64 realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// User and system time of the whole process so far.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double msSince(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// How long the window keeps events waiting. A thread posts an event to the
// window whenever the previous one has been handled (checking every
// millisecond), so each measures the time from posting to handling, as a
// click from the window system would wait. A 10 ms timer measures its own
// lateness besides. Delays before the first row (session, MIB loading) are
// kept apart from those during the walk proper.
class ResponsivenessProbe : public QObject
{
public:
    static constexpr QEvent::Type ProbeEvent = QEvent::Type(QEvent::User + 77);
    static constexpr int TimerMs = 10;

    struct Figures
    {
        double eventMs = 0; // largest posted-event delay
        double timerMs = 0; // largest timer lateness
    };

    explicit ResponsivenessProbe(TMainForm *window) : m_window(window)
    {
        window->installEventFilter(this);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(TimerMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = steadyNs();
            record(m_lastTick, double(now - m_lastTick) / 1e6 - TimerMs, &Figures::timerMs);
            m_lastTick = now;
        });
        QObject::connect(window->listView()->model(), &QAbstractItemModel::rowsInserted, this, [this] {
            if (m_firstRowAt == 0)
                m_firstRowAt = steadyNs();
        });
    }
    ~ResponsivenessProbe() override { stop(); }

    void start()
    {
        m_lastTick = steadyNs();
        m_timer.start();
        m_running = true;
        m_poster = std::thread([this] { post(); });
    }

    void stop()
    {
        m_timer.stop();
        if (m_running.exchange(false))
            m_poster.join();
    }

    Figures beforeRows() const { return m_before; }
    Figures duringWalk() const { return m_during; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != ProbeEvent)
            return QObject::eventFilter(watched, event);
        const qint64 postedAt = m_postedAt;
        record(postedAt, double(steadyNs() - postedAt) / 1e6, &Figures::eventMs);
        m_pending = false;
        return true;
    }

private:
    static qint64 steadyNs()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // A wait that began before the first row belongs to the run's start.
    void record(qint64 beganAt, double ms, double Figures::*field)
    {
        Figures &figures = m_firstRowAt != 0 && beganAt >= m_firstRowAt ? m_during : m_before;
        figures.*field = std::max(figures.*field, ms);
    }

    void post()
    {
        while (m_running) {
            if (!m_pending.exchange(true)) {
                m_postedAt = steadyNs();
                QCoreApplication::postEvent(m_window, new QEvent(ProbeEvent));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    TMainForm *m_window;
    QTimer m_timer;
    qint64 m_lastTick = 0;
    qint64 m_firstRowAt = 0;
    std::thread m_poster;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_pending{false};
    std::atomic<qint64> m_postedAt{0};
    Figures m_before;
    Figures m_during;
};

void typeInto(QComboBox *box, const QString &text)
{
    box->setFocus();
    box->clearEditText();
    QTest::keyClicks(box, text);
}

// The window in the benchmark's own settings folder (bench/run.sh points
// XDG_CONFIG_HOME at it), failures recorded instead of shown in a modal box
// nobody would close.
void openWindow(WindowFixture &window)
{
    if (!window.open(WindowFixture::Dialogs::Stub, WindowFixture::Wait::Exposed))
        std::fprintf(stderr, "the window was not exposed\n");
}

// Prints the errors the window reported; true when there were none.
bool noErrors(const WindowFixture &window)
{
    for (const QString &message : window.log.errors)
        std::fprintf(stderr, "error box: %s\n", qPrintable(message));
    return window.log.errors.isEmpty();
}

// Types the inputs, picks the operation and runs it; the run's wall time in ms.
double run(WindowFixture &window, const QString &agent, const QString &oid, const char *operation)
{
    typeInto(window->agentBox(), agent);
    if (g_v3) {
        window.log.answerAgent = [&](AgentPropertiesEdit &edit) {
            edit.properties = *g_v3;
            edit.authPassphrase = Secret(qgetenv("NORVANE_BENCH_AUTH").toStdString());
            edit.privPassphrase = Secret(qgetenv("NORVANE_BENCH_PRIV").toStdString());
            return true;
        };
        window.trigger("actAgentProperties");
    }
    typeInto(window->communityBox(), QStringLiteral("tarnel"));
    typeInto(window->oidBox(), oid);
    TransportSettings transport = window->transport();
    transport.version = g_version;
    window->setTransport(transport);
    if (window->mibValues() != g_mibValues)
        window.trigger("actMibValues");
    window.trigger(operation);
    QElapsedTimer clock;
    clock.start();
    window.trigger("actRun");
    return msSince(clock);
}

double walk(WindowFixture &window, const QString &agent, const QString &oid)
{
    return run(window, agent, oid, "actWalk");
}

bool checkRows(const WindowFixture &window, qsizetype expected)
{
    const qsizetype rows = window->results().storedRowCount();
    if (!noErrors(window) || rows != expected) {
        std::fprintf(stderr, "the walk brought %lld rows, %lld expected\n", static_cast<long long>(rows),
                     static_cast<long long>(expected));
        return false;
    }
    return true;
}

// The query run without the window, to tell its cost from the window's: the
// rows go to the result model (no view attached), and events are processed
// after every row or not at all.
class EngineHost final : public WalkHost
{
public:
    using WalkHost::WalkHost;

    ResultModel rows;

    void appendRow(ResultRow &&row) override { rows.appendRow(std::move(row)); }
};

int engineMode(const QString &agent, const QString &oid, qsizetype expected, bool processEvents)
{
    EngineHost host(agent, oid, processEvents);
    host.version = g_version;
    const double cpuBefore = cpuMs();
    QElapsedTimer clock;
    clock.start();
    if (!host.run())
        return 1;
    const double ms = msSince(clock);
    const double cpu = cpuMs() - cpuBefore;
    if (host.rows.storedRowCount() != expected) {
        std::fprintf(stderr, "the walk brought %lld rows, %lld expected\n",
                     static_cast<long long>(host.rows.storedRowCount()), static_cast<long long>(expected));
        return 1;
    }
    std::printf("engine rows=%lld ms=%.1f cpu_ms=%.1f events=%d\n", static_cast<long long>(expected), ms, cpu,
                processEvents ? 1 : 0);
    return 0;
}

int walkMode(const QString &agent, const QString &oid, qsizetype expected)
{
    WindowFixture window;
    openWindow(window);
    ResponsivenessProbe probe(window.get());
    probe.start();
    const double cpuBefore = cpuMs();
    const double ms = walk(window, agent, oid);
    const double cpu = cpuMs() - cpuBefore;
    probe.stop();
    if (!checkRows(window, expected))
        return 1;
    const ResponsivenessProbe::Figures before = probe.beforeRows();
    const ResponsivenessProbe::Figures during = probe.duringWalk();
    std::printf("walk rows=%lld ms=%.1f cpu_ms=%.1f rows_per_s=%.0f event_delay_ms=%.1f timer_late_ms=%.1f "
                "start_event_delay_ms=%.1f start_timer_late_ms=%.1f\n",
                static_cast<long long>(expected), ms, cpu, double(expected) * 1000.0 / ms, during.eventMs,
                during.timerMs, before.eventMs, before.timerMs);
    return 0;
}

// Against a slow or silent agent the run is mostly waiting for answers: the
// event delay over the whole run, with MIB loading done before it starts.
int waitMode(const QString &agent, const QString &oid, qsizetype expected)
{
    AsnObjectIdentifier warm;
    SnmpMgrStrToOid("sysDescr.0", &warm);
    WindowFixture window;
    openWindow(window);
    ResponsivenessProbe probe(window.get());
    probe.start();
    const double ms = walk(window, agent, oid);
    // A probe event posted during a wait the run ended in is handled only now.
    QCoreApplication::processEvents();
    probe.stop();
    const qsizetype rows = window->results().storedRowCount();
    const int expectedFailures = expected == 0 ? 1 : 0;
    if (rows != expected || window.log.errors.size() != expectedFailures) {
        std::fprintf(stderr, "the run brought %lld rows and %lld error boxes, %lld and %d expected\n",
                     static_cast<long long>(rows), static_cast<long long>(window.log.errors.size()),
                     static_cast<long long>(expected), expectedFailures);
        return 1;
    }
    const ResponsivenessProbe::Figures before = probe.beforeRows();
    const ResponsivenessProbe::Figures during = probe.duringWalk();
    std::printf("wait rows=%lld ms=%.1f event_delay_ms=%.1f timer_late_ms=%.1f\n", static_cast<long long>(expected),
                ms, std::max(before.eventMs, during.eventMs), std::max(before.timerMs, during.timerMs));
    return 0;
}

// A Get in a fresh process: what a user waits from F9 to the row, SNMPv3
// engine ID discovery and time synchronisation included.
int getMode(const QString &agent, const QString &oid)
{
    WindowFixture window;
    openWindow(window);
    const double ms = run(window, agent, oid, "actGet");
    if (!checkRows(window, 1))
        return 1;
    std::printf("get rows=1 ms=%.1f\n", ms);
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

int scaleMode(const QString &agent, const QString &oid, qsizetype expected, const QString &dir)
{
    WindowFixture window;
    openWindow(window);
    TMainForm &form = *window.get();
    const double rssBefore = residentMiB();
    ResponsivenessProbe probe(&form);
    probe.start();
    const double walkMs = walk(window, agent, oid);
    probe.stop();
    if (!checkRows(window, expected))
        return 1;
    const double rssAfter = residentMiB();

    ResultModel &model = form.results();
    double lineBytes = 0;
    for (qsizetype row = 0; row < expected; ++row) {
        for (int column = 0; column < ResultModel::ColumnCount; ++column)
            lineBytes += double(model.field(row, column).size());
        lineBytes += 3 * 3 + 2; // three " | " and CR LF
    }
    const double lineLength = lineBytes / double(expected);
    const double bytesPerRow = rssAfter * 1024 * 1024 / double(expected);
    const double deltaPerRow = (rssAfter - rssBefore) * 1024 * 1024 / double(expected);

    // The scroll bar dragged to the end, then End pressed in the list, each
    // painted before the clock stops.
    ListView *list = form.listView();
    QCoreApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    list->viewport()->repaint();
    const double scrollMs = msSince(clock);
    list->setFocus();
    clock.restart();
    QTest::keyClick(list, Qt::Key_End);
    list->viewport()->repaint();
    const double endMs = msSince(clock);
    if (list->currentIndex().row() != int(expected - 1)) {
        std::fprintf(stderr, "End selected row %d\n", list->currentIndex().row());
        return 1;
    }

    // Find a text no row holds: through every row, the window answering.
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(form.findBar()->edit(), QStringLiteral("no such text"));
    ResponsivenessProbe findProbe(&form);
    findProbe.start();
    const double findCpuBefore = cpuMs();
    clock.restart();
    QTest::keyClick(form.findBar()->edit(), Qt::Key_F3);
    while (form.statusLine()->simpleText() != QLatin1String("Not found") && clock.elapsed() < 60000)
        QCoreApplication::processEvents();
    const double findMs = msSince(clock);
    const double findCpu = cpuMs() - findCpuBefore;
    findProbe.stop();
    const double findDelay = std::max(findProbe.beforeRows().eventMs, findProbe.duringWalk().eventMs);
    if (form.statusLine()->simpleText() != QLatin1String("Not found")) {
        std::fprintf(stderr, "find did not end\n");
        return 1;
    }

    // Save against cp of the same bytes, alternating, fresh targets each time.
    // The first Save asks for the name (Save As), the others write to it.
    const QString saved = QDir(dir).filePath(QStringLiteral("bench-save.txt"));
    const QString copied = QDir(dir).filePath(QStringLiteral("bench-copy.txt"));
    window.log.answerFile = [saved] { return std::optional<QString>(saved); };
    window.log.answerReplace = true;
    std::vector<double> saveMs;
    std::vector<double> cpMs;
    qint64 fileSize = 0;
    for (int run = 0; run < 3; ++run) {
        QFile::remove(saved);
        clock.restart();
        if (!window.trigger("actSave") || !noErrors(window) || form.currentFileName() != saved) {
            std::fprintf(stderr, "Save failed\n");
            return 1;
        }
        saveMs.push_back(msSince(clock));
        fileSize = QFileInfo(saved).size();

        QFile::remove(copied);
        QProcess cp;
        clock.restart();
        cp.start(QStringLiteral("cp"), {saved, copied});
        cp.waitForFinished(-1);
        cpMs.push_back(msSince(clock));
        if (cp.exitCode() != 0 || QFileInfo(copied).size() != fileSize) {
            std::fprintf(stderr, "cp failed\n");
            return 1;
        }
    }
    QFile::remove(copied);

    QFile::remove(saved);
    if (std::abs(double(fileSize) - lineBytes) > 0.5) {
        std::fprintf(stderr, "the file holds %lld bytes, the lines %.0f\n", static_cast<long long>(fileSize),
                     lineBytes);
        return 1;
    }

    std::printf("scale rows=%lld walk_ms=%.0f event_delay_ms=%.1f rss_mib=%.1f rss_before_mib=%.1f line_bytes=%.1f "
                "rss_per_row=%.1f delta_per_row=%.1f model_per_row=%.1f scroll_ms=%.1f end_ms=%.1f "
                "save_ms=%.0f cp_ms=%.0f file_mib=%.1f find_ms=%.1f find_cpu_ms=%.1f find_event_delay_ms=%.1f\n",
                static_cast<long long>(expected), walkMs, probe.duringWalk().eventMs, rssAfter, rssBefore, lineLength, bytesPerRow, deltaPerRow,
                double(model.memoryUsed()) / double(expected), scrollMs, endMs, median(saveMs), median(cpMs),
                double(fileSize) / (1024.0 * 1024.0), findMs, findCpu, findDelay);
    return 0;
}

// The Table View of a walked list: opened (the tables found, the grid
// painted), found again, the memory it keeps against the list's, and a
// second walk of the same rows with the window open, which follows it.
int tablesMode(const QString &agent, const QString &oid, qsizetype expected)
{
    WindowFixture window;
    openWindow(window);
    TMainForm &form = *window.get();
    const double heapStart = heapMiB();
    const double rssStart = residentMiB();
    double cpuBefore = cpuMs();
    const double walkMs = walk(window, agent, oid);
    const double walkCpu = cpuMs() - cpuBefore;
    if (!checkRows(window, expected))
        return 1;
    QCoreApplication::processEvents();
    const double heapList = heapMiB();
    const double rssList = residentMiB();

    cpuBefore = cpuMs();
    QElapsedTimer clock;
    clock.start();
    window.trigger("actTableView");
    TTableWindow *table = form.tableWindow();
    table->repaint();
    const double openMs = msSince(clock);
    const double openCpu = cpuMs() - cpuBefore;
    QCoreApplication::processEvents();
    const double heapTable = heapMiB();
    const double rssTable = residentMiB();
    // The window's pixels, whatever it shows (offscreen they are on the heap).
    const QSize pixels = table->backingStore() ? table->backingStore()->size() * table->devicePixelRatio() : QSize();
    const double pixelKiB = QGuiApplication::platformName() == QLatin1String("offscreen")
        ? double(pixels.width()) * pixels.height() * 4 / 1024.0 : 0;
    std::vector<double> againMs;
    std::vector<double> againCpu;
    for (int run = 0; run < 5; ++run) {
        cpuBefore = cpuMs();
        clock.restart();
        table->refresh();
        table->repaint();
        againMs.push_back(msSince(clock));
        againCpu.push_back(cpuMs() - cpuBefore);
    }
    const int gridRows = table->grid()->rowCount();
    const int gridColumns = table->grid()->columnCount();

    window.trigger("actClear");
    ResponsivenessProbe probe(&form);
    probe.start();
    cpuBefore = cpuMs();
    const double followedMs = walk(window, agent, oid);
    const double followedCpu = cpuMs() - cpuBefore;
    probe.stop();
    if (!checkRows(window, expected))
        return 1;
    // The rows of the walk's end are announced as it ends; the grid takes them at its next refresh.
    clock.restart();
    while (table->grid()->rowCount() != gridRows && clock.elapsed() < 10000)
        QTest::qWait(5);
    if (table->grid()->rowCount() != gridRows) {
        std::fprintf(stderr, "the open Table View shows %d rows, %d expected\n", table->grid()->rowCount(), gridRows);
        return 1;
    }
    std::printf("tables rows=%lld grid_rows=%d grid_columns=%d tables=%d open_ms=%.1f open_cpu_ms=%.1f "
                "refresh_ms=%.1f refresh_cpu_ms=%.1f list_heap_mib=%.2f table_heap_kib=%.0f list_rss_mib=%.2f "
                "table_rss_kib=%.0f window_pixels_kib=%.0f walk_ms=%.0f walk_cpu_ms=%.0f followed_walk_ms=%.0f "
                "followed_cpu_ms=%.0f followed_event_delay_ms=%.1f\n",
                static_cast<long long>(expected), gridRows, gridColumns, table->tableBox()->count(), openMs, openCpu,
                median(againMs), median(againCpu), heapList - heapStart, (heapTable - heapList) * 1024,
                rssList - rssStart, (rssTable - rssList) * 1024, pixelKiB, walkMs, walkCpu, followedMs, followedCpu,
                probe.duringWalk().eventMs);
    return 0;
}

// The child of --startup-runs: reports when its window is shown and the event
// loop has nothing left to do, timed from the parent's clock before the start.
int startupChild()
{
    const qint64 started = QByteArray(qgetenv("NORVANE_BENCH_T0_NS")).toLongLong();
    configureMibs();
    WindowFixture window;
    TMainForm &form = window.create();
    form.show();
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &form, [&] {
        if (!form.windowHandle() || !form.windowHandle()->isExposed())
            return;
        std::printf("%.2f\n", double(realtimeNs() - started) / 1e6);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}

int startupRuns(int count)
{
    std::vector<double> ms;
    for (int run = 0; run < count; ++run) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NORVANE_BENCH_T0_NS"), QString::number(realtimeNs()));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup-child")});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            std::fprintf(stderr, "start-up run failed\n");
            return 1;
        }
        ms.push_back(child.readAllStandardOutput().trimmed().toDouble());
    }
    std::printf("startup runs=%d median_ms=%.1f min_ms=%.1f max_ms=%.1f\n", count, median(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
    return 0;
}

int mibLoad()
{
    configureMibs();
    AsnObjectIdentifier oid;
    const double before = residentMiB();
    QElapsedTimer clock;
    clock.start();
    const int converted = SnmpMgrStrToOid("SNMPv2-MIB::sysDescr.0", &oid);
    const double ms = msSince(clock);
    if (!converted) {
        std::fprintf(stderr, "SNMPv2-MIB::sysDescr.0 did not convert: no MIBs?\n");
        return 1;
    }
    // The modules are loaded with their descriptions, as the program loads them.
    std::printf("mibload ms=%.1f mib_mib=%.2f peak_mib=%.1f\n", ms, residentMiB() - before, peakResidentMiB());
    return 0;
}

// What rendering every row by the MIB costs: Save with MIB Values off and
// on, alternating, after one walk.
int mibSaveMode(const QString &agent, const QString &oid, qsizetype expected, const QString &dir)
{
    WindowFixture window;
    openWindow(window);
    walk(window, agent, oid);
    if (!checkRows(window, expected))
        return 1;
    const QString saved = QDir(dir).filePath(QStringLiteral("bench-mib.txt"));
    window.log.answerFile = [saved] { return std::optional<QString>(saved); };
    window.log.answerReplace = true;
    std::vector<double> ms[2];
    qint64 size[2] = {};
    for (int run = 0; run < 6; ++run) {
        const bool on = run % 2;
        if (window->mibValues() != on)
            window.trigger("actMibValues");
        QFile::remove(saved);
        QElapsedTimer clock;
        clock.start();
        if (!window.trigger("actSave") || !noErrors(window))
            return 1;
        ms[on].push_back(msSince(clock));
        size[on] = QFileInfo(saved).size();
    }
    QFile::remove(saved);
    std::printf("mibsave rows=%lld off_ms=%.0f on_ms=%.0f off_bytes=%lld on_bytes=%lld\n",
                static_cast<long long>(expected), median(ms[0]), median(ms[1]), static_cast<long long>(size[0]),
                static_cast<long long>(size[1]));
    return 0;
}

// A walk saved as an snmpsim recording, the list cleared and the file
// opened (the event-delay probe running); then the same walked again and
// compared with the file: from Compare With... to the window shown.
int recordingsMode(const QString &agent, const QString &oid, qsizetype expected, const QString &dir)
{
    WindowFixture window;
    openWindow(window);
    TMainForm &form = *window.get();
    walk(window, agent, oid);
    if (!checkRows(window, expected))
        return 1;
    const QString file = dir + QStringLiteral("/walk.snmprec");
    QFile::remove(file);
    window.log.answerFile = [&] { return std::optional(file); };
    QElapsedTimer clock;
    clock.start();
    window.trigger("actSaveAs");
    const double saveMs = msSince(clock);
    window.trigger("actClear");

    window.log.answerRecording = file;
    ResponsivenessProbe probe(&form);
    probe.start();
    double cpuBefore = cpuMs();
    clock.restart();
    window.trigger("actOpen");
    const double openMs = msSince(clock);
    const double openCpu = cpuMs() - cpuBefore;
    probe.stop();
    if (!checkRows(window, expected))
        return 1;
    const double openDelay = std::max(probe.beforeRows().eventMs, probe.duringWalk().eventMs);

    window.trigger("actClear");
    walk(window, agent, oid);
    cpuBefore = cpuMs();
    clock.restart();
    window.trigger("actCompareWith");
    const double compareMs = msSince(clock);
    const double compareCpu = cpuMs() - cpuBefore;
    if (!noErrors(window) || !form.comparing().compareWindow())
        return 1;
    const WalkComparison &c = form.comparing().compareWindow()->model()->comparison();
    std::printf("recordings rows=%lld file_mib=%.1f save_ms=%.0f open_ms=%.0f open_cpu_ms=%.0f open_event_delay_ms=%.1f "
                "compare_ms=%.0f compare_cpu_ms=%.0f same=%llu changed=%llu\n",
                static_cast<long long>(expected), double(QFileInfo(file).size()) / (1024.0 * 1024.0), saveMs, openMs,
                openCpu, openDelay, compareMs, compareCpu, static_cast<unsigned long long>(c.same),
                static_cast<unsigned long long>(c.changed));
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_walk_window [--v2c | --v3 USER CONTEXT] [--mib-values] --walk AGENT OID ROWS | --get AGENT OID | --wait AGENT OID ROWS | "
                         "--engine[-events] AGENT OID ROWS | "
                         "--scale AGENT OID ROWS DIR | --tables AGENT OID ROWS | --startup-runs COUNT | --mibload | "
                         "--mibsave AGENT OID ROWS DIR | --recordings AGENT OID ROWS DIR\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    if (args.value(0) == QLatin1String("--v2c")) {
        g_version = SnmpVersion::V2c;
        args.removeFirst();
    }
    if (args.value(0) == QLatin1String("--v3") && args.size() > 2) {
        AgentProperties v3;
        v3.version = AgentVersion::V3;
        v3.userName = args[1];
        v3.context = args[2];
        v3.level = SecurityLevel::AuthPriv;
        v3.auth = AuthProtocol::SHA256;
        v3.priv = PrivProtocol::AES256;
        g_v3 = v3;
        args.remove(0, 3);
    }
    if (args.value(0) == QLatin1String("--mib-values")) {
        g_mibValues = true;
        args.removeFirst();
    }
    if (args.isEmpty())
        return usage();
    const QString mode = args.front();

    if (mode == QLatin1String("--mibload")) {
        QCoreApplication app(argc, argv);
        return mibLoad();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    if (mode == QLatin1String("--startup-child"))
        return startupChild();
    if (mode == QLatin1String("--startup-runs") && args.size() == 2)
        return startupRuns(args[1].toInt());

    configureMibs();
    if (mode == QLatin1String("--walk") && args.size() == 4)
        return walkMode(args[1], args[2], args[3].toLongLong());
    if (mode == QLatin1String("--get") && args.size() == 3)
        return getMode(args[1], args[2]);
    if (mode == QLatin1String("--wait") && args.size() == 4)
        return waitMode(args[1], args[2], args[3].toLongLong());
    if ((mode == QLatin1String("--engine") || mode == QLatin1String("--engine-events")) && args.size() == 4)
        return engineMode(args[1], args[2], args[3].toLongLong(), mode == QLatin1String("--engine-events"));
    if (mode == QLatin1String("--tables") && args.size() == 4)
        return tablesMode(args[1], args[2], args[3].toLongLong());
    if (mode == QLatin1String("--scale") && args.size() == 5)
        return scaleMode(args[1], args[2], args[3].toLongLong(), args[4]);
    if (mode == QLatin1String("--mibsave") && args.size() == 5)
        return mibSaveMode(args[1], args[2], args[3].toLongLong(), args[4]);
    if (mode == QLatin1String("--recordings") && args.size() == 5)
        return recordingsMode(args[1], args[2], args[3].toLongLong(), args[4]);
    return usage();
}
