// SPDX-License-Identifier: MIT
#pragma once

// The files the loaded modules were read from, and what each imports: what
// another program reading MIBs (a configuration generator) needs to find the
// same definitions the browser shows.

#include <string>
#include <vector>

struct MibModuleFile
{
    std::string module;
    std::string file; // as Net-SNMP read it
};

struct MibModuleFiles
{
    std::vector<MibModuleFile> found; // sorted by module
    std::vector<std::string> missing; // named or imported, but no file of it is known
};

// The modules and, transitively, every module they import, each once with
// the file it was loaded from.
MibModuleFiles mibModuleFiles(const std::vector<std::string> &modules);
