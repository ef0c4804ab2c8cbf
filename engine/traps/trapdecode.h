// SPDX-License-Identifier: MIT
#pragma once

// SNMPv1 and SNMPv2c notifications read by the engine's own reader, from the
// datagram as it came: an SNMPv1 Trap-PDU (translated to the SNMPv2 form as
// RFC 3584 3.1 says), an SNMPv2-Trap-PDU or an InformRequest. SNMPv3 is
// Net-SNMP's to authenticate and decrypt (engine/snmp/v3listener.h). Pure:
// no Net-SNMP, no Qt, no I/O, so it is fuzzed as it is.

#include "engine/snmp/notification.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct DecodedDatagram
{
    enum class Kind {
        Notification, // `notification` holds it (receivedMs and sender left to the caller)
        SnmpV3,       // an SNMPv3 message: Net-SNMP's to read
        Refused,      // `reason` says why
    };
    Kind kind = Kind::Refused;
    Notification notification;
    std::string version; // the version the datagram says, as the list shows it
    std::string reason;
};

// Reads one datagram. Never reads outside [datagram, datagram + size).
DecodedDatagram decodeDatagram(const uint8_t *datagram, size_t size);

// The RFC 3584 3.1 translation of an SNMPv1 Trap-PDU's fields: snmpTrapOID.0
// from the generic trap (snmpTraps.<generic + 1>) or, for enterpriseSpecific
// (6), from the enterprise, 0 and the specific trap; sysUpTime.0 and
// snmpTrapOID.0 in front of the bindings; snmpTrapAddress.0,
// snmpTrapCommunity.0 and snmpTrapEnterprise.0 after them unless already there.
void translateTrapV1(Notification &notification);
