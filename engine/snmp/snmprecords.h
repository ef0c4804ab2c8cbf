// SPDX-License-Identifier: MIT
#pragma once

// The records of the platform's SNMP Management API: identifiers, tagged
// values, bindings and binding lists. Records own their memory (vectors and
// strings), so a dropped binding list never leaks; the free functions remain
// for callers that release explicitly. No Net-SNMP here.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ASN.1 type tags of binding values, the request types and the error
// statuses the run looks at. Named apart from Net-SNMP's ASN_* macros, so
// this header and Net-SNMP's may be included in either order.
namespace asn {
inline constexpr uint8_t Integer32 = 0x02;
inline constexpr uint8_t Bits = 0x03;
inline constexpr uint8_t OctetString = 0x04;
inline constexpr uint8_t Null = 0x05;
inline constexpr uint8_t ObjectIdentifier = 0x06;
inline constexpr uint8_t Sequence = 0x30;
inline constexpr uint8_t IpAddress = 0x40;
inline constexpr uint8_t Counter32 = 0x41;
inline constexpr uint8_t Gauge32 = 0x42;
inline constexpr uint8_t TimeTicks = 0x43;
inline constexpr uint8_t Opaque = 0x44;
inline constexpr uint8_t Counter64 = 0x46;
inline constexpr uint8_t Unsigned32 = 0x47;
// SNMPv2c exceptions: a binding that carries no value, yet no error.
inline constexpr uint8_t NoSuchObject = 0x80;
inline constexpr uint8_t NoSuchInstance = 0x81;
inline constexpr uint8_t EndOfMibView = 0x82;
} // namespace asn

namespace pdu {
inline constexpr uint8_t Get = 0xA0;
inline constexpr uint8_t GetNext = 0xA1;
inline constexpr uint8_t Response = 0xA2;
inline constexpr uint8_t Set = 0xA3;     // sends the list's values
inline constexpr uint8_t TrapV1 = 0xA4;  // SNMPv1's Trap-PDU
inline constexpr uint8_t GetBulk = 0xA5; // SNMPv2c only
inline constexpr uint8_t Inform = 0xA6;  // InformRequest: answered with a Response
inline constexpr uint8_t TrapV2 = 0xA7;  // SNMPv2-Trap-PDU
} // namespace pdu

namespace errorStatus {
inline constexpr int32_t NoError = 0;
inline constexpr int32_t TooBig = 1;
inline constexpr int32_t NoSuchName = 2;
inline constexpr int32_t ReadOnly = 4;
inline constexpr int32_t NoAccess = 6;
inline constexpr int32_t AuthorizationError = 16;
} // namespace errorStatus

struct AsnObjectIdentifier
{
    std::vector<uint32_t> ids; // sub-identifiers, 32-bit unsigned
};

// A tagged value: asnType says which member holds it.
struct AsnAny
{
    uint8_t asnType = asn::Null;
    int32_t number = 0;          // Integer32
    uint32_t unsigned32 = 0;     // Counter32, Gauge32, TimeTicks, Unsigned32
    uint64_t counter64 = 0;      // Counter64
    std::string bytes;           // Octet String, Bits, IpAddress, Opaque, Sequence and unknown tags
    AsnObjectIdentifier object;  // Object Identifier
};

struct SnmpVarBind
{
    AsnObjectIdentifier name;
    AsnAny value;
};

struct SnmpVarBindList
{
    std::vector<SnmpVarBind> list;
};

int SnmpUtilOidCpy(AsnObjectIdentifier *dst, const AsnObjectIdentifier *src);
int SnmpUtilOidNCmp(const AsnObjectIdentifier *a, const AsnObjectIdentifier *b, unsigned n);
void *SnmpUtilMemAlloc(size_t size);
void SnmpUtilMemFree(void *block);
void SnmpUtilVarBindListFree(SnmpVarBindList *list);

// Octets as the result list shows them: two upper-case hex digits and a
// blank each ("0A FF "); empty for none.
std::string hexDump(std::string_view bytes);

struct SnmpMemDeleter
{
    void operator()(void *p) const { SnmpUtilMemFree(p); }
};
using SnmpText = std::unique_ptr<char, SnmpMemDeleter>;
