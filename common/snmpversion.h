// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The SNMP version every session speaks, a transport setting like the
// timeout. Stored as its number; any stored number other than 2 is SNMPv1.
// SNMPv3 is never stored with the timeout: an agent speaks it by its own
// properties (common/agentproperties.h).
enum class SnmpVersion : int32_t { V1 = 1, V2c = 2, V3 = 3 };
