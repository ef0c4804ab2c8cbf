// SPDX-License-Identifier: MIT
#pragma once

// The window's side of the query run for the benchmarks that walk without the
// window: fixed inputs (community "tarnel", Walk), nothing shown, and events
// processed after every row and during every request's wait, as the window
// does, or not at all. Subclasses keep the rows.

#include "engine/queryrun.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <exception>

// A box that shows a fixed text and keeps what the run records in its list.
class FixedHistory final : public HistoryList
{
public:
    explicit FixedHistory(QString text) : m_text(std::move(text)) {}
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

class WalkHost : public QueryHost
{
public:
    WalkHost(const QString &agent, const QString &oid, bool processEvents)
        : m_agent(agent), m_community(QStringLiteral("tarnel")), m_oid(oid), m_processEvents(processEvents)
    {
    }

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
    HistoryList &agentHistory() override { return m_agent; }
    HistoryList &communityHistory() override { return m_community; }
    HistoryList &oidHistory() override { return m_oid; }

private:
    bool m_idle = true;
    FixedHistory m_agent;
    FixedHistory m_community;
    FixedHistory m_oid;
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
