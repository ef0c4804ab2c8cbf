// SPDX-License-Identifier: MIT
#include "engine/mib/mibtree.h"

#include "engine/mib/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

void appendLowered(std::string &to, std::string_view text)
{
    const size_t start = to.size();
    to.append(text);
    std::transform(to.begin() + std::ptrdiff_t(start), to.end(), to.begin() + std::ptrdiff_t(start), lower);
}

bool lessIgnoringCase(std::string_view a, std::string_view b)
{
    return lowered(a) < lowered(b);
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

bool isDottedNumbers(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789.") == std::string_view::npos
        && text.find_first_of("0123456789") != std::string_view::npos;
}

std::shared_ptr<const MibTree> g_current;

} // namespace

std::shared_ptr<const MibTree> MibTree::current()
{
    mibsetup::ensureLoaded();
    if (!g_current || g_current->generation() != mibsetup::generation()) {
        std::shared_ptr<MibTree> tree(new MibTree);
        tree->build();
        g_current = std::move(tree);
    }
    return g_current;
}

void MibTree::build()
{
    m_generation = mibsetup::generation();

    // The modules read so far; Net-SNMP numbers them from 0 and never forgets one.
    std::vector<std::pair<std::string, int>> loaded;
    int maxId = -1;
    for (int id = 0;; ++id) {
        const struct module *record = find_module(id);
        if (!record)
            break;
        maxId = id;
        if (record->no_imports != -1 && record->name)
            loaded.emplace_back(record->name, id);
    }
    std::sort(loaded.begin(), loaded.end(), [](const auto &a, const auto &b) { return lessIgnoringCase(a.first, b.first); });
    std::vector<int> indexOfId(size_t(maxId + 1), -1);
    for (const auto &[name, id] : loaded) {
        indexOfId[size_t(id)] = int(m_modules.size());
        m_modules.push_back({name, {}});
    }

    // Depth first from the roots, children by sub-identifier: ids in OID order.
    const auto byNumber = [](const struct tree *a, const struct tree *b) { return a->subid < b->subid; };
    const auto add = [&](auto &self, const struct tree *tp, NodeId parent, const std::string &parentOid) -> NodeId {
        const NodeId id = NodeId(m_nodes.size());
        Node node;
        node.subid = uint32_t(tp->subid);
        node.parent = parent;
        const std::string_view label = tp->label ? tp->label : "";
        node.nameStart = uint32_t(m_names.size());
        node.nameLength = uint16_t(std::min<size_t>(label.size(), 0xFFFF));
        m_names.append(label.substr(0, node.nameLength));
        appendLowered(m_lowerNames, label.substr(0, node.nameLength));
        std::string oidText = parentOid.empty() ? std::to_string(node.subid) : parentOid + "." + std::to_string(node.subid);
        node.oidStart = uint32_t(m_oids.size());
        node.oidLength = uint16_t(oidText.size());
        m_oids.append(oidText);
        node.moduleStart = uint32_t(m_memberships.size());
        for (int i = 0; i < tp->number_modules; ++i) {
            const int modid = tp->module_list[i];
            const int module = modid >= 0 && modid <= maxId ? indexOfId[size_t(modid)] : -1;
            if (module >= 0 && std::find(m_memberships.begin() + node.moduleStart, m_memberships.end(), module) == m_memberships.end())
                m_memberships.push_back(module);
        }
        node.moduleCount = uint16_t(m_memberships.size() - node.moduleStart);
        if (tp->description && *tp->description) {
            m_describedNodes.push_back(id);
            m_descriptionStarts.push_back(uint32_t(m_descriptions.size()));
            appendLowered(m_descriptions, tp->description);
            m_descriptions.push_back('\0');
        }
        std::vector<const struct tree *> children;
        for (const struct tree *child = tp->child_list; child; child = child->next_peer)
            children.push_back(child);
        std::stable_sort(children.begin(), children.end(), byNumber);
        node.childStart = uint32_t(m_childList.size());
        node.childCount = uint32_t(children.size());
        m_nodes.push_back(node);
        m_childList.resize(m_childList.size() + children.size());
        for (size_t i = 0; i < children.size(); ++i) {
            const NodeId child = self(self, children[i], id, oidText);
            m_childList[m_nodes[size_t(id)].childStart + i] = child;
        }
        return id;
    };
    // Sized first: growing the blobs as they fill copied them over and over.
    size_t nodes = 0;
    size_t described = 0;
    size_t text = 0;
    std::vector<const struct tree *> pending;
    for (const struct tree *root = get_tree_head(); root; root = root->next_peer)
        pending.push_back(root);
    while (!pending.empty()) {
        const struct tree *tp = pending.back();
        pending.pop_back();
        ++nodes;
        if (tp->description) {
            ++described;
            text += std::strlen(tp->description) + 1;
        }
        for (const struct tree *child = tp->child_list; child; child = child->next_peer)
            pending.push_back(child);
    }
    m_nodes.reserve(nodes);
    m_childList.reserve(nodes);
    m_names.reserve(nodes * 16);
    m_lowerNames.reserve(nodes * 16);
    m_oids.reserve(nodes * 24);
    m_descriptions.reserve(text);
    m_describedNodes.reserve(described);
    m_descriptionStarts.reserve(described);

    std::vector<const struct tree *> roots;
    for (const struct tree *root = get_tree_head(); root; root = root->next_peer)
        roots.push_back(root);
    std::stable_sort(roots.begin(), roots.end(), byNumber);
    for (const struct tree *root : roots)
        m_roots.push_back(add(add, root, None, std::string()));

    for (NodeId id = 0; id < nodeCount(); ++id) {
        const Node &node = m_nodes[size_t(id)];
        for (uint32_t i = 0; i < node.moduleCount; ++i) {
            const int module = m_memberships[node.moduleStart + i];
            if (node.parent == None || !definedIn(node.parent, module))
                m_modules[size_t(module)].roots.push_back(id);
        }
    }
}

