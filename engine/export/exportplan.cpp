// SPDX-License-Identifier: MIT
#include "engine/export/exportplan.h"

#include "engine/mib/mibinfo.h"
#include "engine/mib/mibtree.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <set>
#include <string_view>

namespace {

using NodeId = MibTree::NodeId;

std::vector<uint32_t> parseDotted(std::string_view text)
{
    if (text.starts_with('.'))
        text.remove_prefix(1);
    std::vector<uint32_t> ids;
    while (!text.empty()) {
        uint32_t id = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
        if (error != std::errc() || (end != text.data() + text.size() && *end != '.'))
            return {};
        ids.push_back(id);
        text.remove_prefix(size_t(end - text.data()));
        if (text.starts_with('.')) {
            text.remove_prefix(1);
            if (text.empty())
                return {};
        }
    }
    return ids;
}

std::string dotted(const std::vector<uint32_t> &oid)
{
    std::string out;
    for (const uint32_t id : oid)
        out += (out.empty() ? "" : ".") + std::to_string(id);
    return out;
}

bool isUnder(const std::vector<uint32_t> &oid, const std::vector<uint32_t> &prefix)
{
    return oid.size() > prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

// The node a name or a dotted OID stands for: of two nodes of one name, the first.
NodeId resolve(const MibTree &tree, const std::string &name)
{
    if (const std::vector<uint32_t> oid = parseDotted(name); !oid.empty())
        return tree.find(oid);
    const std::vector<NodeId> found = tree.named(name);
    return found.empty() ? MibTree::None : found.front();
}

// How the generator is to be told of a node: its name, unless another node
// has it too (the generator would take whichever it read last).
std::string nameFor(const MibTree &tree, NodeId node)
{
    const std::string label(tree.name(node));
    if (label.empty() || tree.named(label).size() > 1)
        return std::string(tree.dottedOid(node));
    return label;
}

std::string withoutImplied(const std::string &indexObject)
{
    constexpr std::string_view Implied = "IMPLIED ";
    return indexObject.starts_with(Implied) ? indexObject.substr(Implied.size()) : indexObject;
}

std::vector<std::string> indexOf(const std::vector<uint32_t> &entry)
{
    std::vector<std::string> objects;
    if (const std::optional<MibEntryIndex> index = mibEntryIndex(entry))
        std::transform(index->objects.begin(), index->objects.end(), std::back_inserter(objects), withoutImplied);
    return objects;
}

bool isDisplayHint(const std::string &hint)
{
    // "255a", "255t": characters, as many as there are octets.
    return hint.size() >= 2 && (hint.back() == 'a' || hint.back() == 't')
        && std::all_of(hint.begin(), hint.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
}

bool isText(const MibObject &object)
{
    return object.syntax == MibSyntax::OctetString
        && (object.textualConvention == "DisplayString" || object.textualConvention == "SnmpAdminString"
            || isDisplayHint(object.hint));
}

// The exporter's type for a string object, by its syntax and display hint;
// empty where it has none but hex.
std::string stringType(const MibObject &object)
{
    if (object.syntax != MibSyntax::OctetString)
        return {};
    const std::string &tc = object.textualConvention;
    if (tc == "DateAndTime" || tc == "InetAddressIPv4" || tc == "InetAddressIPv6")
        return tc;
    if (tc == "PhysAddress" || tc == "MacAddress" || object.hint == "1x:")
        return "PhysAddress48";
    return isText(object) ? "DisplayString" : std::string();
}

// How well a column names its row: lower is better, -1 not at all.
int nameRank(const MibObject &object)
{
    if (!isText(object) || object.access.empty() || object.access == "not-accessible")
        return -1;
    constexpr std::string_view Suffixes[] = {"Name", "Descr", "Description"};
    for (size_t i = 0; i < std::size(Suffixes); ++i)
        if (object.label.size() > Suffixes[i].size() && object.label.ends_with(Suffixes[i]))
            return int(i);
    return -1;
}

// The scalars and columns at and below a node, in OID order.
void collectObjects(const MibTree &tree, NodeId top, std::set<std::vector<uint32_t>> &seen,
                    std::vector<MibObject> &objects)
{
    std::vector<NodeId> pending{top};
    while (!pending.empty()) {
        const NodeId node = pending.back();
        pending.pop_back();
        const std::vector<uint32_t> oid = tree.oid(node);
        if (const MibObject *object = mibObject(oid); object && object->oid == oid) {
            if (seen.insert(oid).second)
                objects.push_back(*object);
            continue;
        }
        const std::vector<NodeId> children = tree.children(node, -1);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

// The entries each module defines, with their INDEX clauses: read once for
// a proposal, however many tables look for a name column in the module.
class ModuleEntries
{
public:
    using Entries = std::vector<std::pair<NodeId, std::vector<std::string>>>;

    const Entries &of(const MibTree &tree, int module)
    {
        auto [at, added] = m_byModule.try_emplace(module);
        if (!added)
            return at->second;
        std::vector<NodeId> pending(tree.moduleRoots(module).rbegin(), tree.moduleRoots(module).rend());
        while (!pending.empty()) {
            const NodeId node = pending.back();
            pending.pop_back();
            if (std::vector<std::string> index = indexOf(tree.oid(node)); !index.empty()) {
                at->second.emplace_back(node, std::move(index));
                continue;
            }
            const std::vector<NodeId> children = tree.children(node, module);
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
        return at->second;
    }

private:
    std::map<int, Entries> m_byModule;
};

// The best name column of an entry whose index is `index`: the entry's own,
// else one of an entry with the same index in the modules given.
const MibObject *nameColumn(const MibTree &tree, const std::vector<uint32_t> &entry,
                            const std::vector<std::string> &index, const std::vector<std::string> &modules,
                            ModuleEntries &entries)
{
    const MibObject *best = nullptr;
    int bestRank = -1;
    const auto consider = [&](NodeId entryNode) {
        for (const NodeId column : tree.children(entryNode, -1)) {
            const MibObject *object = mibObject(tree.oid(column));
            const int rank = object ? nameRank(*object) : -1;
            if (rank >= 0 && (bestRank < 0 || rank < bestRank)
                && std::find(index.begin(), index.end(), object->label) == index.end()) {
                best = object;
                bestRank = rank;
            }
        }
    };
    const NodeId own = tree.find(entry);
    if (own != MibTree::None)
        consider(own);
    for (const std::string &name : modules) {
        if (const int module = tree.moduleIndex(name); module >= 0) {
            for (const auto &[node, nodeIndex] : entries.of(tree, module))
                if (node != own && nodeIndex == index)
                    consider(node);
        }
    }
    return best;
}

std::string moduleOf(const MibTree &tree, NodeId node)
{
    if (const std::optional<MibDefinition> definition = mibDefinition(tree.oid(node));
        definition && !definition->object.module.empty())
        return definition->object.module;
    const int module = tree.primaryModule(node);
    return module >= 0 ? tree.moduleName(module) : std::string();
}

} // namespace

std::vector<std::string> walkNamesFor(const std::vector<std::vector<uint32_t>> &oids)
{
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    std::set<std::vector<uint32_t>> chosen;
    std::vector<uint32_t> last; // the rows of a column come one after another
    for (const std::vector<uint32_t> &oid : oids) {
        if (oid.empty() || (!last.empty() && (oid == last || isUnder(oid, last))))
            continue;
        std::vector<uint32_t> object = oid;
        if (const MibObject *record = mibObject(oid)) {
            object = record->oid;
        } else if (const std::optional<MibDefinition> definition = mibDefinition(oid);
                   definition && definition->instance.empty()) {
            if (definition->object.kind == MibKind::Notification)
                continue;
            if (definition->object.kind == MibKind::Entry)
                object.pop_back();
        }
        last = object;
        chosen.insert(std::move(object));
    }
    std::vector<std::string> names;
    std::vector<uint32_t> kept;
    for (const std::vector<uint32_t> &oid : chosen) {
        if (!kept.empty() && isUnder(oid, kept))
            continue;
        kept = oid;
        const NodeId node = tree->find(oid);
        names.push_back(node == MibTree::None ? dotted(oid) : nameFor(*tree, node));
    }
    return names;
}

ExportProposal proposeFor(const std::vector<std::string> &walk, const std::vector<PrometheusLookup> &refused)
{
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    std::set<std::vector<uint32_t>> seen;
    std::vector<MibObject> objects;
    for (const std::string &name : walk) {
        if (const NodeId node = resolve(*tree, name); node != MibTree::None)
            collectObjects(*tree, node, seen, objects);
    }

    ExportProposal proposal;
    ModuleEntries moduleEntries;
    std::set<std::string> lookupColumns;
    std::set<std::vector<uint32_t>> entries;
    for (const MibObject &object : objects) {
        if (object.kind != MibKind::Column)
            continue;
        const std::vector<uint32_t> entry(object.oid.begin(), object.oid.end() - 1);
        if (!entries.insert(entry).second)
            continue;
        const std::vector<std::string> index = indexOf(entry);
        if (index.empty())
            continue;
        std::vector<std::string> modules{object.module};
        bool named = true; // by its index alone: a string needs no lookup
        for (const std::string &part : index) {
            const NodeId node = resolve(*tree, part);
            const MibObject *record = node == MibTree::None ? nullptr : mibObject(tree->oid(node));
            if (!record)
                continue;
            if (std::find(modules.begin(), modules.end(), record->module) == modules.end())
                modules.push_back(record->module);
            named = named && record->syntax == MibSyntax::OctetString;
        }
        if (named)
            continue;
        const MibObject *column = nameColumn(*tree, entry, index, modules, moduleEntries);
        if (!column)
            continue;
        PrometheusLookup lookup{index, nameFor(*tree, tree->find(column->oid))};
        if (std::find(refused.begin(), refused.end(), lookup) != refused.end())
            continue;
        if (std::find(proposal.lookups.begin(), proposal.lookups.end(), lookup) == proposal.lookups.end())
            proposal.lookups.push_back(std::move(lookup));
        if (seen.count(column->oid))
            lookupColumns.insert(column->label);
    }

    for (const MibObject &object : objects) {
        proposal.counter64 = proposal.counter64 || object.syntax == MibSyntax::Counter64;
        if (lookupColumns.count(object.label))
            proposal.overrides.push_back({object.label, prometheus::IgnoreOverride});
        else if (std::string type = stringType(object); !type.empty())
            proposal.overrides.push_back({object.label, std::move(type)});
    }
    return proposal;
}

std::vector<std::string> modulesDefining(const std::vector<std::string> &names, std::vector<std::string> *unknown)
{
    const std::shared_ptr<const MibTree> tree = MibTree::current();
    std::vector<std::string> modules;
    for (const std::string &name : names) {
        const NodeId node = resolve(*tree, name);
        const std::string module = node == MibTree::None ? std::string() : moduleOf(*tree, node);
        if (module.empty()) {
            if (unknown)
                unknown->push_back(name);
        } else if (std::find(modules.begin(), modules.end(), module) == modules.end()) {
            modules.push_back(module);
        }
    }
    return modules;
}
