// SPDX-License-Identifier: MIT
// The Traps window of the real main window under a burst: it listens on a
// loopback port, the burst sender (tests/support/trapburst.cpp) sends COUNT
// SNMPv2c traps as fast as one Net-SNMP session sends them, and the window's
// event loop runs until every one is in the list or nothing more comes.
// Meanwhile a thread posts an event to the window whenever the previous one
// was handled, and a 10 ms timer measures its own lateness. Prints one line
// of key=value figures for bench/run.sh:
//
//   bench_trap_window TRAPBURST COUNT
#include "tests/support/loopbackudp.h"
#include "tests/support/windowfixture.h"
#include "ui/traps/trapfilter.h"
#include "ui/traps/traplistmodel.h"
#include "ui/traps/trapswindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The largest wait of a posted event, and of a 10 ms timer beyond its interval.
class Probe : public QObject
{
public:
    static constexpr QEvent::Type ProbeEvent = QEvent::Type(QEvent::User + 78);

    explicit Probe(QObject *target) : m_target(target)
    {
        target->installEventFilter(this);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = steadyNs();
            timerLateMs = std::max(timerLateMs, double(now - m_lastTick) / 1e6 - 10);
            m_lastTick = now;
        });
    }
    ~Probe() override { stop(); }

    void start()
    {
        m_lastTick = steadyNs();
        m_timer.start();
        m_running = true;
        m_poster = std::thread([this] {
            while (m_running) {
                if (!m_pending.exchange(true)) {
                    m_postedAt = steadyNs();
                    QCoreApplication::postEvent(m_target, new QEvent(ProbeEvent));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    void stop()
    {
        m_timer.stop();
        if (m_running.exchange(false))
            m_poster.join();
    }

    double eventDelayMs = 0;
    double timerLateMs = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != ProbeEvent)
            return QObject::eventFilter(watched, event);
        eventDelayMs = std::max(eventDelayMs, double(steadyNs() - m_postedAt.load()) / 1e6);
        m_pending = false;
        return true;
    }

private:
    QObject *m_target;
    QTimer m_timer;
    qint64 m_lastTick = 0;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_pending{false};
    std::atomic<qint64> m_postedAt{0};
    std::thread m_poster;
};

// Resident memory now, in MiB.
double residentMib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_trap_window TRAPBURST COUNT\n");
        return 2;
    }
    const QString burst = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    WindowFixture window;
    if (!window.start() || !window.trigger("actTraps"))
        return 1;
    TTrapsWindow *traps = window->trapsWindow();
    traps->portBox()->setValue(freeLoopbackPort());
    traps->listenButton()->click();
    if (!traps->isListening()) {
        std::fprintf(stderr, "bench_trap_window: cannot listen: %s\n", qPrintable(window.log.errors.join(u' ')));
        return 1;
    }
    TrapListModel &list = traps->notifications();
    const double rssBefore = residentMib();

    Probe probe(traps);
    QElapsedTimer clock;
    qint64 firstRowMs = -1;
    qint64 lastRowMs = -1;
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, &app, [&] {
        if (firstRowMs < 0)
            firstRowMs = clock.elapsed();
        lastRowMs = clock.elapsed();
    });
    QProcess sender;
    QObject::connect(&sender, &QProcess::finished, &app, [&] {
        // Whatever is still coming arrives within a second; then the figures stand.
        QTimer::singleShot(1000, &app, [&] {
            if (list.rowCount() < count)
                app.quit();
        });
    });
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, &app, [&] {
        if (list.rowCount() >= count)
            app.quit();
    });
    probe.start();
    clock.start();
    sender.start(burst, {QStringLiteral("127.0.0.1:%1").arg(traps->portBox()->value()), QString::number(count)});
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    app.exec();
    probe.stop();
    sender.waitForFinished(5000);
    const QByteArray sent = sender.readAllStandardOutput().trimmed();
    const ReceiverCounts counts = traps->receiver().counts();
    const double listMs = double(lastRowMs - firstRowMs);
    const double grownMib = residentMib() - rssBefore;
    // The filter over every notification kept: the first pass makes every
    // row's texts, a second finds them made.
    QElapsedTimer filterClock;
    filterClock.start();
    traps->shown().setText(QStringLiteral("ifIndex.%1=").arg(count));
    const qint64 filterMs = filterClock.restart();
    traps->shown().setText(QStringLiteral("ifIndex.%1=").arg(count - 1));
    const qint64 filterAgainMs = filterClock.elapsed();
    std::printf("traps count=%d listed=%d received=%llu lost=%llu list_ms=%.0f per_s=%.0f event_delay_ms=%.1f "
                "timer_late_ms=%.1f grown_mib=%.1f bytes_per_notification=%.0f filter_ms=%lld filter_again_ms=%lld %s\n",
                count, list.rowCount(), static_cast<unsigned long long>(counts.received),
                static_cast<unsigned long long>(counts.lost), listMs, listMs > 0 ? list.rowCount() * 1000.0 / listMs : 0.0,
                probe.eventDelayMs, probe.timerLateMs, grownMib, grownMib * 1048576 / std::max(1, list.rowCount()),
                filterMs, filterAgainMs, sent.constData());
    return list.rowCount() == count ? 0 : 1;
}
