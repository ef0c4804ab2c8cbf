// SPDX-License-Identifier: MIT
// Any bytes as a datagram at the notification receiver: decoded or refused
// with a reason, never read outside; what is taken has names a request
// could carry, an SNMPv1 Trap-PDU comes out in RFC 3584's form (sysUpTime.0,
// then snmpTrapOID.0 holding the trap's OID), and the list's packed form of
// the bindings reads back the same.
#include "engine/snmp/berreader.h"
#include "engine/traps/packedbindings.h"
#include "engine/traps/trapdecode.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "trapdecode: %s\n", what);
    std::abort();
}

bool same(const SnmpVarBind &a, const SnmpVarBind &b)
{
    return a.name.ids == b.name.ids && a.value.asnType == b.value.asnType && a.value.number == b.value.number
        && a.value.unsigned32 == b.value.unsigned32 && a.value.counter64 == b.value.counter64
        && a.value.bytes == b.value.bytes && a.value.object.ids == b.value.object.ids;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const DecodedDatagram decoded = decodeDatagram(data, size);
    int32_t version = -1;
    const bool hasVersion = berreader::readVersion(data, size, version);
    switch (decoded.kind) {
    case DecodedDatagram::Kind::Refused:
        if (decoded.reason.empty())
            fail("refused without a reason");
        return 0;
    case DecodedDatagram::Kind::SnmpV3:
        if (!hasVersion || version != 3)
            fail("SNMPv3 by another version");
        return 0;
    case DecodedDatagram::Kind::Notification:
        break;
    }
    const Notification &n = decoded.notification;
    if (!hasVersion || (version != 0 && version != 1) || (version == 0) != n.v1.has_value())
        fail("notification of the wrong version");
    for (const SnmpVarBind &b : n.bindings) {
        if (b.name.ids.size() > berreader::MaxNameLength)
            fail("a name longer than a request may carry");
    }
    if (n.v1) {
        if (n.bindings.size() < 5 || n.bindings[0].name.ids != notificationoids::SysUpTime0
            || n.bindings[1].name.ids != notificationoids::SnmpTrapOid0 || n.bindings[1].value.object.ids != n.trapOid.ids
            || n.bindings[0].value.unsigned32 != n.v1->timeStamp)
            fail("SNMPv1 trap not in RFC 3584's form");
    }
    const std::vector<SnmpVarBind> again = unpackBindings(packBindings(n.bindings));
    if (again.size() != n.bindings.size())
        fail("packed bindings: count");
    for (size_t i = 0; i < again.size(); ++i) {
        if (!same(again[i], n.bindings[i]))
            fail("packed bindings: a binding");
    }
    return 0;
}
