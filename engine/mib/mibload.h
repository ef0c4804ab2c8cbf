// SPDX-License-Identifier: MIT
#pragma once

// Loading a MIB module from a file while the program runs: the file is
// parsed by norvane-mibcheck first, copied into the user's MIB folder, where
// the next start finds it too, and read into the loaded set at once; what
// failed is kept, per module, for the Load errors view.

#include "engine/mib/miberrors.h"
#include "engine/snmp/requestoptions.h"

#include <string>
#include <vector>

struct MibLoadResult
{
    std::string module;        // the module the file defines; empty for a file that is no MIB module
    std::string installedFile; // its copy in the user's MIB folder; empty when nothing was copied
    // The modules that failed on the way, the file's own first: the module
    // and those it imports that were read for it, not other modules' errors.
    std::vector<MibModuleErrors> errors;
};

// Copies the module file into the user's MIB folder (created 0700 when
// missing, as is every folder above it that is missing) under the module's
// name, or over the file that held the module there before, and loads it.
// Only a regular file is opened (a FIFO or a device is refused by its name,
// at once). A file that is no MIB module is neither copied nor loaded: its
// error names the line where a module's name and DEFINITIONS were expected.
// Nor is one whose parse by norvane-mibcheck crashed, took longer than its
// time limit or ran out of memory: its error says which. While the checker
// runs, ProcessEvents handles the thread's events.
MibLoadResult loadMibFile(const std::string &path, RequestWait wait = RequestWait::Blocking);

// Every module that failed, at the start-up load and at the loads since;
// a module that loaded cleanly since is off the list. Sorted by module.
std::vector<MibModuleErrors> mibLoadErrors();
