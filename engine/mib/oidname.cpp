// SPDX-License-Identifier: MIT
#include "engine/mib/oidname.h"

#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace {

// What Net-SNMP's walk down the tree finds for an OID, as snprint_objid walks it.
struct KnownPrefix
{
    const tree *node = nullptr;
    size_t length = 0;
    const index_list *indexes = nullptr; // the INDEX in force at the node, inherited from above
    size_t pathText = 0;
};

// Net-SNMP prints nodes it made up for undeclared parents by their number.
size_t labelLength(const tree *node)
{
    static constexpr char anonymous[] = "anonymous#";
    if (std::strncmp(node->label, anonymous, sizeof(anonymous) - 1) == 0) {
        char number[24];
        return size_t(std::to_chars(number, number + sizeof(number), node->subid).ptr - number);
    }
    return std::strlen(node->label);
}

KnownPrefix knownPrefix(const std::vector<uint32_t> &ids)
{
    KnownPrefix found;
    found.pathText = 1; // the leading "."
    const tree *peers = get_tree_head();
    while (found.length < ids.size()) {
        const tree *match = peers;
        while (match && match->subid != ids[found.length])
            match = match->next_peer;
        if (!match)
            break;
        // Of peers with the same number Net-SNMP takes the last in a row.
        while (match->next_peer && match->next_peer->subid == match->subid)
            match = match->next_peer;
        if (match->indexes) {
            found.indexes = match->indexes;
        } else if (match->augments) {
            if (const tree *augmented = find_tree_node(match->augments, -1))
                found.indexes = augmented->indexes;
        }
        found.pathText += labelLength(match) + (found.length > 0 ? 1 : 0);
        found.node = match;
        ++found.length;
        peers = match->child_list;
    }
    return found;
}

// Whether Net-SNMP prints an instance under these indexes as its plain
// numbers whatever their values: integers without enumeration labels,
// time ticks and IP addresses. Strings (quoted, or numbers when the length
// does not fit), enumerations (the label of a known value), object
// identifiers and whatever else are left to the full conversion, row by row.
bool numericIndexes(const index_list *indexes)
{
    for (; indexes; indexes = indexes->next) {
        const tree *index = find_tree_node(indexes->ilabel, -1);
        if (!index)
            return false;
        switch (index->type) {
        case TYPE_INTEGER:
        case TYPE_INTEGER32:
        case TYPE_UINTEGER:
        case TYPE_UNSIGNED32:
        case TYPE_GAUGE:
            if (index->enums)
                return false;
            break;
        case TYPE_TIMETICKS:
        case TYPE_IPADDR:
            break;
        default:
            return false;
        }
    }
    return true;
}

// The output the cached texts follow: MODULE::label and the instance, with
// indexes as dotted numbers (not -OX's brackets).
bool moduleFormat()
{
    const int format = netsnmp_ds_get_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_OID_OUTPUT_FORMAT);
    return (format == 0 || format == NETSNMP_OID_OUTPUT_MODULE)
        && !netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_EXTENDED_INDEX);
}

// The node's part of a row's name: snprint_objid of the prefix with an
// instance "0", less the ".0". With an instance Net-SNMP takes the label at
// the end of the known part (a numbered anonymous node included), without
// one it looks back for a letter, so the prefix alone could differ.
bool prefixText(const std::u32string &prefix, std::string &text)
{
    std::vector<oid> name(prefix.begin(), prefix.end());
    name.push_back(0);
    char buffer[1024];
    const int length = snprint_objid(buffer, sizeof(buffer), name.data(), name.size());
    if (length < 2 || std::string_view(buffer, size_t(length)).substr(size_t(length) - 2) != ".0")
        return false;
    text.assign(buffer, size_t(length) - 2);
    return true;
}

// What the node's instances are to the row rendering.
RowRole roleOf(const tree *node)
{
    if (node->type == TYPE_BITSTRING && !node->child_list)
        return RowRole::Bits;
    const char *convention = node->tc_index >= 0 ? get_tc_descriptor(node->tc_index) : nullptr;
    if (!convention || node->child_list)
        return RowRole::Plain;
    if (std::strcmp(convention, "InetAddressType") == 0)
        return RowRole::AddressType;
    return std::strcmp(convention, "InetAddress") == 0 ? RowRole::Address : RowRole::Plain;
}

} // namespace

OidNameCache::OidNameCache(size_t capacity) : m_capacity(std::max<size_t>(capacity, 1)) {}

OidNameCache &OidNameCache::local()
{
    static OidNameCache cache;
    return cache;
}

const OidNameCache::Entry *OidNameCache::find(const AsnObjectIdentifier &oid)
{
    if (const uint64_t generation = mibsetup::generation(); generation != m_generation) {
        m_index.clear();
        m_order.clear();
        m_generation = generation;
    }
    const std::vector<uint32_t> &ids = oid.ids;

    // A walk stays with one column for many rows: the node used last is
    // still the longest known prefix when the OID starts with it and goes on
    // with a number none of its children has.
    if (!m_order.empty()) {
        const Entry &last = m_order.front();
        const size_t length = last.prefix.size();
        if (ids.size() >= length && std::equal(last.prefix.begin(), last.prefix.end(), ids.begin())) {
            const tree *child = ids.size() > length ? last.node->child_list : nullptr;
            while (child && child->subid != ids[length])
                child = child->next_peer;
            if (!child)
                return &last;
        }
    }

    SnmpMgrLoadMibs();
    const KnownPrefix known = knownPrefix(ids);
    if (known.length == 0)
        return nullptr;
    m_key.assign(ids.begin(), ids.begin() + std::ptrdiff_t(known.length));
    if (const auto it = m_index.find(m_key); it != m_index.end()) {
        m_order.splice(m_order.begin(), m_order, it->second);
        return &m_order.front();
    }

    if (m_index.size() >= m_capacity) {
        m_index.erase(m_order.back().prefix);
        m_order.pop_back();
    }
    Entry &entry = m_order.emplace_front();
    entry.prefix = m_key;
    entry.node = known.node;
    entry.pathText = known.pathText;
    entry.numericSuffix = numericIndexes(known.indexes) && prefixText(entry.prefix, entry.text);
    entry.role = roleOf(known.node);
    m_index.emplace(entry.prefix, m_order.begin());
    return &entry;
}

RowRole OidNameCache::name(const AsnObjectIdentifier &oid, std::string &text)
{
    const Entry *entry = find(oid);
    if (!entry) {
        fullName(oid, text);
        return RowRole::Plain;
    }
    const std::vector<uint32_t> &ids = oid.ids;
    const size_t length = entry->prefix.size();
    if (entry->numericSuffix && ids.size() > length && moduleFormat()) {
        text.clear();
        text.reserve(entry->text.size() + 11 * (ids.size() - length));
        text.append(entry->text);
        char number[16];
        for (size_t i = length; i < ids.size(); ++i) {
            text.push_back('.');
            text.append(number, std::to_chars(number, number + sizeof(number), ids[i]).ptr);
        }
        if (entry->pathText + text.size() - entry->text.size() <= MaxPathText) {
            ++m_counts.cached;
            return entry->role;
        }
    }
    fullName(oid, text);
    return entry->role;
}

void OidNameCache::fullName(const AsnObjectIdentifier &oid, std::string &text)
{
    char *name = nullptr;
    SnmpMgrOidToStr(&oid, &name);
    const SnmpText owned(name);
    text.assign(owned ? owned.get() : "");
    ++m_counts.full;
}
