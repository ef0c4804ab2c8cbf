// SPDX-License-Identifier: MIT
#pragma once

// The query run as the window drives it, without a window: the three boxes'
// texts and their history lists, the transport settings, the rows the run
// adds and the event processing between them (where a test stops the run).

#include "common/apperror.h"
#include "engine/query/historyrule.h"
#include "engine/query/queryrun.h"
#include "engine/snmp/agentsecurity.h"
#include "tests/support/fakehistory.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class FakeHost : public QuerySink
{
public:
    Operation op = Operation::Get;
    TransportSettings transport{1000, 0, SnmpVersion::V1};
    RequestWait wait = RequestWait::Blocking;
    RunControl control;
    std::optional<QueryEnd> end; // how the last run ended, when it raised nothing
    std::optional<AgentSecurity> security; // SNMPv3 when set

    int processCount = 0;
    std::vector<ResultRow> rows;
    std::vector<ResultRow> companions; // fetched to read the rows by

    FakeHistory agents;
    FakeHistory communities;
    FakeHistory oidList;

    // Called with the number of each event processing (1-based): the window's
    // before the run starts, then the run's after every row of a walk.
    std::function<void(FakeHost &, int)> onProcessEvents;

    void inputsAccepted() override
    {
        recordHistory(agents);
        recordHistory(communities);
        recordHistory(oidList);
    }
    void appendRow(ResultRow &&row) override { rows.push_back(std::move(row)); }
    void companionRow(ResultRow &&row) override { companions.push_back(std::move(row)); }
    void betweenRows() override
    {
        ++processCount;
        if (onProcessEvents)
            onProcessEvents(*this, processCount);
    }

    void setInputs(const QString &agentText, const QString &communityText, const QString &oidText, Operation operation)
    {
        agents.text = agentText;
        communities.text = communityText;
        oidList.text = oidText;
        op = operation;
    }
    // What the window's Stop tells the run.
    void stop() { control.stopped = true; }
    // As the window starts a run: its events processed once (a Stop there
    // ends a walk after its first row), then the request read from the boxes.
    QueryEnd start()
    {
        control = RunControl();
        end.reset();
        betweenRows();
        QueryRequest request{op, agents.text, communities.text, oidList.text, transport, wait, {}};
        if (security)
            request.security = security->copy();
        end = runQuery(request, *this, control);
        return *end;
    }
};

// The message the run raised, or a null text when it raised nothing.
inline QString run(FakeHost &host)
{
    try {
        host.start();
    } catch (const AppError &error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

inline QStringList rowOids(const std::vector<ResultRow> &rows)
{
    QStringList oids;
    for (const ResultRow &row : rows)
        oids.append(QString::fromStdString(row.oid));
    return oids;
}

inline QStringList rowOids(const FakeHost &host)
{
    return rowOids(host.rows);
}
