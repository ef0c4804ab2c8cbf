// SPDX-License-Identifier: MIT
#include "engine/mib/mibinfo.h"

#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"
#include "engine/mib/textconventions.h"
#include "engine/snmp/snmprecords.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <unordered_map>

namespace {

bool isEntry(const tree *node)
{
    return node && (node->indexes || node->augments);
}

MibSyntax syntaxOf(int type)
{
    switch (type) {
    case TYPE_INTEGER:
    case TYPE_INTEGER32:
        return MibSyntax::Integer;
    case TYPE_OCTETSTR:
        return MibSyntax::OctetString;
    case TYPE_OBJID:
        return MibSyntax::ObjectIdentifier;
    case TYPE_IPADDR:
        return MibSyntax::IpAddress;
    case TYPE_COUNTER:
        return MibSyntax::Counter32;
    case TYPE_GAUGE:
    case TYPE_UNSIGNED32:
        return MibSyntax::Gauge32;
    case TYPE_TIMETICKS:
        return MibSyntax::TimeTicks;
    case TYPE_OPAQUE:
        return MibSyntax::Opaque;
    case TYPE_COUNTER64:
        return MibSyntax::Counter64;
    case TYPE_UINTEGER:
        return MibSyntax::Unsigned32;
    case TYPE_BITSTRING:
        return MibSyntax::Bits;
    case TYPE_NETADDR:
    case TYPE_NSAPADDRESS:
    case TYPE_NULL:
        return MibSyntax::Other;
    default:
        return MibSyntax::None;
    }
}

const char *typeName(int type)
{
    switch (type) {
    case TYPE_INTEGER:
        return "INTEGER";
    case TYPE_INTEGER32:
        return "Integer32";
    case TYPE_OCTETSTR:
        return "OCTET STRING";
    case TYPE_OBJID:
        return "OBJECT IDENTIFIER";
    case TYPE_IPADDR:
        return "IpAddress";
    case TYPE_COUNTER:
        return "Counter32";
    case TYPE_GAUGE:
        return "Gauge32";
    case TYPE_UNSIGNED32:
        return "Unsigned32";
    case TYPE_TIMETICKS:
        return "TimeTicks";
    case TYPE_OPAQUE:
        return "Opaque";
    case TYPE_COUNTER64:
        return "Counter64";
    case TYPE_UINTEGER:
        return "UInteger32";
    case TYPE_BITSTRING:
        return "BITS";
    case TYPE_NETADDR:
        return "NetworkAddress";
    case TYPE_NSAPADDRESS:
        return "NsapAddress";
    case TYPE_NULL:
        return "NULL";
    case TYPE_TRAPTYPE:
        return "TRAP-TYPE";
    case TYPE_NOTIFTYPE:
        return "NOTIFICATION-TYPE";
    case TYPE_OBJGROUP:
        return "OBJECT-GROUP";
    case TYPE_NOTIFGROUP:
        return "NOTIFICATION-GROUP";
    case TYPE_MODID:
        return "MODULE-IDENTITY";
    case TYPE_AGENTCAP:
        return "AGENT-CAPABILITIES";
    case TYPE_MODCOMP:
        return "MODULE-COMPLIANCE";
    case TYPE_OBJIDENTITY:
        return "OBJECT-IDENTITY";
    default:
        return "";
    }
}

const char *accessText(int access)
{
    switch (access) {
    case MIB_ACCESS_READONLY:
        return "read-only";
    case MIB_ACCESS_READWRITE:
        return "read-write";
    case MIB_ACCESS_WRITEONLY:
        return "write-only";
    case MIB_ACCESS_NOACCESS:
        return "not-accessible";
    case MIB_ACCESS_NOTIFY:
        return "accessible-for-notify";
    case MIB_ACCESS_CREATE:
        return "read-create";
    default:
        return "";
    }
}

const char *statusText(int status)
{
    switch (status) {
    case MIB_STATUS_MANDATORY:
        return "mandatory";
    case MIB_STATUS_OPTIONAL:
        return "optional";
    case MIB_STATUS_OBSOLETE:
        return "obsolete";
    case MIB_STATUS_DEPRECATED:
        return "deprecated";
    case MIB_STATUS_CURRENT:
        return "current";
    default:
        return "";
    }
}

MibKind kindOf(const tree *node)
{
    if (node->type == TYPE_NOTIFTYPE || node->type == TYPE_TRAPTYPE)
        return MibKind::Notification;
    if (isEntry(node))
        return MibKind::Entry;
    if (node->child_list && isEntry(node->child_list) && !node->child_list->next_peer)
        return MibKind::Table;
    if (node->type >= TYPE_OBJID && node->type <= TYPE_SIMPLE_LAST && !node->child_list)
        return isEntry(node->parent) ? MibKind::Column : MibKind::Scalar;
    return MibKind::Node;
}

std::string text(const char *value)
{
    return value ? std::string(value) : std::string();
}

std::vector<uint32_t> pathOf(const tree *node)
{
    std::vector<uint32_t> path;
    for (; node; node = node->parent)
        path.push_back(uint32_t(node->subid));
    std::reverse(path.begin(), path.end());
    return path;
}

std::string conventionOf(const tree *node)
{
    return node->tc_index >= 0 ? text(get_tc_descriptor(node->tc_index)) : std::string();
}

// Whether the text holds the label as a word of its own.
bool mentions(const char *text, const char *label)
{
    if (!text || !label || !*label)
        return false;
    const std::string_view haystack(text);
    const std::string_view word(label);
    const auto wordCharacter = [](char c) { return std::isalnum(uint8_t(c)) || c == '-' || c == '_'; };
    for (size_t at = haystack.find(word); at != std::string_view::npos; at = haystack.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !wordCharacter(haystack[at - 1])) && (end == haystack.size() || !wordCharacter(haystack[end])))
            return true;
    }
    return false;
}

