// SPDX-License-Identifier: MIT
#pragma once

// The loaded MIB set as a tree the MIB Tree window browses and searches, and
// the names the Oids box completes: one snapshot of Net-SNMP's parsed tree,
// taken once after each change of the loaded set and then only read. Nodes
// are numbered in OID order (depth first, children by sub-identifier).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class MibTree
{
public:
    using NodeId = int32_t;
    static constexpr NodeId None = -1;

    // The tree of the loaded set, loading the MIBs first if they are not
    // yet; taken anew when the set changed since the last call.
    static std::shared_ptr<const MibTree> current();

    uint64_t generation() const { return m_generation; }
    NodeId nodeCount() const { return NodeId(m_nodes.size()); }

    std::string_view name(NodeId node) const;
    // Dotted decimal without a leading dot, worked out from the node's
    // parents: kept for every node, the texts of a deep chain would grow with
    // the square of its depth.
    std::string dottedOid(NodeId node) const;
    std::vector<uint32_t> oid(NodeId node) const;
    NodeId parent(NodeId node) const { return m_nodes[size_t(node)].parent; }
    // The node with exactly this OID; None when the tree has none.
    NodeId find(const std::vector<uint32_t> &oid) const;
    // The nodes of exactly this name (letter case counts), in OID order.
    std::vector<NodeId> named(std::string_view name) const;

    // The loaded modules, sorted by name.
    int moduleCount() const { return int(m_modules.size()); }
    const std::string &moduleName(int module) const { return m_modules[size_t(module)].name; }
    int moduleIndex(std::string_view name) const; // case-insensitive; -1 when not loaded
    // The module that defined the node first; -1 for the roots nobody defines.
    int primaryModule(NodeId node) const;
    bool definedIn(NodeId node, int module) const;
    // The module's nodes whose parent it does not define, in OID order.
    const std::vector<NodeId> &moduleRoots(int module) const { return m_modules[size_t(module)].roots; }
    // The node's children that the module defines (all of them for -1), in OID order.
    std::vector<NodeId> children(NodeId node, int module) const;

    // Nodes found by a name (case-insensitive: the whole name, then names
    // starting with it, then names containing it; "MODULE::name" looks in
    // that module only), an OID (".1.3.6" from the root, "2.2.1.8" anywhere
    // along a path) or words that all begin words of the DESCRIPTION, in
    // that order, each part in OID order.
    std::vector<NodeId> search(std::string_view query) const;

    // Every name and every MODULE::name, sorted case-insensitively, once
    // each; worked out at the first call, which the window never makes.
    const std::vector<std::string> &completionNames() const;

private:
    struct Node
    {
        uint32_t subid = 0;
        NodeId parent = None;
        uint32_t nameStart = 0;
        uint32_t childStart = 0;  // into m_childList
        uint32_t moduleStart = 0; // into m_memberships
        uint32_t childCount = 0;
        uint32_t moduleCount = 0;
        uint16_t nameLength = 0;
    };
    struct Module
    {
        std::string name;
        std::vector<NodeId> roots;
    };

    MibTree() = default;
    void build();
    std::vector<NodeId> searchOid(std::string_view query) const;
    std::vector<NodeId> searchDescriptions(const std::vector<std::string> &words, int module) const;

    uint64_t m_generation = 0;
    std::vector<Node> m_nodes;
    std::vector<NodeId> m_roots;
    std::vector<NodeId> m_childList;
    std::vector<int> m_memberships; // module indexes
    std::string m_names;
    std::string m_lowerNames;
    // Every DESCRIPTION in lower case, each ended by a NUL; m_describedNodes
    // are the nodes that have one, m_descriptionStarts where theirs begins.
    std::string m_descriptions;
    std::vector<NodeId> m_describedNodes;
    std::vector<uint32_t> m_descriptionStarts;
    std::vector<Module> m_modules;
    mutable bool m_completionsBuilt = false;
    mutable std::vector<std::string> m_completions;
};
