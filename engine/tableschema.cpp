// SPDX-License-Identifier: MIT
#include "engine/tableschema.h"

#include <algorithm>

namespace {

// The rendering cuts an OID's dotted text after 255 characters and puts "."
// in front: a text of 256 may have lost its end.
constexpr size_t LongestWholeText = 255;

bool lessOid(OidSpan a, OidSpan b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

bool startsWith(OidSpan name, OidSpan prefix)
{
    return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

} // namespace

std::vector<uint32_t> parseOidText(std::string_view text)
{
    std::vector<uint32_t> ids;
    if (text.size() < 2 || text.size() > LongestWholeText || text.front() != '.')
        return ids;
    uint64_t value = 0;
    bool digits = false;
    for (size_t i = 1; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c == '.') {
            if (!digits)
                return {};
            ids.push_back(uint32_t(value));
            value = 0;
            digits = false;
        } else if (c >= '0' && c <= '9') {
            value = value * 10 + uint64_t(c - '0');
            if (value > UINT32_MAX)
                return {};
            digits = true;
        } else {
            return {};
        }
    }
    return ids;
}

SortedOids::SortedOids(const OidSource &rows)
{
    const int count = rows.rowCount();
    m_names.reserve(size_t(count));
    bool sorted = true;
    for (int row = 0; row < count; ++row) {
        const std::vector<uint32_t> ids = parseOidText(rows.oidText(row));
        if (ids.empty())
            continue;
        m_names.push_back({uint32_t(m_ids.size()), uint32_t(ids.size()), row});
        m_ids.insert(m_ids.end(), ids.begin(), ids.end());
        // A walk's rows come in OID order: then there is nothing to sort.
        if (sorted && m_names.size() > 1 && !lessOid(oid(m_names.size() - 2), oid(m_names.size() - 1)))
            sorted = false;
    }
    if (sorted)
        return;
    std::sort(m_names.begin(), m_names.end(), [this](const Name &a, const Name &b) {
        const OidSpan x{m_ids.data() + a.offset, a.length};
        const OidSpan y{m_ids.data() + b.offset, b.length};
        if (lessOid(x, y))
            return true;
        return !lessOid(y, x) && a.row < b.row;
    });
    // Of the rows of one name, the latest stays.
    size_t kept = 0;
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (i + 1 < m_names.size() && std::ranges::equal(oid(i), oid(i + 1)))
            continue;
        m_names[kept++] = m_names[i];
    }
    m_names.resize(kept);
}

std::pair<size_t, size_t> SortedOids::under(OidSpan prefix) const
{
    const auto begin = std::partition_point(m_names.begin(), m_names.end(), [&](const Name &name) {
        return !lessOid(prefix, {m_ids.data() + name.offset, name.length});
    });
    const auto end = std::partition_point(begin, m_names.end(), [&](const Name &name) {
        return startsWith({m_ids.data() + name.offset, name.length}, prefix);
    });
    return {size_t(begin - m_names.begin()), size_t(end - m_names.begin())};
}

int32_t FoundTable::anyCell(int row) const
{
    for (int column = 0; column < columnCount(); ++column) {
        if (const int32_t r = cell(row, column); r >= 0)
            return r;
    }
    return -1;
}

std::vector<uint32_t> FoundTable::indexOf(int row, const OidSource &rows) const
{
    std::vector<uint32_t> ids = parseOidText(rows.oidText(anyCell(row)));
    ids.erase(ids.begin(), ids.begin() + std::ptrdiff_t(std::min(ids.size(), schema.entry.size() + 1)));
    return ids;
}

std::vector<FoundTable> buildTables(const SortedOids &names, const TableSchemaProvider &provider)
{
    std::vector<FoundTable> tables;
    for (TableSchema &schema : provider.findTables(names)) {
        const size_t depth = schema.entry.size();
        struct Cell
        {
            uint32_t name;
            uint32_t column;
        };
        std::vector<Cell> cells;
        const auto [first, last] = names.under(schema.entry);
        for (size_t i = first; i < last; ++i) {
            const OidSpan o = names.oid(i);
            if (o.size() < depth + 2)
                continue;
            const auto column = std::ranges::lower_bound(schema.columns, o[depth], {}, &TableColumn::number);
            if (column != schema.columns.end() && column->number == o[depth])
                cells.push_back({uint32_t(i), uint32_t(column - schema.columns.begin())});
        }
        if (cells.empty())
            continue;
        // By index, then column: one grid row per index.
        const auto suffix = [&](const Cell &c) { return names.oid(c.name).subspan(depth + 1); };
        std::stable_sort(cells.begin(), cells.end(),
                         [&](const Cell &a, const Cell &b) { return lessOid(suffix(a), suffix(b)); });
        FoundTable table;
        table.schema = std::move(schema);
        const size_t width = table.schema.columns.size();
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i == 0 || !std::ranges::equal(suffix(cells[i - 1]), suffix(cells[i]))) {
                table.cells.resize(table.cells.size() + width, -1);
                ++table.rowCount;
            }
            table.cells[table.cells.size() - width + cells[i].column] = names.row(cells[i].name);
        }
        tables.push_back(std::move(table));
    }
    return tables;
}
