// SPDX-License-Identifier: MIT
#pragma once

#include "common/snmpversion.h"

// How every session of a run talks to its agent: program-wide, edited in the
// Options dialog, stored with the settings. Values are taken as stored, with
// no range check.
struct TransportSettings
{
    int timeOut = 1000; // milliseconds
    int retries = 1;
    SnmpVersion version = SnmpVersion::V1;

    friend bool operator==(const TransportSettings &, const TransportSettings &) = default;
};
