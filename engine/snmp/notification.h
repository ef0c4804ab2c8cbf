// SPDX-License-Identifier: MIT
#pragma once

// A notification as the receiver hands it on: who sent it, how, and its
// bindings in the SNMPv2 form (sysUpTime.0, snmpTrapOID.0, then the rest),
// an SNMPv1 Trap-PDU translated by RFC 3584 3.1 with its own fields kept.
// Plain values; no Net-SNMP, no Qt.

#include "engine/snmp/snmprecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class NotificationVersion : uint8_t { V1, V2c, V3 };

// "SNMPv1", "SNMPv2c", "SNMPv3".
inline const char *versionName(NotificationVersion version)
{
    switch (version) {
    case NotificationVersion::V1:
        return "SNMPv1";
    case NotificationVersion::V2c:
        break;
    case NotificationVersion::V3:
        return "SNMPv3";
    }
    return "SNMPv2c";
}

// Where a datagram came from, as the list shows it.
struct Sender
{
    std::string address; // numeric, without brackets ("10.0.0.1", "2001:db8::1")
    uint16_t port = 0;
};

// The fields of an SNMPv1 Trap-PDU that the SNMPv2 form has no place for of
// its own (RFC 3584 keeps them as bindings too).
struct TrapV1Fields
{
    AsnObjectIdentifier enterprise;
    std::string agentAddress; // the octets as sent, four for an IPv4 address
    int32_t genericTrap = 0;
    int32_t specificTrap = 0;
    uint32_t timeStamp = 0;
};

struct Notification
{
    int64_t receivedMs = 0; // wall clock, milliseconds since the epoch
    Sender sender;
    NotificationVersion version = NotificationVersion::V2c;
    bool inform = false;      // an InformRequest, answered with a Response
    std::string community;    // SNMPv1 and v2c, as sent
    std::string user;         // SNMPv3: the user name
    std::string engineId;     // SNMPv3: the authoritative engine's ID, as sent
    std::string context;      // SNMPv3: the context name
    AsnObjectIdentifier trapOid; // snmpTrapOID.0's value; empty when the bindings lack it
    std::vector<SnmpVarBind> bindings;
    std::optional<TrapV1Fields> v1; // an SNMPv1 Trap-PDU's own fields
};

// A datagram that carried no notification the receiver takes, and why.
struct Rejection
{
    int64_t receivedMs = 0;
    Sender sender;
    std::string version;  // "SNMPv2c", or what the datagram's version number says
    std::string identity; // the community or user name it came with, when it was read
    std::string reason;   // a finished sentence for the user
};

// The OIDs of the SNMPv2 notification form.
namespace notificationoids {
inline const std::vector<uint32_t> SysUpTime0 = {1, 3, 6, 1, 2, 1, 1, 3, 0};
inline const std::vector<uint32_t> SnmpTrapOid0 = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
inline const std::vector<uint32_t> SnmpTrapEnterprise0 = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};
inline const std::vector<uint32_t> SnmpTrapAddress0 = {1, 3, 6, 1, 6, 3, 18, 1, 3, 0};
inline const std::vector<uint32_t> SnmpTrapCommunity0 = {1, 3, 6, 1, 6, 3, 18, 1, 4, 0};
// snmpTraps: coldStart is .1, ... egpNeighborLoss .6 (generic trap + 1).
inline const std::vector<uint32_t> SnmpTraps = {1, 3, 6, 1, 6, 3, 1, 1, 5};
} // namespace notificationoids
