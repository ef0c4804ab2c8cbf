// SPDX-License-Identifier: MIT
#pragma once

#include "common/history.h"
#include "common/operation.h"
#include "common/snmpversion.h"
#include "engine/requestwait.h"
#include "engine/rowrender.h"
#include "engine/usm.h"

#include <QString>

// What the query run needs of the main window.
class QueryHost
{
public:
    virtual ~QueryHost() = default;

    virtual bool isIdle() const = 0;
    virtual void setIdle(bool idle) = 0;
    virtual void refreshCommands() = 0;       // re-evaluate the enabling rules now
    virtual void setAutoHint(bool on) = 0;    // automatic hint display in the status bar
    virtual void setSimpleStatus(const QString &text) = 0; // simple panel with this text
    virtual void pushBusyCursor() = 0;        // remember the cursor, show the busy one
    virtual void popCursor() = 0;             // restore the remembered cursor
    virtual void processEvents() = 0;         // process pending window events once
    // How each request waits for its answer. A window keeps processing its
    // events meanwhile, or it would freeze for timeout x (retries + 1).
    virtual RequestWait requestWait() const { return RequestWait::Blocking; }
    // The run is given up: it sends nothing more, adds no row and raises no
    // message, and a request waiting for its answer ends at once. A new Run
    // or a Clear after Stop gives up the stopped run this way.
    virtual bool abandoned() const { return false; }
    // Only a request that is still waiting after its first few milliseconds
    // is given up, while events are processed: a close lets a walk between
    // rows add its one more row, yet never waits out an agent's timeouts.
    virtual bool waitAbandoned() const { return abandoned(); }

    virtual QString agentText() const = 0;
    virtual QString communityText() const = 0;
    virtual QString oidText() const = 0;
    virtual Operation operation() const = 0;
    virtual int timeOut() const = 0;
    virtual int retries() const = 0;
    virtual SnmpVersion snmpVersion() const = 0;
    // The agent's SNMPv3 settings, read once with the inputs: with them the
    // run speaks SNMPv3 and the community is not used. Null: the version above.
    virtual const AgentSecurity *agentSecurity() const { return nullptr; }
    // The version of the agent's own properties, else the one above.
    virtual SnmpVersion agentSnmpVersion() const { return snmpVersion(); }
    virtual HistoryList &agentHistory() = 0;
    virtual HistoryList &communityHistory() = 0;
    virtual HistoryList &oidHistory() = 0;

    virtual void appendRow(ResultRow &&row) = 0;
};

// Max-repetitions of the GetBulkRequests of an SNMPv2c walk. Fifty bindings
// of the longest names (128 sub-identifiers, some 650 octets) with values of
// some 600 octets still fit one UDP datagram (65,507 octets); fifty rows a
// round trip make a walk over a link of a millisecond or more dozens of times
// faster than GetNext. An agent that answers tooBig gets half as many asked.
inline constexpr int32_t BulkMaxRepetitions = 50;

// The Run command. Throws AppError with the user's message; the closing steps
// (idle, "Ready", hints on, cursor) have run by then. A run given up (see
// QueryHost::abandoned) returns without one.
void runQuery(QueryHost &host);
// The Stop command: sets the idle flag, then processes pending events.
void stopQuery(QueryHost &host);
