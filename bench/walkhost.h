// SPDX-License-Identifier: MIT
#pragma once

// The window's side of the query run for the benchmarks that walk without the
// window: fixed inputs (community "tarnel", Walk), nothing shown, and events
// processed after every row and during every request's wait, as the window
// does, or not at all. Subclasses keep the rows.

#include "engine/queryrun.h"
#include "tests/support/fakehistory.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

class WalkHost : public QueryHost
{
public:
    WalkHost(const QString &agent, const QString &oid, bool processEvents)
        : m_agent({}, agent), m_community({}, QStringLiteral("tarnel")), m_oid({}, oid), m_processEvents(processEvents)
    {
    }

    SnmpVersion version = SnmpVersion::V1;

    bool isIdle() const override { return m_idle; }
    void setIdle(bool idle) override { m_idle = idle; }
    void refreshCommands() override {}
    void setAutoHint(bool) override {}
    void setSimpleStatus(const QString &) override {}
    void pushBusyCursor() override {}
    void popCursor() override {}
    void processEvents() override
    {
        if (m_processEvents)
            QCoreApplication::processEvents();
    }
    RequestWait requestWait() const override
    {
        return m_processEvents ? RequestWait::ProcessEvents : RequestWait::Blocking;
    }
    QString agentText() const override { return m_agent.currentText(); }
    QString communityText() const override { return m_community.currentText(); }
    QString oidText() const override { return m_oid.currentText(); }
    Operation operation() const override { return Operation::Walk; }
    int timeOut() const override { return 1000; }
    int retries() const override { return 1; }
    SnmpVersion snmpVersion() const override { return version; }
    HistoryList &agentHistory() override { return m_agent; }
    HistoryList &communityHistory() override { return m_community; }
    HistoryList &oidHistory() override { return m_oid; }

private:
    bool m_idle = true;
    FakeHistory m_agent;
    FakeHistory m_community;
    FakeHistory m_oid;
    bool m_processEvents;
};

// Runs the query; false, with the failure printed, when it raised.
inline bool runWalk(QueryHost &host)
{
    try {
        runQuery(host);
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "the walk failed: %s\n", failure.what());
        return false;
    }
    return true;
}
