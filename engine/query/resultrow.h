// SPDX-License-Identifier: MIT
#pragma once

#include "engine/mib/rowrole.h"

#include <string>

// One row of the result list: OID text, name, type and value, as bytes
// (ASCII in practice: readable octet strings are 0x20..0x7F).
struct ResultRow
{
    std::string oid;
    std::string name;
    std::string type;
    std::string value;
    // The binding itself, encoded, for the few rows whose texts cannot give
    // it back (engine/query/rowbinding.h); empty for all others.
    std::string binding{};
    RowRole role = RowRole::Plain;
};
