// SPDX-License-Identifier: MIT
// One Walk of a whole snmpd (OID text "all") through the query run, beside
// snmpwalk -v1 of the same agent in the same run. Prints rows and seconds.
// --v2c walks over SNMPv2c (GetBulk) instead.
#include "bench/walkhost.h"
#include "tests/support/snmpdagent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <cstdio>

#include <sys/resource.h>

namespace {

// Keeps the rows as the window's list would and processes events after each.
class BenchHost final : public WalkHost
{
public:
    explicit BenchHost(const QString &agent) : WalkHost(agent, QStringLiteral("all"), true) {}

    std::vector<ResultRow> rows;

    void appendRow(ResultRow &&row) override { rows.push_back(std::move(row)); }
};

// User and system time of this process so far (snmpd and snmpwalk are children: not counted).
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("NORVANE_MIBDIR"))
        qputenv("NORVANE_MIBDIR", NORVANE_BUILD_MIBDIR);

    SnmpdAgent agent;
    if (!agent.start()) {
        std::fprintf(stderr, "snmpd did not start\n%s\n", qPrintable(agent.log()));
        return 1;
    }

    BenchHost host(agent.address());
    if (QCoreApplication::arguments().contains(QStringLiteral("--v2c")))
        host.version = SnmpVersion::V2c;
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    if (!host.run())
        return 1;
    const double ourSeconds = clock.nsecsElapsed() / 1e9;
    const double ourCpu = cpuSeconds() - cpuBefore;

    QProcess snmpwalk;
    clock.restart();
    snmpwalk.start(QStringLiteral("snmpwalk"), {QStringLiteral("-v1"), QStringLiteral("-c"), QStringLiteral("tarnel"),
                                                agent.address(), QStringLiteral(".1")});
    snmpwalk.waitForFinished(-1);
    const double theirSeconds = clock.nsecsElapsed() / 1e9;
    const QByteArray output = snmpwalk.readAllStandardOutput();
    // Values with line breaks continue on further lines; count the lines that start a binding.
    qsizetype theirRows = 0;
    for (const QByteArray &line : output.split('\n')) {
        if (line.contains(" = "))
            ++theirRows;
    }

    std::printf("runQuery Walk \"all\": %zu rows in %.3f s (%.1f us/row; CPU %.2f us/row)\n", host.rows.size(),
                ourSeconds, host.rows.empty() ? 0.0 : ourSeconds * 1e6 / double(host.rows.size()),
                host.rows.empty() ? 0.0 : ourCpu * 1e6 / double(host.rows.size()));
    std::printf("snmpwalk -v1 .1:     %lld rows in %.3f s (%.1f us/row)\n", static_cast<long long>(theirRows),
                theirSeconds, theirRows ? theirSeconds * 1e6 / double(theirRows) : 0.0);
    return 0;
}
