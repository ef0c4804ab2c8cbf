// SPDX-License-Identifier: MIT
#pragma once

// A stand-in for the main window: records what the query run does to it.
// Below it, the run as the tests call it and the rows it brought.

#include "common/apperror.h"
#include "engine/queryrun.h"
#include "tests/support/fakehistory.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class FakeHost : public QueryHost
{
public:
    // Inputs: the box texts live in the histories, as in the window.
    Operation op = Operation::Get;
    int timeout = 1000;
    int retryCount = 0;
    SnmpVersion version = SnmpVersion::V1;
    std::optional<AgentSecurity> security; // SNMPv3 when set

    // What the run did
    bool idle = true;
    bool autoHint = true;
    QString status = QStringLiteral("Ready");
    int cursorDepth = 0;
    int refreshCount = 0;
    int processCount = 0;
    std::vector<ResultRow> rows;
    QStringList statusLog;
    std::vector<bool> idleLog; // the idle flag at every refreshCommands()

    FakeHistory agents;
    FakeHistory communities;
    FakeHistory oidList;

    // Called from processEvents() with the number of that call (1-based),
    // as the window's event loop would run a Stop or another command.
    std::function<void(FakeHost &, int)> onProcessEvents;

    bool isIdle() const override { return idle; }
    void setIdle(bool value) override { idle = value; }
    void refreshCommands() override
    {
        ++refreshCount;
        idleLog.push_back(idle);
    }
    void setAutoHint(bool on) override { autoHint = on; }
    void setSimpleStatus(const QString &text) override
    {
        status = text;
        statusLog.append(text);
    }
    void pushBusyCursor() override { ++cursorDepth; }
    void popCursor() override { --cursorDepth; }
    void processEvents() override
    {
        ++processCount;
        if (onProcessEvents)
            onProcessEvents(*this, processCount);
    }

    QString agentText() const override { return agents.text; }
    QString communityText() const override { return communities.text; }
    QString oidText() const override { return oidList.text; }
    Operation operation() const override { return op; }
    int timeOut() const override { return timeout; }
    int retries() const override { return retryCount; }
    SnmpVersion snmpVersion() const override { return version; }
    const AgentSecurity *agentSecurity() const override { return security ? &*security : nullptr; }
    HistoryList &agentHistory() override { return agents; }
    HistoryList &communityHistory() override { return communities; }
    HistoryList &oidHistory() override { return oidList; }

    void appendRow(ResultRow &&row) override { rows.push_back(std::move(row)); }

    void setInputs(const QString &agentText, const QString &communityText, const QString &oidText, Operation operation)
    {
        agents.text = agentText;
        communities.text = communityText;
        oidList.text = oidText;
        op = operation;
    }

    // The closing steps have all run.
    bool closedCleanly() const { return idle && autoHint && status == QLatin1String("Ready") && cursorDepth == 0; }
};

// The message the run raised, or a null text when it raised nothing.
inline QString run(FakeHost &host)
{
    try {
        runQuery(host);
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
