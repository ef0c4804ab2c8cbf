// SPDX-License-Identifier: MIT
#pragma once

// The SNMP manager service: the operations and records of the platform's SNMP
// Management API, with Net-SNMP doing the work behind them. Records own their
// memory (vectors and strings), so a dropped binding list never leaks; the
// free functions remain for callers that release explicitly.

#include "common/snmpversion.h"
#include "engine/requestwait.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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
inline constexpr uint8_t GetBulk = 0xA5; // SNMPv2c only
} // namespace pdu

namespace errorStatus {
inline constexpr int32_t NoError = 0;
inline constexpr int32_t TooBig = 1;
inline constexpr int32_t NoSuchName = 2;
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

struct SnmpMgrSessionData;
using LPSNMP_MGR_SESSION = SnmpMgrSessionData *;

// Once, before the first call: MIB folders to load besides Net-SNMP's own
// search path. MIBs are loaded lazily at the first name conversion or session.
void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs);

// The last-error code of the failed call on this thread (0 when none).
uint32_t SnmpMgrGetLastError();

// Last-error codes this service reports (the README lists the mapping).
namespace SnmpMgrErrors {
inline constexpr uint32_t Timeout = 40;           // no response within timeout x (retries + 1)
inline constexpr uint32_t SelectFdErrors = 41;    // socket send or receive failed
inline constexpr uint32_t AgentErrors = 45;       // the response could not be decoded, or another library failure
inline constexpr uint32_t InvalidSession = 47;    // null session handle
inline constexpr uint32_t InvalidParameter = 87;  // agent text Net-SNMP cannot use as a peer name
inline constexpr uint32_t HostNotFound = 11001;   // the host name does not resolve
inline constexpr uint32_t ConnectionReset = 10054; // a stream transport's connection was closed or reset
inline constexpr uint32_t Abandoned = 1223;       // the caller gave the request up while it waited
// SNMPv3: the agent reported that it does not know the user, that the
// message's authentication failed (wrong passphrase or protocol), or that it
// does not support the security level for the user.
inline constexpr uint32_t UnknownUserName = 1317;
inline constexpr uint32_t AuthenticationFailure = 1326;
inline constexpr uint32_t SecurityLevelUnsupported = 1327;
} // namespace SnmpMgrErrors

// Null on failure, with SnmpMgrGetLastError() describing it. The session
// sends and accepts messages of the given version only.
LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const std::string &community, int timeoutMs,
                               int retries, SnmpVersion version = SnmpVersion::V1);
// An SNMPv3 session (engine/usm.h). Its first request discovers the agent's
// engine ID first, one more round trip, for which Net-SNMP blocks the thread
// however the request waits (no answer: Timeout). Requests work as on an
// SNMPv2c session, GetBulk included.
struct AgentSecurity;
LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const AgentSecurity &security, int timeoutMs,
                               int retries);
// Non-zero on success; the list is overwritten with the response. The wait
// for the answer blocks the thread unless the caller asks for its events to
// be processed meanwhile; then the abandon check may give the request up
// (Abandoned). The answer holds a binding for each one asked for, except that
// an answer with a non-zero error status is taken with whatever bindings it
// has (tooBig comes without any, some SNMPv1 agents send none with any error).
int SnmpMgrRequest(LPSNMP_MGR_SESSION session, uint8_t requestType, SnmpVarBindList *list,
                   int32_t *errorStatus, int32_t *errorIndex, RequestWait wait = RequestWait::Blocking,
                   const AbandonCheck &abandoned = {});
// A GetBulkRequest with non-repeaters 0, on SNMPv2c and SNMPv3 sessions only: the list
// holds the names to go on from and is overwritten with the answer's
// bindings, at least one and at most maxRepetitions for each name (an error
// answer: whatever it has).
int SnmpMgrBulkRequest(LPSNMP_MGR_SESSION session, int32_t maxRepetitions, SnmpVarBindList *list,
                       int32_t *errorStatus, int32_t *errorIndex, RequestWait wait = RequestWait::Blocking,
                       const AbandonCheck &abandoned = {});
int SnmpMgrClose(LPSNMP_MGR_SESSION session);
// Sessions opened and not yet closed in this process; tests check it returns to 0.
int SnmpMgrOpenSessionCount();

struct SnmpMgrSessionCloser
{
    void operator()(SnmpMgrSessionData *s) const { SnmpMgrClose(s); }
};
using SnmpMgrSession = std::unique_ptr<SnmpMgrSessionData, SnmpMgrSessionCloser>;

// Non-zero and a filled identifier on success. Never converts a text holding ";", the empty
// text or a text longer than 4096 bytes (no OID needs that much; refused at once).
int SnmpMgrStrToOid(const std::string &text, AsnObjectIdentifier *oid);
// A newly allocated symbolic name (release with SnmpUtilMemFree); always returns a text.
int SnmpMgrOidToStr(const AsnObjectIdentifier *oid, char **text);

// Dotted decimal without a leading dot, in a buffer the service owns (valid
// until the next call on this thread): copy it at once.
const char *SnmpUtilOidToA(const AsnObjectIdentifier *oid);
int SnmpUtilOidCpy(AsnObjectIdentifier *dst, const AsnObjectIdentifier *src);
int SnmpUtilOidNCmp(const AsnObjectIdentifier *a, const AsnObjectIdentifier *b, unsigned n);
void *SnmpUtilMemAlloc(size_t size);
void SnmpUtilMemFree(void *block);
void SnmpUtilVarBindListFree(SnmpVarBindList *list);

struct SnmpMemDeleter
{
    void operator()(void *p) const { SnmpUtilMemFree(p); }
};
using SnmpText = std::unique_ptr<char, SnmpMemDeleter>;
