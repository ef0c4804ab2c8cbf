// SPDX-License-Identifier: MIT
// The MIB Tree window under the clock, on a loaded set grown to the size of
// a full RFC and vendor set: a generated module of NODES objects with
// descriptions of some forty words, in a private user MIB folder, beside the
// modules Norvane loads anyway. Prints one line of key=value figures.
//
//   bench_mib_tree [NODES]          MIBs loaded first, then the window opened, reopened, searched
//   bench_mib_tree --cold [NODES]   the window opened first: MIB loading and the tree taken inside
#include "engine/mib/mibsetup.h"
#include "engine/mib/mibtree.h"
#include "engine/mib/oidtext.h"
#include "engine/snmp/snmpmgr.h"
#include "tests/support/windowfixture.h"
#include "ui/mibtree/mibtreewindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// A fixed list: names, parts of names, MODULE::names, OIDs from the root and
// partial, words of descriptions (rare, common, everywhere).
const char *const Queries[] = {
    "sysDescr", "ifOperStatus", "ifoper", "IF-MIB::ifIn", "benchGroup120Object7", "object7",
    ".1.3.6.1.2.1.2.2.1.8", "2.2.1.8", ".1.3.6.1.4.1.99998.120", "99998.3.4", "operational state",
    "temperature sensor threshold", "frobnicated", "the", "a", "packets discarded interface",
};

