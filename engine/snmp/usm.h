// SPDX-License-Identifier: MIT
#pragma once

// SNMPv3's user-based security (USM) inside the manager service: a session's
// security settings, its keys, Net-SNMP's user cache and the engine ID
// discovery. Inside engine/snmp only: it names Net-SNMP's types.

#include "engine/snmp/agentsecurity.h"
#include "engine/snmp/requestwait.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct snmp_session;
struct snmp_pdu;
namespace berreader {
struct Response;
}

// For the manager service (engine/snmp/snmpmgr.cpp) only.
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

// For the notification receiver (engine/snmp/notificationsession.cpp).
// Our own engine: the stored ID when it is one (5 to 32 octets), else the
// one Net-SNMP made up at its start; snmpEngineBoots one more than stored.
// Its time counts from Net-SNMP's start.
struct LocalEngine
{
    std::string id;
    uint32_t boots = 0;
};
LocalEngine startLocalEngine(const std::string &storedId, uint32_t storedBoots);
// A user whose messages the receiver reads, its keys localised for the
// engine given (a sender's, or our own for informs). setUp() leaves these
// users in place. False when a protocol or key is refused.
bool addListeningUser(const AgentSecurity &security, const std::string &engineId);
void removeListeningUsers();

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
