// SPDX-License-Identifier: MIT
#pragma once

// Reads an agent's answer as it was sent: every binding keeps its tag and its
// content octets, whatever the tag and length. Net-SNMP's own decoding refuses
// some of them (a Sequence, a three-byte IpAddress, tags it does not know) and
// rewrites others (its float and double Opaques). Works on the datagram in
// place and never reads past its end; no Net-SNMP, no Qt.

#include "engine/snmp/snmprecords.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace berreader {

// A range of the datagram.
struct Bytes
{
    const uint8_t *data = nullptr;
    size_t size = 0;
};

struct Binding
{
    Bytes name;      // content octets of the name, an OBJECT IDENTIFIER
    uint8_t tag = 0; // the value's identifier octet
    Bytes value;     // the value's content octets
};

// The fields an SNMPv1 Trap-PDU has in place of request-id, error-status and
// error-index (RFC 1157): the enterprise's OID content, the agent's address
// as sent (four octets when the agent follows the RFC), the generic and
// specific trap numbers and the agent's sysUpTime.
struct TrapFields
{
    Bytes enterprise;
    Bytes agentAddress;
    int32_t genericTrap = 0;
    int32_t specificTrap = 0;
    uint32_t timeStamp = 0;
};

// SEQUENCE { version, community, PDU { request-id, error-status, error-index,
// SEQUENCE OF SEQUENCE { name, value } } }: the layout of SNMPv1 and v2c
// messages alike, so the caller checks the version and the PDU type. An
// SNMPv1 Trap-PDU (pduType 0xA4) has the trap fields in place of the three
// numbers, which then stay 0.
struct Message
{
    int32_t version = 0;
    Bytes community;
    uint8_t pduType = 0;
    int32_t requestId = 0;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    TrapFields trap;
    std::vector<Binding> bindings;
};

// False when the datagram holds no such message (framing, lengths, the fields'
// tags, header numbers beyond 32 bits). Bytes after a complete item are ignored.
bool readMessage(const uint8_t *datagram, size_t size, Message &message);

// The version number every SNMP message starts with (0 SNMPv1, 1 SNMPv2c,
// 3 SNMPv3), whatever follows it; false when the datagram does not start so.
bool readVersion(const uint8_t *datagram, size_t size, int32_t &version);

// Sub-identifiers of OID content octets (the first octet gives two); empty
// content gives none. False when one is cut off or exceeds 32 bits.
bool readOid(Bytes content, std::vector<uint32_t> &ids);

// INTEGER content octets as two's complement, modulo 2^64; empty content is 0.
uint64_t readInteger(Bytes content);
// The same as an unsigned number: agents that leave out the 00 octet in front
// of a counter whose top bit is set (FF for 255) mean the unsigned value.
uint64_t readUnsigned(Bytes content);

// A binding's value as the manager service's record holds it. Integer32
// (signed) and the 32-bit unsigned types keep the low 32 bits of a longer
// encoding, Counter64 (unsigned) the low 64; every tag that is no number, OID or Null keeps its
// octets. False only for an OID value that readOid refuses.
bool readValue(uint8_t tag, Bytes content, AsnAny &value);

// The most sub-identifiers a binding's name may have (SNMP's own limit): a
// request cannot carry a longer one, so a walk could not go on from it.
inline constexpr size_t MaxNameLength = 128;

// A GetResponse of the given version (0 SNMPv1, 1 SNMPv2c) turned into the
// records, reusing the buffers of the bindings already there. False when the
// datagram is no such message, a name or OID value is no OID, or a name is
// longer than MaxNameLength; the response may then be partly overwritten.
struct Response
{
    int32_t requestId = 0;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    std::vector<SnmpVarBind> bindings;
};
bool readResponse(const uint8_t *datagram, size_t size, Response &response, int32_t version = 0);

} // namespace berreader