const char *const Words[] = {
    "the", "number", "of", "packets", "received", "on", "interface", "counter", "value", "this", "object",
    "table", "entry", "index", "status", "operational", "administrative", "state", "octets", "discarded",
    "errors", "transmitted", "protocol", "address", "agent", "device", "port", "when", "is", "a", "an", "in",
    "for", "which", "has", "been", "since", "last", "reinitialization", "management", "system", "time",
    "seconds", "current", "configured", "maximum", "minimum", "average", "rate", "bytes", "frames", "queue",
    "length", "buffer", "memory", "temperature", "sensor", "fan", "power", "supply", "voltage", "threshold",
    "alarm", "event",
};

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double msSinceStart(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// NODES objects in groups of 100 under enterprises.99998, each described.
bool writeBenchMib(const QString &folder, int nodes)
{
    if (!QDir().mkpath(folder))
        return false;
    QFile file(folder + QStringLiteral("/NORVANE-BENCH-MIB.mib"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray out = "NORVANE-BENCH-MIB DEFINITIONS ::= BEGIN\n"
                     "IMPORTS OBJECT-TYPE, Integer32, enterprises FROM SNMPv2-SMI;\n"
                     "benchRoot OBJECT IDENTIFIER ::= { enterprises 99998 }\n";
    uint32_t seed = 12345;
    for (int group = 0; group * 100 < nodes; ++group) {
        out += "benchGroup" + QByteArray::number(group) + " OBJECT IDENTIFIER ::= { benchRoot " + QByteArray::number(group)
            + " }\n";
        for (int object = 0; object < 100 && group * 100 + object < nodes; ++object) {
            QByteArray description;
            for (int word = 0; word < 40; ++word) {
                seed = seed * 1103515245u + 12345u;
                description += (word ? " " : "") + QByteArray(Words[(seed >> 16) % std::size(Words)]);
            }
            out += "benchGroup" + QByteArray::number(group) + "Object" + QByteArray::number(object)
                + " OBJECT-TYPE\n  SYNTAX Integer32\n  MAX-ACCESS read-only\n  STATUS current\n  DESCRIPTION \""
                + description + ".\"\n  ::= { benchGroup" + QByteArray::number(group) + " " + QByteArray::number(object)
                + " }\n";
        }
    }
    out += "END\n";
    return file.write(out) == out.size();
}

// From the command to the window shown, painted and the event loop idle.
double openMs(WindowFixture &window, double *cpu)
{
    QEventLoop loop;
    QElapsedTimer clock;
    double ms = -1;
    const QMetaObject::Connection idle =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
            TMibTreeWindow *tree = window->mibTreeWindow();
            if (ms < 0 && tree && tree->windowHandle() && tree->windowHandle()->isExposed()) {
                ms = msSinceStart(clock);
                loop.quit();
            }
        });
    QTimer::singleShot(0, &loop, [&] { window.trigger("actMibTree"); });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    const double cpuBefore = processCpuMs();
    clock.start();
    loop.exec();
    QObject::disconnect(idle);
    *cpu = processCpuMs() - cpuBefore;
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    const bool cold = args.value(0) == QLatin1String("--cold");
    const int nodes = args.value(cold ? 1 : 0, QStringLiteral("34000")).toInt();

    // A private user MIB folder, holding the generated module alone.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    if (!data.isValid() || !writeBenchMib(data.path() + QStringLiteral("/norvane/mibs"), nodes)) {
        std::fprintf(stderr, "cannot write the generated module\n");
        return 1;
    }
    // As the program does: the MIB folder beside bin/.
    SnmpMgrConfigure({QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/norvane/mibs"))
                          .toStdString()});

    WindowFixture window;
    if (!window.start()) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    double cpu = 0;
    if (cold) {
        const double ms = openMs(window, &cpu);
        std::printf("mibtree cold nodes=%d open_ms=%.1f open_cpu_ms=%.1f\n", MibTree::current()->nodeCount(), ms, cpu);
        return ms < 0;
    }

    // The MIB loading a first name conversion does, then the tree taken of it.
    QElapsedTimer clock;
    clock.start();
    double cpuBefore = processCpuMs();
    AsnObjectIdentifier id;
    SnmpMgrStrToOid("sysDescr.0", &id);
    const double loadMs = msSinceStart(clock);
    const double loadCpu = processCpuMs() - cpuBefore;
    clock.restart();
    cpuBefore = processCpuMs();
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    const double treeMs = msSinceStart(clock);
    const double treeCpu = processCpuMs() - cpuBefore;
    const double openFirst = openMs(window, &cpu);
    window->mibTreeWindow()->close();
    double reopenCpu = 0;
    const double reopen = openMs(window, &reopenCpu);

    // Each query five times: its median, wall and CPU, through the window
    // (search, results list, first result's definition, painted) and in the engine alone.
    QLineEdit *search = window->mibTreeWindow()->searchBox();
    std::vector<double> windowMs, windowCpu, engineMs;
    const char *worst = "";
    for (const char *query : Queries) {
        std::vector<double> runs, cpus, engine;
        for (int run = 0; run < 5; ++run) {
            search->clear();
            QCoreApplication::processEvents();
            const double cpu0 = processCpuMs();
            clock.restart();
            search->setText(QString::fromLatin1(query));
            QCoreApplication::processEvents();
            runs.push_back(msSinceStart(clock));
            cpus.push_back(processCpuMs() - cpu0);
            clock.restart();
            const size_t found = tree->search(query).size();
            engine.push_back(msSinceStart(clock) + double(found == size_t(-1)));
        }
        if (windowMs.empty() || median(runs) > *std::max_element(windowMs.begin(), windowMs.end()))
            worst = query;
        windowMs.push_back(median(runs));
        windowCpu.push_back(median(cpus));
        engineMs.push_back(median(engine));
    }
    std::printf("mibtree nodes=%d load_ms=%.1f load_cpu_ms=%.1f tree_ms=%.1f tree_cpu_ms=%.1f open_ms=%.1f open_cpu_ms=%.1f reopen_ms=%.1f "
                "reopen_cpu_ms=%.1f search_median_ms=%.2f search_worst_ms=%.2f search_worst_cpu_ms=%.2f "
                "search_worst_query=%s engine_median_ms=%.2f engine_worst_ms=%.2f queries=%zu\n",
                tree->nodeCount(), loadMs, loadCpu, treeMs, treeCpu, openFirst, cpu, reopen, reopenCpu, median(windowMs),
                *std::max_element(windowMs.begin(), windowMs.end()), *std::max_element(windowCpu.begin(), windowCpu.end()),
                QByteArray(worst).replace(' ', '_').constData(), median(engineMs),
                *std::max_element(engineMs.begin(), engineMs.end()), std::size(Queries));
    return 0;
}
