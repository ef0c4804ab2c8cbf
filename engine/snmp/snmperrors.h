// SPDX-License-Identifier: MIT
#pragma once

// The last-error codes of the SNMP manager service and the error statuses an
// agent answers with, each once: its number, its name and what it means for
// the user. The error box's details and the reference page of the user guide
// are read from these tables (a test holds the page to them). The first codes
// are those of the Windows SNMP Management API, so a user who knows them is
// not surprised. No Net-SNMP here.

#include <cstdint>
#include <span>

namespace SnmpMgrErrors {
inline constexpr uint32_t Timeout = 40;           // no response within timeout x (retries + 1)
inline constexpr uint32_t SelectFdErrors = 41;    // socket send or receive failed
inline constexpr uint32_t AgentErrors = 45;       // the response could not be decoded, or another library failure
inline constexpr uint32_t InvalidSession = 47;    // null session handle
inline constexpr uint32_t InvalidParameter = 87;  // agent text Net-SNMP cannot use as a peer name
inline constexpr uint32_t Abandoned = 1223;       // the caller gave the request up while it waited
// SNMPv3: the agent reported that it does not know the user, that the
// message's authentication failed (wrong passphrase or protocol), or that it
// does not support the security level for the user.
inline constexpr uint32_t UnknownUserName = 1317;
inline constexpr uint32_t AuthenticationFailure = 1326;
inline constexpr uint32_t SecurityLevelUnsupported = 1327;
// SNMPv3: the agent reported that the request's engine ID is not its own (it
// became another engine, restarted with a new identity), or that it could
// not decrypt the request (wrong privacy protocol or passphrase).
inline constexpr uint32_t UnknownEngineID = 1355;
inline constexpr uint32_t DecryptionError = 6001;
inline constexpr uint32_t ConnectionReset = 10054; // a stream transport's connection was closed or reset
inline constexpr uint32_t HostNotFound = 11001;   // the host name does not resolve
} // namespace SnmpMgrErrors

struct SnmpErrorInfo
{
    uint32_t code;
    const char *name;    // the constant's name, or the RFC's name of a status
    const char *meaning; // one or two lines: what happened and what to check
};

// Every last-error code a failed SnmpMgrOpen or SnmpMgrRequest reports (but
// Abandoned, which the user never sees), in increasing order.
std::span<const SnmpErrorInfo> snmpErrorCodes();
// The error statuses of a response (RFC 1157 for 0 to 5, RFC 3416 beyond), in order.
std::span<const SnmpErrorInfo> snmpErrorStatuses();
// Null for a code or status the tables do not hold.
const SnmpErrorInfo *snmpErrorCode(uint32_t code);
const SnmpErrorInfo *snmpErrorStatus(int32_t status);
