// SPDX-License-Identifier: MIT
#pragma once

// The SNMP manager service: the sessions and requests of the platform's SNMP
// Management API, with Net-SNMP doing the work behind them. The records and
// the error codes have headers of their own; OID text and names need the
// MIBs and live in engine/mib.

#include "common/snmpversion.h"
#include "engine/snmp/requestoptions.h"
#include "engine/snmp/snmperrors.h"
#include "engine/snmp/snmprecords.h"

#include <cstdint>
#include <memory>
#include <string>

struct SnmpMgrSessionData;
using LPSNMP_MGR_SESSION = SnmpMgrSessionData *;

// The last-error code of the failed call on this thread (0 when none).
uint32_t SnmpMgrGetLastError();

// Last-error codes: engine/snmp/snmperrors.h.

// Null on failure, with SnmpMgrGetLastError() describing it. The session
// sends and accepts messages of the given version only.
LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const std::string &community, int timeoutMs,
                               int retries, SnmpVersion version = SnmpVersion::V1);
// An SNMPv3 session (engine/snmp/usm.cpp). Its first request discovers the agent's
// engine ID first, one more round trip waited for as the request waits (no
// answer: Timeout). Requests work as on an SNMPv2c session, GetBulk included.
struct AgentSecurity;
LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const AgentSecurity &security, int timeoutMs,
                               int retries);
// Non-zero on success; the list is overwritten with the response. A Get or
// GetNext asks for the list's names (whatever values it holds); a Set sends
// its values, which Net-SNMP encodes by their tags. The wait
// for the answer blocks the thread unless the caller asks for its events to
// be processed meanwhile; then the abandon check may give the request up
// (Abandoned). The answer holds a binding for each one asked for, except that
// an answer with a non-zero error status is taken with whatever bindings it
// has (tooBig comes without any, some SNMPv1 agents send none with any error).
int SnmpMgrRequest(LPSNMP_MGR_SESSION session, uint8_t requestType, SnmpVarBindList *list,
                   int32_t *errorStatus, int32_t *errorIndex, RequestWait wait = RequestWait::Blocking,
                   const AbandonCheck &abandoned = {});
// A GetBulkRequest with non-repeaters 0, on SNMPv2c and SNMPv3 sessions only: the list
// holds the names to go on from and is overwritten with the answer's
// bindings, at least one (an error answer: whatever it has). An agent may
// send more than maxRepetitions for each name; they are the manager's to
// use, as RFC 3416 has it, and are kept.
int SnmpMgrBulkRequest(LPSNMP_MGR_SESSION session, int32_t maxRepetitions, SnmpVarBindList *list,
                       int32_t *errorStatus, int32_t *errorIndex, RequestWait wait = RequestWait::Blocking,
                       const AbandonCheck &abandoned = {});
// A Get, GetNext or Set in two steps, so that the caller works while the agent
// answers: SnmpMgrSend posts it (0 only for what SnmpMgrRequest refuses
// before sending, or a request already posted), SnmpMgrAwait waits for it and
// takes the answer into the list as SnmpMgrRequest does, failing as it would
// (a request that could not go out fails here). A session closed with a
// request posted drops it.
int SnmpMgrSend(LPSNMP_MGR_SESSION session, uint8_t requestType, const SnmpVarBindList *list,
                RequestWait wait = RequestWait::Blocking, const AbandonCheck &abandoned = {});
int SnmpMgrAwait(LPSNMP_MGR_SESSION session, SnmpVarBindList *list, int32_t *errorStatus, int32_t *errorIndex,
                 RequestWait wait = RequestWait::Blocking, const AbandonCheck &abandoned = {});
// The GetBulkRequest's first step, as SnmpMgrSend is SnmpMgrRequest's; SnmpMgrAwait takes its answer.
int SnmpMgrBulkSend(LPSNMP_MGR_SESSION session, int32_t maxRepetitions, const SnmpVarBindList *list,
                    RequestWait wait = RequestWait::Blocking, const AbandonCheck &abandoned = {});
// For a request posted with RequestWait::Detached, whose wait the caller's
// event loop does (engine/snmp/asyncrequest.h): the socket to watch (-1 for
// none), and a step of the wait, called when the socket is readable and when
// the milliseconds the last step returned have passed. -1 once the request
// has ended; SnmpMgrAwait then takes its answer without waiting.
int SnmpMgrSocket(LPSNMP_MGR_SESSION session);
int SnmpMgrService(LPSNMP_MGR_SESSION session, bool readable);
int SnmpMgrClose(LPSNMP_MGR_SESSION session);
// Sessions opened and not yet closed in this process; tests check it returns to 0.
int SnmpMgrOpenSessionCount();

struct SnmpMgrSessionCloser
{
    void operator()(SnmpMgrSessionData *s) const { SnmpMgrClose(s); }
};
using SnmpMgrSession = std::unique_ptr<SnmpMgrSessionData, SnmpMgrSessionCloser>;
