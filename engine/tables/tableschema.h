// SPDX-License-Identifier: MIT
#pragma once

// Conceptual tables among result rows. A row whose name is
// entry.column.index is one cell: the grid has a row per index and a column
// per table column. A TableSchemaProvider says what the tables are (from the
// shape of the names, or from a MIB); placing the rows into cells is common
// to all of them.

#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

using OidSpan = std::span<const uint32_t>;

// The OID texts of the result rows as rendered: "." and dotted decimal.
class OidSource
{
public:
    virtual ~OidSource() = default;
    virtual int rowCount() const = 0;
    virtual std::string_view oidText(int row) const = 0;
};

// The sub-identifiers of a rendered OID text; empty for a text that is no
// OID, and for one the rendering cut (its index would be wrong).
std::vector<uint32_t> parseOidText(std::string_view text);

// The rows' names parsed once, in OID order, each name once: a name that
// several runs brought stands for its latest row.
class SortedOids
{
public:
    explicit SortedOids(const OidSource &rows);

    size_t size() const { return m_names.size(); }
    OidSpan oid(size_t i) const { return {m_ids.data() + m_names[i].offset, m_names[i].length}; }
    int row(size_t i) const { return m_names[i].row; }
    // The names that start with prefix (and are longer): [first, second).
    std::pair<size_t, size_t> under(OidSpan prefix) const;

private:
    struct Name
    {
        uint32_t offset;
        uint32_t length;
        int32_t row;
    };
    std::vector<uint32_t> m_ids; // every name's sub-identifiers back to back
    std::vector<Name> m_names;
};

// A table's index suffix (the name after entry.column) as its parts' texts.
class IndexDecoder
{
public:
    virtual ~IndexDecoder() = default;
    // One text per index part of the schema.
    virtual QStringList decode(OidSpan suffix) const = 0;
};

struct TableColumn
{
    uint32_t number = 0; // the sub-identifier after the entry
    QString name;        // the MIB's name, else the number
};

struct TableSchema
{
    std::vector<uint32_t> entry;
    QString name;                     // the table's name, else its dotted OID
    std::vector<TableColumn> columns; // ascending by number
    QStringList indexParts;           // the index parts' names, at least one
    std::shared_ptr<const IndexDecoder> decoder;
};

// Finds the tables among the names. A schema's cells are the names
// entry.column.index whose column it lists, with an index of at least one
// sub-identifier.
//
// ShapeTableProvider (engine/tableshape.h) finds them by the shape of the
// names alone. A provider that reads the MIB (its tables, entries, columns
// and INDEX clauses) is another implementation of this interface; the
// window takes whichever it is given.
class TableSchemaProvider
{
public:
    virtual ~TableSchemaProvider() = default;
    virtual std::vector<TableSchema> findTables(const SortedOids &names) const = 0;
};

// A table with its cells: grid rows in index order, each cell the result
// row that fills it or -1.
struct FoundTable
{
    TableSchema schema;
    int rowCount = 0;
    std::vector<int32_t> cells; // rowCount x columns

    int columnCount() const { return int(schema.columns.size()); }
    int32_t cell(int row, int column) const { return cells[size_t(row) * schema.columns.size() + size_t(column)]; }
    // A result row of the grid row, to read its index from.
    int32_t anyCell(int row) const;
    // The index suffix of a grid row, read from that row's name.
    std::vector<uint32_t> indexOf(int row, const OidSource &rows) const;
};

// The provider's tables with their cells filled from the names.
std::vector<FoundTable> buildTables(const SortedOids &names, const TableSchemaProvider &provider);
