// SPDX-License-Identifier: MIT
#pragma once

// Tables as the loaded MIB modules define them: found among the names by
// their shape (engine/tableshape), then, where a module defines the entry,
// the index read by its INDEX clause (integers and their labels, IP
// addresses, length-prefixed and IMPLIED strings, hardware addresses...),
// one grid column a part, named as the clause names it.

#include "engine/tables/tableshape.h"

class MibTableProvider final : public TableSchemaProvider
{
public:
    std::vector<TableSchema> findTables(const SortedOids &names) const override;

private:
    ShapeTableProvider m_shapes;
};