const std::vector<std::string> &MibTree::completionNames() const
{
    if (!m_completionsBuilt) {
        m_completionsBuilt = true;
        // Sorted by their lower-case form, made once: comparing that is a memcmp.
        std::vector<std::pair<std::string, std::string>> keyed;
        keyed.reserve(m_nodes.size() + m_memberships.size());
        for (NodeId id = 0; id < nodeCount(); ++id) {
            const Node &node = m_nodes[size_t(id)];
            const std::string label(name(id));
            keyed.emplace_back(lowered(label), label);
            for (uint32_t i = 0; i < node.moduleCount; ++i) {
                std::string qualified = moduleName(m_memberships[node.moduleStart + i]) + "::" + label;
                keyed.emplace_back(lowered(qualified), std::move(qualified));
            }
        }
        std::sort(keyed.begin(), keyed.end());
        keyed.erase(std::unique(keyed.begin(), keyed.end()), keyed.end());
        m_completions.reserve(keyed.size());
        for (auto &[key, text] : keyed)
            m_completions.push_back(std::move(text));
    }
    return m_completions;
}

std::string_view MibTree::name(NodeId node) const
{
    const Node &n = m_nodes[size_t(node)];
    return std::string_view(m_names).substr(n.nameStart, n.nameLength);
}

std::string_view MibTree::dottedOid(NodeId node) const
{
    const Node &n = m_nodes[size_t(node)];
    return std::string_view(m_oids).substr(n.oidStart, n.oidLength);
}

std::vector<uint32_t> MibTree::oid(NodeId node) const
{
    std::vector<uint32_t> ids;
    for (NodeId at = node; at != None; at = parent(at))
        ids.push_back(m_nodes[size_t(at)].subid);
    std::reverse(ids.begin(), ids.end());
    return ids;
}

MibTree::NodeId MibTree::find(const std::vector<uint32_t> &oid) const
{
    NodeId found = None;
    const NodeId *first = m_roots.data();
    const NodeId *last = first + m_roots.size();
    for (uint32_t id : oid) {
        const NodeId *at = std::lower_bound(first, last, id, [this](NodeId n, uint32_t v) { return m_nodes[size_t(n)].subid < v; });
        if (at == last || m_nodes[size_t(*at)].subid != id)
            return None;
        found = *at;
        first = m_childList.data() + m_nodes[size_t(found)].childStart;
        last = first + m_nodes[size_t(found)].childCount;
    }
    return found;
}

std::vector<MibTree::NodeId> MibTree::named(std::string_view name) const
{
    std::vector<NodeId> out;
    for (NodeId node = 0; node < nodeCount(); ++node)
        if (this->name(node) == name)
            out.push_back(node);
    return out;
}

int MibTree::moduleIndex(std::string_view name) const
{
    const std::string wanted = lowered(name);
    for (size_t i = 0; i < m_modules.size(); ++i)
        if (lowered(m_modules[i].name) == wanted)
            return int(i);
    return -1;
}

int MibTree::primaryModule(NodeId node) const
{
    const Node &n = m_nodes[size_t(node)];
    return n.moduleCount > 0 ? m_memberships[n.moduleStart] : -1;
}

bool MibTree::definedIn(NodeId node, int module) const
{
    const Node &n = m_nodes[size_t(node)];
    const auto begin = m_memberships.begin() + n.moduleStart;
    return std::find(begin, begin + n.moduleCount, module) != begin + n.moduleCount;
}

std::vector<MibTree::NodeId> MibTree::children(NodeId node, int module) const
{
    const Node &n = m_nodes[size_t(node)];
    std::vector<NodeId> out;
    out.reserve(n.childCount);
    for (uint32_t i = 0; i < n.childCount; ++i) {
        const NodeId child = m_childList[n.childStart + i];
        if (module < 0 || definedIn(child, module))
            out.push_back(child);
    }
    return out;
}

