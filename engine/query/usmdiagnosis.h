// SPDX-License-Identifier: MIT
#pragma once

// What a failed SNMPv3 run tells the user, worked out from the manager
// service's answers: the message for a last-error code or an error status,
// and the probes that tell a wrong privacy setting from a dead agent.

#include "engine/snmp/agentsecurity.h"
#include "engine/snmp/requestoptions.h"

#include <cstdint>
#include <string>

// The message for the last-error code of a failed request, or for an error
// status. Empty when the code or status says nothing of SNMPv3, and the
// usual message applies.
std::string usmRequestFailure(uint32_t code, const AgentSecurity &security);
std::string usmStatusFailure(int32_t status, const AgentSecurity &security);

// A request that timed out: an agent that drops what it cannot decrypt, or
// a request in a context it does not serve, looks like a dead one. Quick
// probes with the same user tell them apart: without the context (and at
// authPriv without privacy: does it answer at all?), then at authPriv
// without the context and with the other AES key extension where it makes a
// difference. The message names what is wrong, or that the agent answers
// nothing at all. Abandoned when the check gives the wait up.
struct UsmDiagnosis
{
    std::string message;
    bool abandoned = false;
};
UsmDiagnosis diagnoseTimeout(const std::string &agent, const AgentSecurity &security, int timeoutMs,
                             RequestWait wait, const AbandonCheck &abandoned);
