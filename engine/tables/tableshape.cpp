// SPDX-License-Identifier: MIT
#include "engine/tables/tableshape.h"

#include "engine/mib/mibsetup.h"
#include "engine/mib/oidtext.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>

namespace {

uint64_t hashIds(OidSpan ids)
{
    uint64_t h = 0x9E3779B97F4A7C15ull ^ ids.size();
    for (const uint32_t id : ids) {
        h ^= id;
        h *= 0x100000001B3ull;
        h ^= h >> 29;
    }
    return h;
}

bool lessIds(OidSpan a, OidSpan b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

bool printable(uint32_t id)
{
    return id >= 0x20 && id <= 0x7E;
}

bool allPrintable(OidSpan ids)
{
    return std::ranges::all_of(ids, printable);
}

QString characters(OidSpan ids)
{
    QString text;
    text.reserve(qsizetype(ids.size()));
    for (const uint32_t id : ids)
        text.append(QChar(char16_t(id)));
    return text;
}

QString dotted(OidSpan ids)
{
    QString text;
    for (const uint32_t id : ids) {
        if (!text.isEmpty())
            text.append(u'.');
        text.append(QString::number(id));
    }
    return text;
}

// Which prefixes are entries and which of their branches columns; see the header.
class Segmenter
{
public:
    explicit Segmenter(const SortedOids &names) : m_names(names) {}

    std::map<std::vector<uint32_t>, std::set<uint32_t>> tables; // entry -> columns

    void run()
    {
        if (m_names.size() > 1)
            segment(0, m_names.size());
    }

private:
    struct Group
    {
        size_t begin;
        size_t end;
    };

    OidSpan oid(size_t i) const { return m_names.oid(i); }

    size_t commonLength(size_t a, size_t b) const
    {
        const OidSpan x = oid(a);
        const OidSpan y = oid(b);
        return size_t(std::mismatch(x.begin(), x.end(), y.begin(), y.end()).first - x.begin());
    }

    // The names of [begin, end), all longer than m, by their sub-identifier at m.
    std::vector<Group> groupsAt(size_t begin, size_t end, size_t m) const
    {
        std::vector<Group> groups;
        for (size_t i = begin; i < end;) {
            size_t j = i + 1;
            while (j < end && oid(j)[m] == oid(i)[m])
                ++j;
            groups.push_back({i, j});
            i = j;
        }
        return groups;
    }

    // prefix.v.0 alone: a scalar, no column.
    bool isScalar(const Group &g, size_t m) const
    {
        const OidSpan o = oid(g.begin);
        return g.end - g.begin == 1 && o.size() == m + 2 && o.back() == 0;
    }

    // Whether the branches are the columns of an entry at m: at least two,
    // every name with an index, not all of them ending in 0, and at least
    // half of the names with an index that another branch has too.
    bool columnsAt(const std::vector<Group> &groups, size_t m) const
    {
        size_t branches = 0;
        size_t names = 0;
        bool scalars = true; // groups of scalars alike: x.1.0, x.2.0 and y.1.0, y.2.0
        for (const Group &g : groups) {
            if (isScalar(g, m))
                continue;
            ++branches;
            names += g.end - g.begin;
            for (size_t i = g.begin; i < g.end; ++i) {
                if (oid(i).size() < m + 2)
                    return false;
                scalars = scalars && oid(i).back() == 0;
            }
        }
        if (branches < 2 || scalars)
            return false;
        // A look at some names settles it, unless it comes out near the line.
        const double sampled = sharedInSample(groups, m);
        if (sampled < 0.25 || sampled >= 0.75)
            return sampled >= 0.75;
        // Each index with its branch, by index: runs of one index.
        std::vector<std::pair<uint64_t, uint32_t>> held;
        held.reserve(names);
        uint32_t branch = 0;
        for (const Group &g : groups) {
            if (isScalar(g, m))
                continue;
            ++branch;
            for (size_t i = g.begin; i < g.end; ++i)
                held.emplace_back(hashIds(oid(i).subspan(m + 1)), branch);
        }
        std::ranges::sort(held);
        size_t shared = 0;
        for (size_t i = 0; i < held.size();) {
            size_t j = i + 1;
            while (j < held.size() && held[j].first == held[i].first)
                ++j;
            if (held[j - 1].second != held[i].second)
                shared += j - i;
            i = j;
        }
        return 2 * shared >= names;
    }

    // Whether a branch has a name with this index.
    bool holds(const Group &g, size_t m, OidSpan index) const
    {
        size_t low = g.begin;
        size_t high = g.end;
        while (low < high) {
            const size_t middle = low + (high - low) / 2;
            if (lessIds(oid(middle).subspan(m + 1), index))
                low = middle + 1;
            else
                high = middle;
        }
        return low < g.end && std::ranges::equal(oid(low).subspan(m + 1), index);
    }

    // Of up to SampleSize names of each branch, the share whose index
    // another branch has too. A branch's names are in index order, so a
    // binary search finds it.
    double sharedInSample(const std::vector<Group> &groups, size_t m) const
    {
        constexpr size_t SampleSize = 32;
        size_t sampled = 0;
        size_t shared = 0;
        for (const Group &g : groups) {
            if (isScalar(g, m))
                continue;
            const size_t size = g.end - g.begin;
            const size_t step = std::max<size_t>(1, size / SampleSize);
            for (size_t i = g.begin; i < g.end; i += step) {
                ++sampled;
                const OidSpan index = oid(i).subspan(m + 1);
                shared += std::ranges::any_of(groups, [&](const Group &other) {
                    return &other != &g && !isScalar(other, m) && holds(other, m, index);
                });
            }
        }
        return double(shared) / double(sampled);
    }

    // Sibling tables of one shape (X.1.1.c.i, X.2.1.c.i) look like the
    // columns of X: when every branch holds an entry .1 whose own branches
    // are columns, the tables are below.
    bool tablesBelow(const std::vector<Group> &groups, size_t m) const
    {
        for (const Group &g : groups) {
            if (isScalar(g, m))
                continue;
            for (size_t i = g.begin; i < g.end; ++i) {
                if (oid(i)[m + 1] != 1)
                    return false;
            }
            const size_t below = commonLength(g.begin, g.end - 1);
            if (g.end - g.begin < 2 || below < m + 2 || !columnsAt(groupsAt(g.begin, g.end, below), below))
                return false;
        }
        return true;
    }

    // True when the names of [begin, end) went to a table or are scalars.
    bool segment(size_t begin, size_t end)
    {
        size_t m = commonLength(begin, end - 1);
        // A name that is the common prefix itself sorts first and is no cell.
        while (end - begin > 1 && oid(begin).size() == m)
            m = commonLength(++begin, end - 1);
        if (end - begin < 2)
            return false;
        const OidSpan prefix = oid(begin).first(m);
        const std::vector<Group> groups = groupsAt(begin, end, m);
        if (m > 0 && prefix[m - 1] == 1 && columnsAt(groups, m) && !tablesBelow(groups, m)) {
            std::set<uint32_t> &columns = tables[{prefix.begin(), prefix.end()}];
            for (const Group &g : groups) {
                if (!isScalar(g, m))
                    columns.insert(oid(g.begin)[m]);
            }
            ++m_shapedClaims;
            return true;
        }
        const size_t shapedBefore = m_shapedClaims;
        const size_t loneBefore = m_loneColumns.size();
        bool claimed = false;
        for (const Group &g : groups) {
            if (isScalar(g, m)) {
                claimed = true;
                ++m_shapedClaims;
            } else if (g.end - g.begin > 1) {
                claimed = segment(g.begin, g.end) || claimed;
            }
        }
        if (m_shapedClaims == shapedBefore && m_loneColumns.size() > loneBefore
            && claimPartedColumn(begin, end, m, loneBefore))
            return true;
        return claimed || claimColumn(begin, end, m);
    }

    void claimLoneColumn(OidSpan entry, uint32_t column)
    {
        tables[{entry.begin(), entry.end()}].insert(column);
        m_loneColumns.emplace_back(std::vector<uint32_t>(entry.begin(), entry.end()), column);
    }

    // A column walked on its own whose names part right after it (the common
    // prefix ends in 1 and the column): indexes of several lengths that read
    // alike as numbers and length-prefixed strings, such as an address after
    // its type (1.4.192.168.1.1, 2.16.32.1...). Its branches went to
    // columns walked on their own, of entries made up inside the index (the
    // deepest prefix ending in 1), which lose the index's start: those
    // claims (from loneBefore on) give way to the one column.
    bool claimPartedColumn(size_t begin, size_t end, size_t m, size_t loneBefore)
    {
        if (m < 3 || oid(begin)[m - 2] != 1)
            return false;
        constexpr size_t SampleSize = 32;
        const size_t step = std::max<size_t>(1, (end - begin) / SampleSize);
        std::vector<OidSpan> indexes;
        for (size_t i = begin; i < end; i += step)
            indexes.push_back(oid(i).subspan(m));
        if (std::ranges::all_of(indexes, [&](OidSpan s) { return s.size() == indexes.front().size(); }))
            return false;
        const std::optional<std::vector<bool>> parts = commonParts(indexes);
        if (!parts)
            return false;
        for (size_t i = begin; i < end; ++i) {
            if (!readsAs(oid(i).subspan(m), *parts))
                return false;
        }
        for (size_t i = loneBefore; i < m_loneColumns.size(); ++i) {
            const auto &[entry, column] = m_loneColumns[i];
            const auto table = tables.find(entry);
            if (table != tables.end() && table->second.erase(column) && table->second.empty())
                tables.erase(table);
        }
        m_loneColumns.resize(loneBefore);
        const OidSpan prefix = oid(begin).first(m);
        claimLoneColumn(prefix.first(m - 1), prefix[m - 1]);
        return true;
    }

    // Whether an index reads as these parts: false a number, true a string
    // (its length, then as many octets).
    static bool readsAs(OidSpan index, const std::vector<bool> &parts)
    {
        size_t at = 0;
        for (const bool string : parts) {
            if (at >= index.size())
                return false;
            if (string) {
                const size_t length = index[at];
                if (length > index.size() - at - 1
                    || !std::all_of(index.begin() + std::ptrdiff_t(at + 1), index.begin() + std::ptrdiff_t(at + 1 + length),
                                    [](uint32_t id) { return id <= 255; }))
                    return false;
                at += length;
            }
            ++at;
        }
        return at == index.size();
    }

    // The parts, with a string among them, that every index reads as; a
    // search of bounded size, strings tried first.
    static std::optional<std::vector<bool>> commonParts(const std::vector<OidSpan> &indexes)
    {
        std::vector<size_t> at(indexes.size(), 0);
        std::vector<bool> parts;
        int budget = 4096;
        const std::function<bool()> search = [&]() -> bool {
            if (--budget < 0)
                return false;
            size_t ended = 0;
            for (size_t i = 0; i < indexes.size(); ++i)
                ended += at[i] == indexes[i].size();
            if (ended == indexes.size())
                return std::ranges::find(parts, true) != parts.end();
            if (ended > 0)
                return false;
            const std::vector<size_t> before = at;
            for (const bool string : {true, false}) {
                bool fits = true;
                for (size_t i = 0; i < indexes.size() && fits; ++i) {
                    const OidSpan s = indexes[i];
                    if (string) {
                        const size_t length = s[at[i]];
                        fits = length <= s.size() - at[i] - 1
                            && std::all_of(s.begin() + std::ptrdiff_t(at[i] + 1),
                                           s.begin() + std::ptrdiff_t(at[i] + 1 + length),
                                           [](uint32_t id) { return id <= 255; });
                        at[i] += fits ? length + 1 : 0;
                    } else {
                        ++at[i];
                    }
                }
                parts.push_back(string);
                if (fits && search())
                    return true;
                parts.pop_back();
                at = before;
            }
            return false;
        };
        return search() ? std::optional(parts) : std::nullopt;
    }

    // A column walked on its own: entry.column.index, the common prefix
    // reaching into the index. Its entry is the deepest prefix ending in 1
    // that leaves the column inside the common prefix. Its indexes are all
    // as long, or strings (printable after their first sub-identifier);
    // names of unrelated branches are neither.
    bool claimColumn(size_t begin, size_t end, size_t m)
    {
        if (m < 3)
            return false;
        const OidSpan prefix = oid(begin).first(m);
        size_t k = m - 1; // the column's position
        while (k >= 2 && prefix[k - 1] != 1)
            --k;
        if (k < 2)
            return false;
        bool sameLength = true;
        bool strings = true;
        for (size_t i = begin; i < end; ++i) {
            const OidSpan o = oid(i);
            sameLength = sameLength && o.size() == oid(begin).size();
            strings = strings && allPrintable(o.subspan(k + 2));
        }
        if (!sameLength && !strings)
            return false;
        claimLoneColumn(prefix.first(k), prefix[k]);
        return true;
    }

    const SortedOids &m_names;
    size_t m_shapedClaims = 0; // tables by their columns, and scalars
    std::vector<std::pair<std::vector<uint32_t>, uint32_t>> m_loneColumns; // entry and column, as claimed
};

class ShapeIndexDecoder final : public IndexDecoder
{
public:
    explicit ShapeIndexDecoder(ShapeIndexKind kind) : m_kind(kind) {}
    QStringList decode(OidSpan suffix) const override { return {shapeIndexText(m_kind, suffix)}; }

private:
    ShapeIndexKind m_kind;
};

// "MODULE::label": the label; anything else is no name of this very object.
QString labelOf(const QString &name)
{
    const qsizetype colons = name.indexOf(QLatin1String("::"));
    return colons < 0 ? QString() : name.mid(colons + 2);
}

} // namespace

ShapeIndexKind shapeIndexKind(const std::vector<OidSpan> &suffixes)
{
    if (suffixes.empty())
        return ShapeIndexKind::Numbers;
    if (std::ranges::all_of(suffixes, [](OidSpan s) { return s.size() == 1; }))
        return ShapeIndexKind::Integer;
    bool text = true;
    bool implied = true;
    bool twoCharacters = false; // "a" as (1, 97) may as well be two numbers
    bool varying = false;
    for (const OidSpan s : suffixes) {
        text = text && s.size() >= 2 && s[0] == s.size() - 1 && allPrintable(s.subspan(1));
        implied = implied && allPrintable(s);
        twoCharacters = twoCharacters || s.size() >= 3;
        varying = varying || s.size() != suffixes.front().size();
    }
    if (text && twoCharacters)
        return ShapeIndexKind::Text;
    // Of one length, printable numbers may as well be an address or several numbers.
    if (implied && varying)
        return ShapeIndexKind::ImpliedText;
    return ShapeIndexKind::Numbers;
}

QString shapeIndexText(ShapeIndexKind kind, OidSpan suffix)
{
    // A row that came after the kind was settled and does not fit it shows its numbers.
    switch (kind) {
    case ShapeIndexKind::Integer:
        if (suffix.size() == 1)
            return QString::number(suffix[0]);
        break;
    case ShapeIndexKind::Text:
        if (!suffix.empty() && suffix[0] == suffix.size() - 1 && allPrintable(suffix.subspan(1)))
            return characters(suffix.subspan(1));
        break;
    case ShapeIndexKind::ImpliedText:
        if (allPrintable(suffix))
            return characters(suffix);
        break;
    case ShapeIndexKind::Numbers:
        break;
    }
    return dotted(suffix);
}

ShapeTableProvider::ShapeTableProvider(Namer namer) : m_namer(std::move(namer)) {}

QString ShapeTableProvider::mibObjectName(OidSpan oid)
{
    const AsnObjectIdentifier name{{oid.begin(), oid.end()}};
    char *text = nullptr;
    if (!SnmpMgrOidToStr(&name, &text) || !text)
        return {};
    const QString result = QString::fromLatin1(text);
    SnmpUtilMemFree(text);
    // "IF-MIB::ifDescr" names the object; "IF-MIB::ifDescr.5" or
    // "SNMPv2-SMI::enterprises.2021.10" only something above it.
    const QString label = labelOf(result);
    return label.isEmpty() || label.contains(u'.') ? QString() : result;
}

QString ShapeTableProvider::nameOf(OidSpan oid) const
{
    // The names are the loaded MIBs': another set may name the OIDs otherwise.
    if (const uint64_t generation = mibsetup::generation(); generation != m_namesGeneration) {
        m_names.clear();
        m_namesGeneration = generation;
    }
    const std::vector<uint32_t> key(oid.begin(), oid.end());
    const auto known = m_names.find(key);
    if (known != m_names.end())
        return known->second;
    const QString label = m_namer ? labelOf(m_namer(oid)) : QString();
    m_names.emplace(key, label);
    return label;
}

std::vector<TableSchema> ShapeTableProvider::findTables(const SortedOids &names) const
{
    Segmenter segmenter(names);
    segmenter.run();
    std::vector<TableSchema> schemas;
    for (const auto &[entry, columns] : segmenter.tables) {
        TableSchema schema;
        schema.entry = entry;
        // The table is the entry's parent, by the same convention.
        const OidSpan table = OidSpan(entry).first(entry.size() - (entry.back() == 1 ? 1 : 0));
        schema.name = nameOf(table);
        if (schema.name.isEmpty())
            schema.name = QLatin1Char('.') + dotted(table);
        std::vector<uint32_t> column = entry;
        column.push_back(0);
        for (const uint32_t number : columns) {
            column.back() = number;
            const QString name = nameOf(column);
            schema.columns.push_back({number, name.isEmpty() ? QString::number(number) : name});
        }
        std::vector<OidSpan> suffixes;
        const auto [first, last] = names.under(entry);
        for (size_t i = first; i < last; ++i) {
            const OidSpan o = names.oid(i);
            if (o.size() >= entry.size() + 2 && columns.contains(o[entry.size()]))
                suffixes.push_back(o.subspan(entry.size() + 1));
        }
        schema.indexParts = {QStringLiteral("Index")};
        schema.decoder = std::make_shared<ShapeIndexDecoder>(shapeIndexKind(suffixes));
        schemas.push_back(std::move(schema));
    }
    return schemas;
}
