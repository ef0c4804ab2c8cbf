// SPDX-License-Identifier: MIT
#pragma once

// A Set's work: its bindings in one SetRequest, the agent's answer as rows.

#include "common/secret.h"
#include "common/transport.h"
#include "engine/query/queryrun.h"
#include "engine/snmp/agentsecurity.h"
#include "engine/snmp/requestoptions.h"
#include "engine/snmp/snmprecords.h"

#include <QString>

#include <optional>

// What a Set goes with: the agent, its write credentials and the values.
struct SetRequest
{
    QString agent;
    // The write community, for SNMPv1 and SNMPv2c; never the read
    // community of the Community box unless the user gave it as this.
    Secret community;
    // The version (SNMPv1 or SNMPv2c), the timeout and the retries.
    TransportSettings transport;
    // With it the Set goes as this SNMPv3 user, at its level.
    std::optional<AgentSecurity> security;
    RequestWait wait = RequestWait::Blocking;
    SnmpVarBindList bindings; // names and the values to set, in the order sent
};

// Sends the bindings in one SetRequest and hands the answer's bindings to
// the sink as rows: what the agent now holds, as it answered. Throws AppError
// with the user's message: an error answer names its status, the binding it
// points at and what the status means; a timeout names a community or user
// without write access as the likely cause. Nothing is sent once the run is
// given up, and a Set given up while it waits ends quietly (Abandoned).
QueryEnd runSet(const SetRequest &request, QuerySink &sink, const RunControl &control);
