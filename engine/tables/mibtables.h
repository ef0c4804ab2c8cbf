// SPDX-License-Identifier: MIT
#pragma once

// Tables as the loaded MIB modules define them: found among the names by
// their shape (engine/tableshape), each column put in the table the MIB
// puts it in (a shape found inside a column is none of its own), and the
// instances of MIB columns no shape holds added (a table of one row, or one
// cell). Where a module defines the entry, the index is read by its INDEX
// clause (integers and their labels, IP addresses, length-prefixed and
// IMPLIED strings, hardware addresses...), one grid column a part, named as
// the clause names it.

#include "engine/tables/tableshape.h"

class MibTableProvider final : public TableSchemaProvider
{
public:
    std::vector<TableSchema> findTables(const SortedOids &names) const override;

private:
    ShapeTableProvider m_shapes;
};
