// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// Why Net-SNMP made no transport of an agent text. It reports an unresolvable
// host and an unparsable peer text alike; they are told apart by the text's
// shape ([transport:]host[:port]) and a lookup of its host: InvalidParameter
// for a text that is no address, HostNotFound for a host that does not
// resolve, AgentErrors for one that does (some other failure).
uint32_t agentAddressError(const std::string &agent);
