// SPDX-License-Identifier: MIT
#pragma once

// What went wrong while MIB modules loaded, read from the lines Net-SNMP's
// parser logs ("Cannot find module (X): At line 3 in /path/FILE",
// "Undefined identifier: x near line 9 of /path/FILE", ...). Plain values,
// no Net-SNMP.

#include <string>
#include <string_view>
#include <vector>

struct MibError
{
    std::string module;        // when the line names it; else the file's module, found later
    std::string file;          // empty when the line names no file
    int line = 0;              // 1-based; 0 when the line names none
    std::string message;       // Net-SNMP's words, without the place
    std::string missingImport; // the module an IMPORTS clause names and no MIB folder holds
};

// The errors of one module, for the Load errors view.
struct MibModuleErrors
{
    std::string module; // the module's name; a file that is no module goes by its file name
    std::string file;
    std::vector<MibError> errors;
};

// The parse errors among logged lines, in their order. Lines that report no
// error (the search path printed beside a missing module) are left out; an
// "Unlinked OID" line is folded into the "Undefined identifier" line that
// follows it, which has the place.
std::vector<MibError> readMibErrors(const std::vector<std::string> &lines);

// "file:line", "file" or "" as the error has them.
std::string placeOf(const MibError &error);