// The InetAddressType an InetAddress goes by (RFC 4001): of its peers, the
// one its DESCRIPTION names, else by convention the nearest one before it.
std::vector<uint32_t> addressTypeOf(const tree *node)
{
    if (!node->parent || conventionOf(node) != "InetAddress")
        return {};
    const tree *named = nullptr;
    const tree *before = nullptr;
    for (const tree *peer = node->parent->child_list; peer; peer = peer->next_peer) {
        if (peer == node || conventionOf(peer) != "InetAddressType")
            continue;
        if (!named && mentions(node->description, peer->label))
            named = peer;
        if (peer->subid < node->subid && (!before || peer->subid > before->subid))
            before = peer;
    }
    const tree *type = named ? named : before;
    return type ? pathOf(type) : std::vector<uint32_t>();
}

MibObject objectOf(const tree *node)
{
    MibObject object;
    if (const module *owner = find_module(node->modid))
        object.module = text(owner->name);
    object.label = text(node->label);
    object.oid = pathOf(node);
    object.kind = kindOf(node);
    object.syntax = syntaxOf(node->type);
    object.typeName = typeName(node->type);
    object.textualConvention = conventionOf(node);
    for (const enum_list *e = node->enums; e; e = e->next)
        object.enums.push_back({e->value, text(e->label)});
    // The library keeps ranges as int; an unsigned bound above 2^31 wrapped.
    const bool isUnsigned = object.syntax == MibSyntax::Counter32 || object.syntax == MibSyntax::Gauge32
        || object.syntax == MibSyntax::Unsigned32 || object.syntax == MibSyntax::TimeTicks
        || object.syntax == MibSyntax::OctetString || object.syntax == MibSyntax::Opaque;
    for (const range_list *r = node->ranges; r; r = r->next) {
        if (isUnsigned)
            object.ranges.push_back({int64_t(uint32_t(r->low)), int64_t(uint32_t(r->high))});
        else
            object.ranges.push_back({r->low, r->high});
    }
    object.units = text(node->units);
    object.hint = text(node->hint);
    if (object.kind == MibKind::Scalar || object.kind == MibKind::Column)
        object.access = accessText(node->access);
    object.status = statusText(node->status);
    if (node->parent)
        object.parent = text(node->parent->label);
    object.addressType = addressTypeOf(node);
    return object;
}

const tree *nodeFor(std::span<const uint32_t> name)
{
    if (name.empty())
        return nullptr;
    SnmpMgrLoadMibs();
    static std::vector<oid> ids;
    ids.assign(name.begin(), name.end());
    return get_tree(ids.data(), ids.size(), get_tree_head());
}

// Built once per node and MIB generation: the rendering asks for the same
// few objects on every row. A reload frees nodes and reuses their addresses,
// so the records of an earlier generation go as soon as it has moved on.
const MibObject &cachedObject(const tree *node)
{
    static std::unordered_map<const tree *, std::unique_ptr<const MibObject>> cache;
    static uint64_t cacheGeneration = 0;
    if (const uint64_t generation = mibsetup::generation(); generation != cacheGeneration) {
        cache.clear();
        cacheGeneration = generation;
    }
    std::unique_ptr<const MibObject> &slot = cache[node];
    if (!slot)
        slot = std::make_unique<const MibObject>(objectOf(node));
    return *slot;
}

const tree *findObject(const char *label, int preferredModule)
{
    if (const tree *node = find_tree_node(label, preferredModule))
        return node;
    return find_tree_node(label, -1);
}

