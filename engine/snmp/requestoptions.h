// SPDX-License-Identifier: MIT
#pragma once

// How a request waits for its answer, as its caller chooses.

#include <functional>

enum class RequestWait {
    Blocking,      // the thread sleeps in poll() until the answer or the last timeout
    ProcessEvents, // the thread's event loop runs meanwhile (the window keeps answering)
};

// Asked while a ProcessEvents wait handles events: true gives the request up.
using AbandonCheck = std::function<bool()>;
