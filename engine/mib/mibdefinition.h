// SPDX-License-Identifier: MIT
#pragma once

// One MIB node's definition as the MIB Tree window's pane shows it: the
// node's own, as engine/mibinfo reads it, with the texts the pane lays out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MibTreeDefinition
{
    std::string module;
    std::string name;
    std::string oid;         // dotted decimal with a leading dot
    std::string syntax;      // "INTEGER { up(1), down(2) }", "DisplayString (SIZE (0..255))"; the macro of a non-object
    std::string units;
    std::string displayHint;
    std::string access;      // "read-only", ...
    std::string status;      // "current", ...
    std::string index;       // the INDEX or AUGMENTS of an entry, or of a column's entry
    std::string description; // as the module words it
};

// The definition of the node with exactly this OID; nothing when the loaded MIBs have none.
std::optional<MibTreeDefinition> mibTreeDefinition(const std::vector<uint32_t> &oid);
