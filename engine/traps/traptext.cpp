// SPDX-License-Identifier: MIT
#include "engine/traps/traptext.h"

#include "engine/mib/mibinfo.h"
#include "engine/mib/mibrender.h"
#include "engine/mib/oidtext.h"
#include "engine/query/rowrender.h"

#include <optional>

namespace {

std::string dotted(const AsnObjectIdentifier &oid)
{
    std::string text;
    for (const uint32_t id : oid.ids) {
        text += '.';
        text += std::to_string(id);
    }
    return text;
}

std::string hex(const std::string &bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        text += digits[uint8_t(c) >> 4];
        text += digits[uint8_t(c) & 0xF];
    }
    return text;
}

} // namespace

std::string notificationName(const AsnObjectIdentifier &trapOid)
{
    if (trapOid.ids.empty())
        return "(no snmpTrapOID.0)";
    if (std::optional<std::string> name = objectName(trapOid.ids))
        return std::move(*name);
    return dotted(trapOid);
}

std::string notificationSummary(const Notification &n, bool mibValues)
{
    using namespace notificationoids;
    size_t end = n.bindings.size();
    // The three RFC 3584 appends: the list shows them in the details instead.
    if (n.v1) {
        while (end > 0
               && (n.bindings[end - 1].name.ids == SnmpTrapAddress0 || n.bindings[end - 1].name.ids == SnmpTrapCommunity0
                   || n.bindings[end - 1].name.ids == SnmpTrapEnterprise0))
            --end;
    }
    std::string summary;
    for (size_t i = 0; i < end && summary.size() < MaxSummary; ++i) {
        const SnmpVarBind &b = n.bindings[i];
        if (b.name.ids == SysUpTime0 || b.name.ids == SnmpTrapOid0)
            continue;
        ResultRow row = renderBinding(b, n.version == NotificationVersion::V1 ? SnmpVersion::V1 : SnmpVersion::V2c);
        if (mibValues) {
            if (const MibObject *object = mibObject(b.name.ids)) {
                if (std::optional<std::string> text = mibValueText(b, *object))
                    row.value = std::move(*text);
            }
        }
        const size_t module = row.name.find("::");
        if (!summary.empty())
            summary += ", ";
        summary.append(row.name, module == std::string::npos ? 0 : module + 2);
        summary += '=';
        summary += row.value;
    }
    if (summary.size() > MaxSummary) {
        // Not inside a character: MIB values are UTF-8.
        size_t cut = MaxSummary;
        while (cut > 0 && (uint8_t(summary[cut]) & 0xC0) == 0x80)
            --cut;
        summary.resize(cut);
    }
    return summary;
}

std::string senderText(const Sender &sender)
{
    const bool v6 = sender.address.find(':') != std::string::npos;
    return (v6 ? "[" + sender.address + "]" : sender.address) + ":" + std::to_string(sender.port);
}

std::string notificationDetails(const Notification &n)
{
    if (n.v1) {
        const TrapV1Fields &v1 = *n.v1;
        std::string agent;
        for (const char c : v1.agentAddress) {
            if (!agent.empty())
                agent += '.';
            agent += std::to_string(uint8_t(c));
        }
        return "enterprise " + dotted(v1.enterprise) + ", agent " + agent + ", generic "
            + std::to_string(v1.genericTrap) + ", specific " + std::to_string(v1.specificTrap) + ", time-stamp "
            + std::to_string(v1.timeStamp);
    }
    if (n.version == NotificationVersion::V3)
        return "engine ID " + hex(n.engineId) + (n.context.empty() ? std::string() : ", context " + n.context);
    return {};
}