// The DESCRIPTION as the module file holds it, lines after the first
// indented to the clause: the common indentation goes.
std::string dedented(const char *raw)
{
    const std::string source = text(raw);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= source.size()) {
        size_t end = source.find('\n', start);
        if (end == std::string::npos)
            end = source.size();
        std::string line = source.substr(start, end - start);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    size_t indent = std::string::npos;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (!lines[i].empty())
            indent = std::min(indent, lines[i].find_first_not_of(" \t"));
    }
    std::string result;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            result.push_back('\n');
        const size_t cut = i == 0 || indent == std::string::npos ? 0 : std::min(indent, lines[i].size());
        result.append(lines[i], cut);
    }
    while (!result.empty() && result.back() == '\n')
        result.pop_back();
    return result;
}

std::string numbersText(std::span<const uint32_t> ids)
{
    std::string out;
    for (const uint32_t id : ids) {
        // Two appends: "." + std::to_string() trips GCC 12's -Wrestrict at -O2.
        out += '.';
        out += std::to_string(id);
    }
    return out;
}

// An OID as a name where a module names it, else in dotted decimal.
std::string oidName(std::span<const uint32_t> ids)
{
    return objectName(ids).value_or(numbersText(ids));
}

// A string index part's text: by its address type, its hint, as quoted text
// when all of it is printable, else in hex.
std::string octetsText(const std::string &bytes, const MibObject &object, std::optional<int64_t> addressType)
{
    if (object.textualConvention.rfind("InetAddress", 0) == 0 && object.textualConvention != "InetAddressType"
        && object.textualConvention != "InetAddressPrefixLength") {
        if (auto address = inetAddressText(bytes, addressType.value_or(0)))
            return *address;
    }
    if (!object.hint.empty()) {
        // A text is quoted, so that an empty one or one with blanks shows.
        const bool text = object.hint.find_first_of("dxo") == std::string::npos;
        if (auto hinted = hintedOctets(bytes, object.hint))
            return text ? "\"" + *hinted + "\"" : *hinted;
    }
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return "\"" + bytes + "\"";
    std::string dump = hexDump(bytes);
    if (!dump.empty())
        dump.pop_back();
    return dump;
}

// Reads the instance by the entry's INDEX objects; false when it does not fit.
bool decodeIndex(const tree *entry, std::span<const uint32_t> rest, MibDefinition &out)
{
    if (!entry->indexes && entry->augments) {
        const tree *augmented = findObject(entry->augments, entry->modid);
        if (!augmented || !augmented->indexes)
            return false;
        entry = augmented;
    }
    std::optional<int64_t> addressType; // of the InetAddressType part just read
    for (const index_list *part = entry->indexes; part; part = part->next) {
        out.indexObjects.push_back(std::string(part->isimplied ? "IMPLIED " : "") + text(part->ilabel));
    }
    for (const index_list *part = entry->indexes; part; part = part->next) {
        const tree *node = findObject(part->ilabel, entry->modid);
        if (!node)
            return false;
        const MibObject &object = cachedObject(node);
        const bool implied = part->isimplied && !part->next;
        std::string value;
        switch (object.syntax) {
        case MibSyntax::Integer:
        case MibSyntax::Counter32:
        case MibSyntax::Gauge32:
        case MibSyntax::Unsigned32:
        case MibSyntax::TimeTicks: {
            if (rest.empty())
                return false;
            const int64_t number = object.syntax == MibSyntax::Integer ? int64_t(int32_t(rest[0])) : rest[0];
            value = enumText(number, object).value_or(std::to_string(number));
            if (object.textualConvention == "InetAddressType")
                addressType = number;
            rest = rest.subspan(1);
            break;
        }
        case MibSyntax::IpAddress:
        case MibSyntax::Other: {
            // RFC 1212: a NetworkAddress index is 1 (internet) and the four octets.
            size_t skip = 0;
            if (node->type == TYPE_NETADDR) {
                if (rest.empty() || rest[0] != 1)
                    return false;
                skip = 1;
            } else if (object.syntax == MibSyntax::Other) {
                return false;
            }
            if (rest.size() < skip + 4 || std::any_of(rest.begin() + skip, rest.begin() + skip + 4,
                                                      [](uint32_t id) { return id > 255; }))
                return false;
            for (size_t i = skip; i < skip + 4; ++i) {
                if (i > skip)
                    value += '.';
                value += std::to_string(rest[i]);
            }
            rest = rest.subspan(skip + 4);
            break;
        }
        case MibSyntax::OctetString:
        case MibSyntax::Bits:
        case MibSyntax::Opaque:
        case MibSyntax::ObjectIdentifier: {
            size_t length = 0;
            const bool fixed = object.syntax != MibSyntax::ObjectIdentifier && object.ranges.size() == 1
                && object.ranges[0].low == object.ranges[0].high;
            if (implied) {
                length = rest.size();
            } else if (fixed) {
                length = size_t(object.ranges[0].low);
            } else {
                if (rest.empty())
                    return false;
                length = rest[0];
                rest = rest.subspan(1);
            }
            if (length > rest.size())
                return false;
            const std::span<const uint32_t> ids = rest.first(length);
            rest = rest.subspan(length);
            if (object.syntax == MibSyntax::ObjectIdentifier) {
                value = oidName(ids);
                break;
            }
            if (std::any_of(ids.begin(), ids.end(), [](uint32_t id) { return id > 255; }))
                return false;
            value = octetsText(std::string(ids.begin(), ids.end()), object, addressType);
            break;
        }
        default:
            return false;
        }
        out.index.push_back({object.label, value});
    }
    return rest.empty();
}

} // namespace

