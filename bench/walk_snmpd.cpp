// SPDX-License-Identifier: MIT
// One Walk of a whole snmpd (OID text "all") through the query run, beside
// snmpwalk -v1 of the same agent in the same run. Prints rows and seconds.
#include "queryrun.h"
#include "snmpdagent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <cstdio>

namespace {

class NullHistory : public HistoryList
{
public:
    explicit NullHistory(QString text) : m_text(std::move(text)) {}
    QString currentText() const override { return m_text; }
    int count() const override { return int(m_items.size()); }
    QString item(int index) const override { return m_items.at(index); }
    void moveItem(int from, int to) override { m_items.move(from, to); }
    void insertItem(int index, const QString &text) override { m_items.insert(index, text); }
    void removeItem(int index) override { m_items.removeAt(index); }
    void selectItem(int index) override { m_text = m_items.at(index); }

private:
    QString m_text;
    QStringList m_items;
};

// Keeps the rows as the window's list would and processes events after each.
class BenchHost : public QueryHost
{
public:
    BenchHost(const QString &agent) : m_agent(agent), m_community(QStringLiteral("tarnel")), m_oids(QStringLiteral("all")) {}

    std::vector<ResultRow> rows;

    bool isIdle() const override { return m_idle; }
    void setIdle(bool idle) override { m_idle = idle; }
    void refreshCommands() override {}
    void setAutoHint(bool) override {}
    void setSimpleStatus(const QString &) override {}
    void pushBusyCursor() override {}
    void popCursor() override {}
    void processEvents() override { QCoreApplication::processEvents(); }
    QString agentText() const override { return m_agent.currentText(); }
    QString communityText() const override { return m_community.currentText(); }
    QString oidText() const override { return m_oids.currentText(); }
    int operation() const override { return OpWalk; }
    int timeOut() const override { return 1000; }
    int retries() const override { return 1; }
    HistoryList &agentHistory() override { return m_agent; }
    HistoryList &communityHistory() override { return m_community; }
    HistoryList &oidHistory() override { return m_oids; }
    void appendRow(ResultRow &&row) override { rows.push_back(std::move(row)); }

private:
    bool m_idle = true;
    NullHistory m_agent;
    NullHistory m_community;
    NullHistory m_oids;
};

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
    QElapsedTimer clock;
    clock.start();
    try {
        runQuery(host);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "walk failed: %s\n", error.what());
        return 1;
    }
    const double ourSeconds = clock.nsecsElapsed() / 1e9;

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

    std::printf("runQuery Walk \"all\": %zu rows in %.3f s (%.1f us/row)\n", host.rows.size(), ourSeconds,
                host.rows.empty() ? 0.0 : ourSeconds * 1e6 / double(host.rows.size()));
    std::printf("snmpwalk -v1 .1:     %lld rows in %.3f s (%.1f us/row)\n", static_cast<long long>(theirRows),
                theirSeconds, theirRows ? theirSeconds * 1e6 / double(theirRows) : 0.0);
    return 0;
}
