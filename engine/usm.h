// SPDX-License-Identifier: MIT
#pragma once

// SNMPv3's user-based security (USM) for the manager service: the session's
// security settings, its keys, Net-SNMP's user cache, the answers Net-SNMP
// decodes (only it can decrypt and authenticate them), and what a failure
// tells the user.

#include "common/agentproperties.h"
#include "common/secret.h"
#include "engine/requestwait.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct snmp_session;
struct snmp_pdu;
namespace berreader {
struct Response;
}

// One agent's SNMPv3 settings, passphrases included, as a session opens with them.
struct AgentSecurity
{
    std::string userName;
    SecurityLevel level = SecurityLevel::AuthPriv;
    AuthProtocol auth = AuthProtocol::SHA;
    PrivProtocol priv = PrivProtocol::AES;
    std::string context;
    Secret authPassphrase;
    Secret privPassphrase;

    AgentSecurity copy() const;
};

// USM's shortest passphrase (RFC 3414, 11.2); Net-SNMP refuses shorter ones.
inline constexpr size_t MinPassphraseLength = 8;

// The message for a passphrase the level uses that is too short, before
// anything is sent; empty when they fit.
std::string passphraseProblem(const AgentSecurity &security);

// What a failed SNMPv3 run tells the user: the message for the last-error
// code of a failed request, or for an error status. Empty when the code or
// status says nothing of SNMPv3, and the usual message applies.
std::string usmRequestFailure(uint32_t code, const AgentSecurity &security);
std::string usmStatusFailure(int32_t status, const AgentSecurity &security);

// A request at authPriv that timed out: an agent that drops what it cannot
// decrypt looks like a dead one. Quick probes with the same user tell them
// apart: authNoPriv (does it answer at all?), authPriv without the context,
// and the other AES key extension where it makes a difference. The message
// names what is wrong, or that the agent answers nothing at all. Abandoned
// when the check gives the wait up.
struct UsmDiagnosis
{
    std::string message;
    bool abandoned = false;
};
UsmDiagnosis diagnoseTimeout(const std::string &agent, const AgentSecurity &security, int timeoutMs,
                             RequestWait wait, const AbandonCheck &abandoned);

// For the manager service (engine/snmpmgr.cpp) only.
namespace usm {
// Sets the session up for SNMPv3 with the security's user, level, protocols,
// context and keys (Ku); false when a protocol or key is refused. Forgets
// the users of earlier sessions first: Net-SNMP keeps the first keys an
// (engine, user) pair was used with for as long as the process runs, so a
// corrected passphrase would still fail and a wrong one after a good one
// still work.
bool setUp(snmp_session &settings, const AgentSecurity &security);
// Overwrites the keys (Ku) held in session settings: those a session was
// opened from, and the session's own copy when it closes.
void wipeKeys(snmp_session &settings);
// The bindings of a response Net-SNMP has decoded, as the records hold them.
// False for a name or OID value longer than the records may hold.
bool readResponse(const snmp_pdu &pdu, berreader::Response &response);

// Net-SNMP discovers the agent's engine ID before a session's first request
// with a probe of its own, for which it blocks the thread. An open session
// leaves that to discoverEngine, which sends the same probe and waits for its
// report as for any request (the window's events processed, the abandon
// check asked), then localises the user's keys for the engine found:
// Answered, or how the wait ended.
void deferDiscovery(void *handle);
bool engineKnown(void *handle);
WaitOutcome discoverEngine(void *handle, RequestExchange &exchange, RequestWait wait, const AbandonCheck &abandoned);
} // namespace usm
