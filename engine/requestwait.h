// SPDX-License-Identifier: MIT
#pragma once

// Sending one request on a Net-SNMP single session and waiting for its
// answer, through retries and their timeouts, as snmp_sess_synch_response
// does, but with a choice of how the thread waits and a way to give up.

#include <functional>

struct snmp_pdu;

enum class RequestWait {
    Blocking,      // the thread sleeps in poll() until the answer or the last timeout
    ProcessEvents, // the thread's event loop runs meanwhile (the window keeps answering)
};

// Asked while a ProcessEvents wait handles events: true gives the request up.
using AbandonCheck = std::function<bool()>;

// The request a session has outstanding. The session keeps it, not the wait:
// a request given up stays in Net-SNMP's list until the session closes, and
// Net-SNMP then reports it through the callback that points here.
struct PendingRequest
{
    long requestId = 0;
    bool waiting = false;
    int outcome = 0; // a WaitOutcome
};

enum class WaitOutcome {
    Answered,  // Net-SNMP took a response to the request
    TimedOut,  // no response within timeout x (retries + 1)
    SendFailed, // the request could not be sent, or the socket failed
    Closed,    // a stream transport's connection was closed or reset
    Abandoned, // the caller gave the request up
    Failed,    // anything else; the session's s_snmp_errno says why
};

// Takes the request on every path. ProcessEvents needs a QCoreApplication;
// without one the wait blocks. The abandon check is asked only after the
// first few milliseconds (most answers come within one), and only while
// events are processed.
//
// Nothing of Net-SNMP is on the stack while events are processed, so a
// handler run meanwhile may use Net-SNMP, other sessions included.
WaitOutcome sendAndWait(void *session, snmp_pdu *request, PendingRequest &pending, RequestWait wait,
                        const AbandonCheck &abandoned = {});