const MibObject *mibObject(std::span<const uint32_t> oid)
{
    const tree *node = nodeFor(oid);
    if (!node)
        return nullptr;
    const MibKind kind = kindOf(node);
    if (kind != MibKind::Scalar && kind != MibKind::Column)
        return nullptr;
    return &cachedObject(node);
}

std::optional<MibEntryIndex> mibEntryIndex(std::span<const uint32_t> entry)
{
    const tree *node = nodeFor(entry);
    if (!node || !isEntry(node) || pathOf(node).size() != entry.size())
        return std::nullopt;
    MibDefinition parts;
    decodeIndex(node, {}, parts);
    MibEntryIndex out;
    out.entry.assign(entry.begin(), entry.end());
    out.objects = std::move(parts.indexObjects);
    out.generation = mibsetup::generation();
    return out;
}

std::optional<std::vector<MibIndexPart>> mibDecodeIndex(const MibEntryIndex &entry, std::span<const uint32_t> suffix)
{
    if (entry.generation != mibsetup::generation())
        return std::nullopt;
    // A table's rows come one after another: its entry node is looked up once.
    static std::vector<uint32_t> lastEntry;
    static const tree *lastNode = nullptr;
    static uint64_t lastGeneration = 0;
    if (lastGeneration != entry.generation || lastEntry != entry.entry) {
        lastNode = nodeFor(entry.entry);
        lastEntry = entry.entry;
        lastGeneration = entry.generation;
    }
    MibDefinition decoded;
    if (!lastNode || !decodeIndex(lastNode, suffix, decoded))
        return std::nullopt;
    return std::move(decoded.index);
}

std::optional<MibDefinition> mibDefinition(std::span<const uint32_t> oid)
{
    const tree *node = nodeFor(oid);
    if (!node || !find_module(node->modid))
        return std::nullopt;
    MibDefinition definition;
    definition.object = objectOf(node);
    const size_t own = definition.object.oid.size();
    if (own < oid.size()) {
        const MibKind kind = definition.object.kind;
        if (kind != MibKind::Scalar && kind != MibKind::Column)
            return std::nullopt;
        definition.instance.assign(oid.begin() + std::ptrdiff_t(own), oid.end());
    }
    definition.description = dedented(node->description);
    if (definition.object.kind == MibKind::Column) {
        MibDefinition decoded;
        decoded.indexFits = decodeIndex(node->parent, definition.instance, decoded);
        definition.indexObjects = std::move(decoded.indexObjects);
        if (decoded.indexFits)
            definition.index = std::move(decoded.index);
        definition.indexFits = decoded.indexFits;
    } else if (definition.object.kind == MibKind::Scalar) {
        definition.indexFits = definition.instance.size() == 1 && definition.instance[0] == 0;
    }
    return definition;
}

std::string mibSyntaxText(const MibObject &object)
{
    std::string base = object.typeName;
    if (!object.enums.empty()) {
        base += " {";
        for (size_t i = 0; i < object.enums.size(); ++i)
            base += (i ? ", " : "") + object.enums[i].label + "(" + std::to_string(object.enums[i].value) + ")";
        base += "}";
    } else if (!object.ranges.empty()) {
        const bool size = object.syntax == MibSyntax::OctetString || object.syntax == MibSyntax::Opaque;
        std::string ranges;
        for (size_t i = 0; i < object.ranges.size(); ++i) {
            const MibRange &r = object.ranges[i];
            ranges += (i ? " | " : "") + std::to_string(r.low);
            if (r.high != r.low)
                ranges += ".." + std::to_string(r.high);
        }
        base += size ? " (SIZE (" + ranges + "))" : " (" + ranges + ")";
    }
    if (object.textualConvention.empty())
        return base;
    return object.textualConvention + " (" + base + ")";
}

std::optional<std::string> enumText(int64_t value, const MibObject &object)
{
    for (const MibNamedNumber &e : object.enums) {
        if (e.value == value)
            return e.label + "(" + std::to_string(value) + ")";
    }
    return std::nullopt;
}
