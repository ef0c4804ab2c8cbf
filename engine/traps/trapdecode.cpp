// SPDX-License-Identifier: MIT
#include "engine/traps/trapdecode.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/snmp/berreader.h"

#include <algorithm>

namespace {

constexpr int32_t EnterpriseSpecific = 6;

DecodedDatagram refused(std::string version, std::string reason)
{
    DecodedDatagram out;
    out.kind = DecodedDatagram::Kind::Refused;
    out.version = std::move(version);
    out.reason = std::move(reason);
    return out;
}

std::string versionText(int32_t number)
{
    switch (number) {
    case 0:
        return versionName(NotificationVersion::V1);
    case 1:
        return versionName(NotificationVersion::V2c);
    case 3:
        return versionName(NotificationVersion::V3);
    default:
        return "version " + std::to_string(number);
    }
}

std::string pduText(uint8_t type)
{
    switch (type) {
    case pdu::Get:
        return "a GetRequest";
    case pdu::GetNext:
        return "a GetNextRequest";
    case pdu::Response:
        return "a Response";
    case pdu::GetBulk:
        return "a GetBulkRequest";
    case 0xA3:
        return "a SetRequest";
    case 0xA8:
        return "a Report";
    default: {
        static constexpr char digits[] = "0123456789ABCDEF";
        return std::string("a PDU of type 0x") + digits[type >> 4] + digits[type & 0xF];
    }
    }
}

bool named(const SnmpVarBind &binding, const std::vector<uint32_t> &oid)
{
    return binding.name.ids == oid;
}

SnmpVarBind binding(const std::vector<uint32_t> &name, AsnAny value)
{
    SnmpVarBind b;
    b.name.ids = name;
    b.value = std::move(value);
    return b;
}

} // namespace

void translateTrapV1(Notification &n)
{
    using namespace notificationoids;
    const TrapV1Fields &v1 = *n.v1;
    if (v1.genericTrap == EnterpriseSpecific) {
        n.trapOid = v1.enterprise;
        n.trapOid.ids.push_back(0);
        n.trapOid.ids.push_back(uint32_t(v1.specificTrap));
    } else {
        // A generic trap outside 0 to 5 goes the same way, as Net-SNMP
        // translates it: the Trap-PDU's own fields stay beside it.
        n.trapOid.ids = SnmpTraps;
        n.trapOid.ids.push_back(uint32_t(v1.genericTrap) + 1);
    }

    std::vector<SnmpVarBind> bindings;
    bindings.reserve(n.bindings.size() + 5);
    AsnAny upTime;
    upTime.asnType = asn::TimeTicks;
    upTime.unsigned32 = v1.timeStamp;
    bindings.push_back(binding(SysUpTime0, std::move(upTime)));
    AsnAny trapOid;
    trapOid.asnType = asn::ObjectIdentifier;
    trapOid.object = n.trapOid;
    bindings.push_back(binding(SnmpTrapOid0, std::move(trapOid)));
    for (SnmpVarBind &b : n.bindings)
        bindings.push_back(std::move(b));

    const auto present = [&bindings](const std::vector<uint32_t> &oid) {
        return std::any_of(bindings.begin(), bindings.end(), [&oid](const SnmpVarBind &b) { return named(b, oid); });
    };
    if (!present(SnmpTrapAddress0)) {
        AsnAny address;
        address.asnType = asn::IpAddress;
        address.bytes = v1.agentAddress;
        bindings.push_back(binding(SnmpTrapAddress0, std::move(address)));
    }
    if (!present(SnmpTrapCommunity0)) {
        AsnAny community;
        community.asnType = asn::OctetString;
        community.bytes = n.community;
        bindings.push_back(binding(SnmpTrapCommunity0, std::move(community)));
    }
    if (!present(SnmpTrapEnterprise0)) {
        AsnAny enterprise;
        enterprise.asnType = asn::ObjectIdentifier;
        enterprise.object = v1.enterprise;
        bindings.push_back(binding(SnmpTrapEnterprise0, std::move(enterprise)));
    }
    n.bindings = std::move(bindings);
}

DecodedDatagram decodeDatagram(const uint8_t *datagram, size_t size)
{
    int32_t versionNumber = 0;
    if (!berreader::readVersion(datagram, size, versionNumber))
        return refused("?", msg::TrapNotSnmp);
    const std::string version = versionText(versionNumber);
    if (versionNumber == 3) {
        DecodedDatagram out;
        out.kind = DecodedDatagram::Kind::SnmpV3;
        out.version = version;
        return out;
    }
    if (versionNumber != 0 && versionNumber != 1)
        return refused(version, formatMessage(msg::TrapUnknownVersion, int(versionNumber)));

    berreader::Message message;
    if (!berreader::readMessage(datagram, size, message))
        return refused(version, msg::TrapMalformed);

    DecodedDatagram out;
    out.version = version;
    Notification &n = out.notification;
    n.community.assign(reinterpret_cast<const char *>(message.community.data), message.community.size);
    const bool v1 = versionNumber == 0;
    n.version = v1 ? NotificationVersion::V1 : NotificationVersion::V2c;
    const bool wanted = v1 ? message.pduType == pdu::TrapV1
                           : message.pduType == pdu::TrapV2 || message.pduType == pdu::Inform;
    if (!wanted)
        return refused(version, formatMessage(msg::TrapNotNotification, pduText(message.pduType).c_str()));
    n.inform = message.pduType == pdu::Inform;

    n.bindings.resize(message.bindings.size());
    for (size_t i = 0; i < message.bindings.size(); ++i) {
        const berreader::Binding &read = message.bindings[i];
        SnmpVarBind &b = n.bindings[i];
        if (!berreader::readOid(read.name, b.name.ids) || b.name.ids.size() > berreader::MaxNameLength)
            return refused(version, msg::TrapBadName);
        if (!berreader::readValue(read.tag, read.value, b.value))
            return refused(version, msg::TrapBadOidValue);
    }

    if (v1) {
        TrapV1Fields fields;
        if (!berreader::readOid(message.trap.enterprise, fields.enterprise.ids)
            || fields.enterprise.ids.size() > berreader::MaxNameLength - 2)
            return refused(version, msg::TrapBadEnterprise);
        fields.agentAddress.assign(reinterpret_cast<const char *>(message.trap.agentAddress.data),
                                   message.trap.agentAddress.size);
        fields.genericTrap = message.trap.genericTrap;
        fields.specificTrap = message.trap.specificTrap;
        fields.timeStamp = message.trap.timeStamp;
        n.v1 = std::move(fields);
        translateTrapV1(n);
    } else {
        // snmpTrapOID.0 is the second binding (RFC 3416 4.2.6); a sender
        // that puts it elsewhere is still understood.
        for (const SnmpVarBind &b : n.bindings) {
            if (named(b, notificationoids::SnmpTrapOid0) && b.value.asnType == asn::ObjectIdentifier) {
                n.trapOid = b.value.object;
                break;
            }
        }
    }
    out.kind = DecodedDatagram::Kind::Notification;
    return out;
}
