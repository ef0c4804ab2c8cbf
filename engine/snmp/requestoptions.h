// SPDX-License-Identifier: MIT
#pragma once

// How a request waits for its answer, as its caller chooses.

#include <functional>

enum class RequestWait {
    Blocking,      // the thread sleeps in poll() until the answer or the last timeout
    ProcessEvents, // the thread's event loop runs meanwhile (the window keeps answering)
    // Nothing waits: the caller's event loop watches the session's socket and
    // calls SnmpMgrService (engine/snmp/asyncrequest.h does). Only SnmpMgrSend
    // takes it; a request posted so never nests a wait inside another.
    Detached,
};

// Asked while a ProcessEvents wait handles events: true gives the request up.
using AbandonCheck = std::function<bool()>;
