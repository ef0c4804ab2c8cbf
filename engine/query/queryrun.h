// SPDX-License-Identifier: MIT
#pragma once

#include "common/operation.h"
#include "common/snmpversion.h"
#include "common/transport.h"
#include "engine/query/rowrender.h"
#include "engine/snmp/agentsecurity.h"
#include "engine/snmp/requestoptions.h"

#include <QString>

#include <optional>

// Everything a run needs, read once as it starts: the three boxes' texts as
// typed, the current operation, the transport settings and, for an agent
// that speaks SNMPv3, its security settings.
struct QueryRequest
{
    Operation operation = Operation::Get;
    QString agent;
    QString community;
    QString oids;
    TransportSettings transport;
    // How each request waits for its answer. A window keeps processing its
    // events meanwhile, or it would freeze for timeout x (retries + 1).
    RequestWait wait = RequestWait::Blocking;
    // With it the run speaks SNMPv3 as this user (the version in the
    // transport settings and the community are not used); without it the
    // version of the transport settings.
    std::optional<AgentSecurity> security;
};

// What the user changes while a run goes on, looked at by the run between
// rows and while a request waits.
struct RunControl
{
    // Stop: the walk ends after its next row (the row asked for before the
    // Stop is still shown).
    bool stopped = false;
    // Given up (a new Run or a Clear after Stop): nothing more is sent, no
    // row added, no message raised, and a request waiting ends at once.
    bool abandoned = false;
    // The window closes: a request still waiting after its first few
    // milliseconds is given up, but a walk between rows adds its one more row.
    bool closing = false;
};

// Where a run's results go, and where it hands the thread back.
class QuerySink
{
public:
    virtual ~QuerySink() = default;
    // The inputs converted: the three history lists record them now, before
    // any request (a request that fails later keeps them recorded).
    virtual void inputsAccepted() = 0;
    virtual void appendRow(ResultRow &&row) = 0;
    // A binding fetched only to read the run's rows by (the InetAddressType
    // of an InetAddress row whose own was not among them): no row of the
    // list. A sink that reads no value by another drops it.
    virtual void companionRow(ResultRow &&) {}
    // After each row of a walk: pending events are processed here (Stop and
    // the other commands reach the run this way).
    virtual void betweenRows() = 0;
};

// Max-repetitions of the GetBulkRequests of an SNMPv2c walk. Fifty bindings
// of the longest names (128 sub-identifiers, some 650 octets) with values of
// some 600 octets still fit one UDP datagram (65,507 octets); fifty rows a
// round trip make a walk over a link of a millisecond or more dozens of times
// faster than GetNext. An agent that answers tooBig gets half as many asked.
inline constexpr int32_t BulkMaxRepetitions = 50;

enum class QueryEnd {
    Completed, // the operation ran to its end
    // A walk that ended at its first answer without a row: nothing lies
    // under its OID (a scalar instance such as sysName.0, or a name the
    // agent lacks). The window says so; a walk adds no row of its own then.
    EmptySubtree,
    Stopped,   // a walk ended by Stop
    Abandoned, // given up (RunControl::abandoned or ::closing)
};

// The most InetAddressTypes a run fetches for its InetAddress rows, in one
// GetRequest after the operation; rows past them are read by their length.
inline constexpr size_t MaxCompanionFetch = BulkMaxRepetitions;

// The Run command's work: validates, opens the session, converts the OIDs,
// sends the request or walks, then fetches what its rows are read by. Throws AppError with the user's message (an
// SNMPv3 failure names the setting to fix); the caller shows it and restores
// its own visible state.
QueryEnd runQuery(const QueryRequest &request, QuerySink &sink, const RunControl &control);
