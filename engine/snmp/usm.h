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
// context and keys (Ku); false when a protocol or key is refused.
bool setUp(snmp_session &settings, const AgentSecurity &security);
// Overwrites the keys (Ku) held in session settings: those a session was
// opened from.
void wipeKeys(snmp_session &settings);
// A session about to close: its own keys overwritten, and its user taken
// out of Net-SNMP's list with the localised keys (Kul) it keeps there, which
// would otherwise stay until the next SNMPv3 session is set up.
void closing(snmp_session &state);

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
//
// Net-SNMP keeps one user entry per (engine, user name) for the whole
// process, and the messages of every session with that user go by it. The
// entry is made afresh from each session's own keys once its engine is
// found, so that a corrected passphrase works and a wrong one after a good
// one fails; the entries of other users stay, and with them the sessions
// that live beside this one (the Watch window's beside a run's).
void deferDiscovery(void *handle);
bool engineKnown(void *handle);
WaitOutcome discoverEngine(void *handle, RequestExchange &exchange, RequestWait wait, const AbandonCheck &abandoned);
// The same in two steps, for a caller that waits in its own event loop: the
// probe to send (null when it cannot be made), then, once it has ended as
// `probed`, the engine found and the user's entry made.
PduPtr engineProbe(void *handle);
WaitOutcome engineFound(void *handle, RequestExchange &exchange, WaitOutcome probed);
} // namespace usm
