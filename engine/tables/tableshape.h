// SPDX-License-Identifier: MIT
#pragma once

// Tables found by the shape of the names alone, for agents whose MIBs are
// not loaded. In OID order a table's cells run column by column under one
// entry, each column holding the same indexes: where the names under a
// prefix ending in 1 (an entry, by the SMI's convention) split into several
// branches whose rests mostly recur, those branches are the columns. A
// column walked on its own is a column of the entry above it. Single names
// ending in .0 are scalars. The MIB may later name what this finds; it
// never changes which rows form a table.

#include "engine/tables/tableschema.h"

#include <functional>
#include <map>

// How an index reads by its shape, where that is unambiguous for every row
// of the table: one number; a string of printable characters after its
// length; an IMPLIED string (printable characters of varying lengths).
// Anything else shows its sub-identifiers as they are.
enum class ShapeIndexKind { Integer, Text, ImpliedText, Numbers };

ShapeIndexKind shapeIndexKind(const std::vector<OidSpan> &suffixes);
QString shapeIndexText(ShapeIndexKind kind, OidSpan suffix);

class ShapeTableProvider final : public TableSchemaProvider
{
public:
    // The MIB's name of exactly this object, "MODULE::label"; empty when
    // no loaded module defines it.
    using Namer = std::function<QString(OidSpan)>;

    explicit ShapeTableProvider(Namer namer = mibObjectName);

    std::vector<TableSchema> findTables(const SortedOids &names) const override;

    // By Net-SNMP's name lookup (the name conversion of the rows).
    static QString mibObjectName(OidSpan oid);

private:
    QString nameOf(OidSpan oid) const;

    Namer m_namer;
    // A growing walk finds the same tables again and again.
    mutable std::map<std::vector<uint32_t>, QString> m_names;
    mutable uint64_t m_namesGeneration = 0;
};
