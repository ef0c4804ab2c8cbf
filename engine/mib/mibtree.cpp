// SPDX-License-Identifier: MIT
#include "engine/mib/mibtree.h"

#include "engine/mib/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
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
    m_descriptions.reserve(text);
    m_describedNodes.reserve(described);
    m_descriptionStarts.reserve(described);

    // Depth first from the roots, children by sub-identifier: ids in OID
    // order. A stack of its own rather than the call stack, which a module
    // of a chain some 30,000 deep exhausted.
    struct Visit
    {
        const struct tree *tp;
        NodeId parent;
        uint32_t slot; // where its id goes in m_childList; NoSlot for a root
    };
    constexpr uint32_t NoSlot = UINT32_MAX;
    const auto byNumber = [](const struct tree *a, const struct tree *b) { return a->subid < b->subid; };
    std::vector<const struct tree *> children;
    for (const struct tree *root = get_tree_head(); root; root = root->next_peer)
        children.push_back(root);
    std::stable_sort(children.begin(), children.end(), byNumber);
    std::vector<Visit> stack;
    for (auto root = children.rbegin(); root != children.rend(); ++root)
        stack.push_back({*root, None, NoSlot});
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        const struct tree *tp = visit.tp;
        const NodeId id = NodeId(m_nodes.size());
        Node node;
        node.subid = uint32_t(tp->subid);
        node.parent = visit.parent;
        const std::string_view label = tp->label ? tp->label : "";
        node.nameStart = uint32_t(m_names.size());
        node.nameLength = uint16_t(std::min<size_t>(label.size(), 0xFFFF));
        m_names.append(label.substr(0, node.nameLength));
        appendLowered(m_lowerNames, label.substr(0, node.nameLength));
        node.moduleStart = uint32_t(m_memberships.size());
        for (int i = 0; i < tp->number_modules; ++i) {
            const int modid = tp->module_list[i];
            const int module = modid >= 0 && modid <= maxId ? indexOfId[size_t(modid)] : -1;
            if (module >= 0 && std::find(m_memberships.begin() + node.moduleStart, m_memberships.end(), module) == m_memberships.end())
                m_memberships.push_back(module);
        }
        node.moduleCount = uint32_t(m_memberships.size() - node.moduleStart);
        if (tp->description && *tp->description) {
            m_describedNodes.push_back(id);
            m_descriptionStarts.push_back(uint32_t(m_descriptions.size()));
            appendLowered(m_descriptions, tp->description);
            m_descriptions.push_back('\0');
        }
        children.clear();
        for (const struct tree *child = tp->child_list; child; child = child->next_peer)
            children.push_back(child);
        std::stable_sort(children.begin(), children.end(), byNumber);
        node.childStart = uint32_t(m_childList.size());
        node.childCount = uint32_t(children.size());
        m_nodes.push_back(node);
        m_childList.resize(m_childList.size() + children.size());
        if (visit.slot == NoSlot)
            m_roots.push_back(id);
        else
            m_childList[visit.slot] = id;
        for (size_t i = children.size(); i-- > 0;)
            stack.push_back({children[i], id, node.childStart + uint32_t(i)});
    }

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

std::string MibTree::dottedOid(NodeId node) const
{
    std::string text;
    for (const uint32_t id : oid(node)) {
        if (!text.empty())
            text += '.';
        text += std::to_string(id);
    }
    return text;
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
    // The query's numbers must be whole sub-identifiers of the OID, one after
    // the other: "1..3" or "01" names none.
    std::vector<uint32_t> wanted;
    for (size_t start = 0; start <= query.size();) {
        size_t end = query.find('.', start);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view number = query.substr(start, end - start);
        uint32_t value = 0;
        const auto [last, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (number.empty() || ec != std::errc() || last != number.data() + number.size()
            || (number.size() > 1 && number.front() == '0'))
            return {};
        wanted.push_back(value);
        start = end + 1;
    }

    // One pass in id order, parents before children: each node carries how
    // much of the query its path ends with (Knuth-Morris-Pratt), or from the
    // root how much of it the path begins with (-1: no longer can).
    const size_t k = wanted.size();
    std::vector<size_t> fallback(k + 1, 0);
    for (size_t i = 1, j = 0; i < k; ++i) {
        while (j > 0 && wanted[i] != wanted[j])
            j = fallback[j];
        if (wanted[i] == wanted[j])
            ++j;
        fallback[i + 1] = j;
    }
    std::vector<int> matched(m_nodes.size(), 0);
    std::vector<bool> found(m_nodes.size(), false);
    const NodeId exactNode = find(wanted);
    std::vector<NodeId> exact;
    std::vector<NodeId> others;
    for (NodeId id = 0; id < nodeCount(); ++id) {
        const Node &n = m_nodes[size_t(id)];
        const bool parentFound = n.parent != None && found[size_t(n.parent)];
        int before = n.parent == None ? 0 : matched[size_t(n.parent)];
        int now = -1;
        if (fromRoot) {
            now = before >= 0 && size_t(before) < k && wanted[size_t(before)] == n.subid ? before + 1 : -1;
        } else {
            size_t j = size_t(before) == k ? fallback[k] : size_t(before);
            while (j > 0 && wanted[j] != n.subid)
                j = fallback[j];
            now = int(wanted[j] == n.subid ? j + 1 : 0);
        }
        matched[size_t(id)] = now;
        found[size_t(id)] = parentFound || (now >= 0 && size_t(now) == k);
        if (found[size_t(id)])
            (id == exactNode ? exact : others).push_back(id);
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
