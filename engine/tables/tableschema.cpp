// SPDX-License-Identifier: MIT
#include "engine/tables/tableschema.h"

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

namespace {

// Appends the sub-identifiers of text to ids; false (ids as they were) for
// a text that is no OID or may have been cut.
bool appendOid(std::string_view text, std::vector<uint32_t> &ids)
{
    const size_t start = ids.size();
    if (text.size() < 2 || text.size() > LongestWholeText || text.front() != '.')
        return false;
    uint64_t value = 0;
    bool digits = false;
    for (size_t i = 1; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '.';
        if (c == '.' && digits) {
            ids.push_back(uint32_t(value));
            value = 0;
            digits = false;
        } else if (c >= '0' && c <= '9' && value * 10 + uint64_t(c - '0') <= UINT32_MAX) {
            value = value * 10 + uint64_t(c - '0');
            digits = true;
        } else {
            ids.resize(start);
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<uint32_t> parseOidText(std::string_view text)
{
    std::vector<uint32_t> ids;
    appendOid(text, ids);
    return ids;
}

SortedOids::SortedOids(const OidSource &rows)
{
    const int count = rows.rowCount();
    m_names.reserve(size_t(count));
    m_ids.reserve(size_t(count) * 12); // a table's names are some 12 sub-identifiers long
    bool sorted = true;
    for (int row = 0; row < count; ++row) {
        const size_t offset = m_ids.size();
        if (!appendOid(rows.oidText(row), m_ids))
            continue;
        m_names.push_back({uint32_t(offset), uint32_t(m_ids.size() - offset), row});
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
        const size_t width = schema.columns.size();
        const auto index = [&](uint32_t name) { return names.oid(name).subspan(depth + 1); };
        // Each column's names, in index order as the names are sorted.
        std::vector<std::vector<uint32_t>> columns(width);
        const auto [first, last] = names.under(schema.entry);
        for (size_t i = first; i < last; ++i) {
            const OidSpan o = names.oid(i);
            if (o.size() < depth + 2)
                continue;
            const auto column = std::ranges::lower_bound(schema.columns, o[depth], {}, &TableColumn::number);
            if (column != schema.columns.end() && column->number == o[depth])
                columns[size_t(column - schema.columns.begin())].push_back(uint32_t(i));
        }
        // The grid's rows: every index of any column, in order, each once
        // (a name of it stands for it).
        std::vector<uint32_t> rows;
        for (const std::vector<uint32_t> &column : columns) {
            std::vector<uint32_t> merged;
            merged.reserve(rows.size() + column.size());
            size_t a = 0;
            size_t b = 0;
            while (a < rows.size() || b < column.size()) {
                if (b == column.size() || (a < rows.size() && !lessOid(index(column[b]), index(rows[a])))) {
                    if (b < column.size() && std::ranges::equal(index(rows[a]), index(column[b])))
                        ++b;
                    merged.push_back(rows[a++]);
                } else {
                    merged.push_back(column[b++]);
                }
            }
            rows.swap(merged);
        }
        if (rows.empty())
            continue;
        FoundTable table;
        table.schema = std::move(schema);
        table.rowCount = int(rows.size());
        table.cells.assign(rows.size() * width, -1);
        for (size_t c = 0; c < width; ++c) {
            size_t row = 0;
            for (const uint32_t name : columns[c]) {
                while (lessOid(index(rows[row]), index(name)))
                    ++row;
                table.cells[row * width + c] = names.row(name);
            }
        }
        tables.push_back(std::move(table));
    }
    return tables;
}
