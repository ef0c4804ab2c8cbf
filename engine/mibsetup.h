// SPDX-License-Identifier: MIT
#pragma once

// Net-SNMP's library state: quiet logging, no configuration files read or
// persistent state written, and the MIB modules, loaded once and lazily (at
// the first name conversion or session), so that the window's start-up
// never waits for them.

#include <string>
#include <vector>

// Before the first call if it can: MIB folders to load besides Net-SNMP's own
// search path. Called later, it adds them to the loaded library at once.
void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs);

// Loads the MIB modules now, when that has not been done; every name
// conversion and session does it first. Descriptions are kept.
void SnmpMgrLoadMibs();

namespace mibsetup {
// Sets the library up on the first call; every entry point calls it first.
void ensureLoaded();
} // namespace mibsetup
