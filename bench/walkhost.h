// SPDX-License-Identifier: MIT
#pragma once

// The query run for the benchmarks that walk without the window: fixed inputs
// (community "tarnel", Walk), nothing shown, and events processed after every
// row and during every request's wait, as the window does, or not at all.
// Subclasses keep the rows.

#include "engine/query/queryrun.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

class WalkHost : public QuerySink
{
public:
    WalkHost(const QString &agent, const QString &oid, bool processEvents)
        : m_request{Operation::Walk, agent, QStringLiteral("tarnel"), oid, {1000, 1, SnmpVersion::V1},
                    processEvents ? RequestWait::ProcessEvents : RequestWait::Blocking, {}},
          m_processEvents(processEvents)
    {
    }

    SnmpVersion version = SnmpVersion::V1;

    void inputsAccepted() override {}
    void betweenRows() override
    {
        if (m_processEvents)
            QCoreApplication::processEvents();
    }

    // Runs the walk; false, with the failure printed, when it raised.
    bool run()
    {
        m_request.transport.version = version;
        try {
            runQuery(m_request, *this, m_control);
        } catch (const std::exception &failure) {
            std::fprintf(stderr, "the walk failed: %s\n", failure.what());
            return false;
        }
        return true;
    }

private:
    QueryRequest m_request;
    RunControl m_control;
    bool m_processEvents;
};
