// SPDX-License-Identifier: MIT
#include "engine/mib/mibdefinition.h"

#include "engine/mib/mibinfo.h"

namespace {

std::string joined(const std::vector<std::string> &parts)
{
    std::string out;
    for (const std::string &part : parts)
        out += (out.empty() ? "" : ", ") + part;
    return out;
}

// A table's rows, an entry's columns or a column's entry: the INDEX clause
// is read off the first column below the node.
std::vector<uint32_t> firstColumn(const MibObject &object)
{
    std::vector<uint32_t> oid = object.oid;
    if (object.kind == MibKind::Table)
        oid.push_back(1);
    if (object.kind == MibKind::Table || object.kind == MibKind::Entry)
        oid.push_back(1);
    return oid;
}

} // namespace

std::optional<MibTreeDefinition> mibTreeDefinition(const std::vector<uint32_t> &oid)
{
    const std::optional<MibDefinition> found = mibDefinition(oid);
    if (!found || found->object.oid.size() != oid.size())
        return std::nullopt;
    const MibObject &object = found->object;
    MibTreeDefinition out;
    out.module = object.module;
    out.name = object.label;
    for (uint32_t id : oid) {
        // Two appends: "." + std::to_string() trips GCC 12's -Wrestrict at -O2.
        out.oid += '.';
        out.oid += std::to_string(id);
    }
    out.syntax = mibSyntaxText(object);
    if (object.kind == MibKind::Entry) {
        out.syntax = "SEQUENCE";
    } else if (object.kind == MibKind::Table) {
        std::vector<uint32_t> entry = object.oid;
        entry.push_back(1);
        if (const std::optional<MibDefinition> row = mibDefinition(entry))
            out.syntax = "SEQUENCE OF " + row->object.label;
    }
    out.units = object.units;
    out.displayHint = object.hint;
    out.access = object.access;
    out.status = object.status;
    std::vector<std::string> index = found->indexObjects;
    if (index.empty() && (object.kind == MibKind::Table || object.kind == MibKind::Entry)) {
        if (const std::optional<MibDefinition> column = mibDefinition(firstColumn(object)))
            index = column->indexObjects;
    }
    out.index = joined(index);
    out.description = found->description;
    return out;
}