std::vector<MibTree::NodeId> MibTree::search(std::string_view query) const
{
    query = trimmed(query);
    if (query.empty())
        return {};
    if (isDottedNumbers(query))
        return searchOid(query);

    int module = -1;
    const size_t qualifier = query.find("::");
    if (qualifier != std::string_view::npos) {
        module = moduleIndex(trimmed(query.substr(0, qualifier)));
        if (module < 0)
            return {};
        query = trimmed(query.substr(qualifier + 2));
    }
    const std::string wanted = lowered(query);
    std::vector<NodeId> exact;
    std::vector<NodeId> starting;
    std::vector<NodeId> containing;
    if (!wanted.empty()) {
        for (NodeId id = 0; id < nodeCount(); ++id) {
            const Node &n = m_nodes[size_t(id)];
            const std::string_view label = std::string_view(m_lowerNames).substr(n.nameStart, n.nameLength);
            const size_t at = label.find(wanted);
            if (at == std::string_view::npos || (module >= 0 && !definedIn(id, module)))
                continue;
            (at > 0 ? containing : label.size() == wanted.size() ? exact : starting).push_back(id);
        }
    } else if (module >= 0) {
        // "MODULE::" alone: the module's own nodes.
        for (NodeId id = 0; id < nodeCount(); ++id)
            if (definedIn(id, module))
                starting.push_back(id);
    }

    std::vector<std::string> words;
    for (size_t i = 0; i < wanted.size();) {
        while (i < wanted.size() && !isWordChar(wanted[i]))
            ++i;
        const size_t start = i;
        while (i < wanted.size() && isWordChar(wanted[i]))
            ++i;
        if (i > start)
            words.push_back(wanted.substr(start, i - start));
    }
    std::vector<NodeId> described = words.empty() ? std::vector<NodeId>() : searchDescriptions(words, module);
    // A node found by its name is not listed again for its description.
    std::vector<NodeId> byName = containing;
    byName.insert(byName.end(), starting.begin(), starting.end());
    byName.insert(byName.end(), exact.begin(), exact.end());
    std::sort(byName.begin(), byName.end());
    described.erase(std::remove_if(described.begin(), described.end(),
                                   [&](NodeId id) { return std::binary_search(byName.begin(), byName.end(), id); }),
                    described.end());

    std::vector<NodeId> found = std::move(exact);
    found.insert(found.end(), starting.begin(), starting.end());
    found.insert(found.end(), containing.begin(), containing.end());
    found.insert(found.end(), described.begin(), described.end());
    return found;
}

std::vector<MibTree::NodeId> MibTree::searchOid(std::string_view query) const
{
    const bool fromRoot = query.front() == '.';
    while (!query.empty() && query.front() == '.')
        query.remove_prefix(1);
    while (!query.empty() && query.back() == '.')
        query.remove_suffix(1);
    if (query.empty())
        return {};
    std::vector<NodeId> exact;
    std::vector<NodeId> others;
    for (NodeId id = 0; id < nodeCount(); ++id) {
        const std::string_view oid = dottedOid(id);
        for (size_t at = oid.find(query); at != std::string_view::npos; at = oid.find(query, at + 1)) {
            const size_t end = at + query.size();
            if ((at == 0 || oid[at - 1] == '.') && (end == oid.size() || oid[end] == '.')) {
                (at == 0 && end == oid.size() ? exact : others).push_back(id);
                break;
            }
            if (fromRoot)
                break;
        }
    }
    exact.insert(exact.end(), others.begin(), others.end());
    return exact;
}

std::vector<MibTree::NodeId> MibTree::searchDescriptions(const std::vector<std::string> &words, int module) const
{
    // One pass over all the text for the longest word (the rarest, most
    // likely); the others are looked for in the descriptions it found.
    const auto longest = std::max_element(words.begin(), words.end(),
                                          [](const std::string &a, const std::string &b) { return a.size() < b.size(); });
    const auto startsWord = [](std::string_view text, size_t at) { return at == 0 || !isWordChar(text[at - 1]); };
    const auto containsWord = [&](std::string_view text, const std::string &word) {
        for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
            if (startsWord(text, at))
                return true;
        return false;
    };

    std::vector<NodeId> found;
    const char *base = m_descriptions.data();
    const size_t total = m_descriptions.size();
    size_t pos = 0;
    while (pos < total) {
        const void *hit = memmem(base + pos, total - pos, longest->data(), longest->size());
        if (!hit)
            break;
        const size_t at = size_t(static_cast<const char *>(hit) - base);
        const size_t index = size_t(std::upper_bound(m_descriptionStarts.begin(), m_descriptionStarts.end(), uint32_t(at))
                                    - m_descriptionStarts.begin() - 1);
        const size_t start = m_descriptionStarts[index];
        const size_t end = m_descriptions.find('\0', at);
        const std::string_view text(base + start, end - start);
        if (!startsWord(text, at - start)) {
            pos = at + 1;
            continue;
        }
        const NodeId node = m_describedNodes[index];
        if ((module < 0 || definedIn(node, module))
            && std::all_of(words.begin(), words.end(), [&](const std::string &w) { return &w == &*longest || containsWord(text, w); }))
            found.push_back(node);
        pos = end + 1;
    }
    return found;
}
