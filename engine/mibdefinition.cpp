// SPDX-License-Identifier: MIT
#include "engine/mibdefinition.h"

#include "engine/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace {

const struct tree *nodeAt(const std::vector<uint32_t> &oid)
{
    const struct tree *found = nullptr;
    const struct tree *peers = get_tree_head();
    for (uint32_t id : oid) {
        found = nullptr;
        for (const struct tree *tp = peers; tp; tp = tp->next_peer)
            if (tp->subid == id) {
                found = tp;
                break;
            }
        if (!found)
            return nullptr;
        peers = found->child_list;
    }
    return found;
}

const char *typeName(int type)
{
    switch (type) {
    case TYPE_OBJID: return "OBJECT IDENTIFIER";
    case TYPE_OCTETSTR: return "OCTET STRING";
    case TYPE_INTEGER: return "INTEGER";
    case TYPE_NETADDR: return "NetworkAddress";
    case TYPE_IPADDR: return "IpAddress";
    case TYPE_COUNTER: return "Counter32";
    case TYPE_GAUGE: return "Gauge32";
    case TYPE_TIMETICKS: return "TimeTicks";
    case TYPE_OPAQUE: return "Opaque";
    case TYPE_NULL: return "NULL";
    case TYPE_COUNTER64: return "Counter64";
    case TYPE_BITSTRING: return "BITS";
    case TYPE_NSAPADDRESS: return "NsapAddress";
    case TYPE_UINTEGER: return "UInteger32";
    case TYPE_UNSIGNED32: return "Unsigned32";
    case TYPE_INTEGER32: return "Integer32";
    case TYPE_TRAPTYPE: return "TRAP-TYPE";
    case TYPE_NOTIFTYPE: return "NOTIFICATION-TYPE";
    case TYPE_OBJGROUP: return "OBJECT-GROUP";
    case TYPE_NOTIFGROUP: return "NOTIFICATION-GROUP";
    case TYPE_MODID: return "MODULE-IDENTITY";
    case TYPE_AGENTCAP: return "AGENT-CAPABILITIES";
    case TYPE_MODCOMP: return "MODULE-COMPLIANCE";
    case TYPE_OBJIDENTITY: return "OBJECT-IDENTITY";
    default: return "";
    }
}

const char *accessName(int access)
{
    switch (access) {
    case MIB_ACCESS_READONLY: return "read-only";
    case MIB_ACCESS_READWRITE: return "read-write";
    case MIB_ACCESS_WRITEONLY: return "write-only";
    case MIB_ACCESS_NOACCESS: return "not-accessible";
    case MIB_ACCESS_NOTIFY: return "accessible-for-notify";
    case MIB_ACCESS_CREATE: return "read-create";
    default: return "";
    }
}

const char *statusName(int status)
{
    switch (status) {
    case MIB_STATUS_MANDATORY: return "mandatory";
    case MIB_STATUS_OPTIONAL: return "optional";
    case MIB_STATUS_OBSOLETE: return "obsolete";
    case MIB_STATUS_DEPRECATED: return "deprecated";
    case MIB_STATUS_CURRENT: return "current";
    default: return "";
    }
}

std::string rangeText(const struct range_list *ranges)
{
    std::string out;
    for (const struct range_list *r = ranges; r; r = r->next) {
        if (!out.empty())
            out += " | ";
        out += std::to_string(r->low);
        if (r->high != r->low)
            out += ".." + std::to_string(r->high);
    }
    return out;
}

std::string syntaxOf(const struct tree *tp)
{
    if (tp->type == TYPE_OTHER) {
        if (tp->indexes || tp->augments)
            return "SEQUENCE";
        for (const struct tree *child = tp->child_list; child; child = child->next_peer)
            if (child->indexes || child->augments)
                return std::string("SEQUENCE OF ") + (child->label ? child->label : "");
        return {};
    }
    std::string out = tp->tc_index >= 0 && get_tc_descriptor(tp->tc_index) ? get_tc_descriptor(tp->tc_index) : typeName(tp->type);
    if (tp->enums) {
        std::string labels;
        for (const struct enum_list *e = tp->enums; e; e = e->next)
            labels += (labels.empty() ? "" : ", ") + std::string(e->label ? e->label : "") + "(" + std::to_string(e->value) + ")";
        out += " { " + labels + " }";
    } else if (tp->ranges) {
        const bool sized = tp->type == TYPE_OCTETSTR || tp->type == TYPE_OPAQUE;
        out += sized ? " (SIZE (" + rangeText(tp->ranges) + "))" : " (" + rangeText(tp->ranges) + ")";
    }
    return out;
}

std::string indexOf(const struct tree *tp)
{
    if (tp->augments)
        return std::string("AUGMENTS { ") + tp->augments + " }";
    std::string out;
    for (const struct index_list *i = tp->indexes; i; i = i->next)
        out += (out.empty() ? "" : ", ") + std::string(i->isimplied ? "IMPLIED " : "") + (i->ilabel ? i->ilabel : "");
    return out;
}

} // namespace

std::optional<MibTreeDefinition> mibTreeDefinition(const std::vector<uint32_t> &oid)
{
    mibsetup::ensureLoaded();
    const struct tree *tp = nodeAt(oid);
    if (!tp)
        return std::nullopt;
    MibTreeDefinition out;
    char module[MAXTOKEN + 16];
    if (tp->modid >= 0 && find_module(tp->modid))
        out.module = module_name(tp->modid, module);
    out.name = tp->label ? tp->label : "";
    for (uint32_t id : oid)
        out.oid += "." + std::to_string(id);
    out.syntax = syntaxOf(tp);
    out.units = tp->units ? tp->units : "";
    out.displayHint = tp->hint ? tp->hint : "";
    out.access = accessName(tp->access);
    out.status = statusName(tp->status);
    out.index = indexOf(tp);
    if (out.index.empty() && tp->parent)
        out.index = indexOf(tp->parent); // a column: its row's index
    out.description = tp->description ? tp->description : "";
    return out;
}
