// SPDX-License-Identifier: MIT
#pragma once

// Sending one request on a Net-SNMP single session and waiting for its
// answer, through retries and their timeouts, as snmp_sess_synch_response
// does, but with a choice of how the thread waits.

struct snmp_pdu;

enum class RequestWait {
    Blocking,      // the thread sleeps in select() until the answer or the last timeout
    ProcessEvents, // the thread's event loop runs meanwhile (the window keeps answering)
};

// Takes the request on every path. Returns STAT_SUCCESS with the response
// (the caller frees it), STAT_TIMEOUT once the retries are spent, or
// STAT_ERROR with the session's s_snmp_errno saying why. ProcessEvents needs
// a QCoreApplication; without one the wait blocks.
//
// Nothing of Net-SNMP is on the stack while events are processed, so a
// handler run meanwhile may use Net-SNMP, other sessions included.
int sendAndWait(void *session, snmp_pdu *request, snmp_pdu **response, RequestWait wait);
