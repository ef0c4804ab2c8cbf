// SPDX-License-Identifier: MIT
#pragma once

// The loaded MIB set: Net-SNMP's parsed modules, loaded once and lazily (at
// the first name conversion that needs them), so that the window's start-up
// never waits for them, and a Get with numeric OIDs sends before they load.
//
// The one rule for MIB state: it lives on the GUI thread only, and nothing
// here is locked. Everything derived from the loaded MIBs (object records,
// index decoders, names, the tree and its completion list, the Table View's
// tables) carries the generation() it was derived in and is rebuilt when the
// generation has moved on; no pointer into Net-SNMP's tree outlives the
// generation it was looked up in, as a reload frees and reuses the nodes.

#include "engine/snmp/netsnmplibrary.h"

#include <cstdint>
#include <string>
#include <vector>

// Before the first call if it can: MIB folders to load besides Net-SNMP's own
// search path. Called later, it adds them to the loaded library at once.
void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs);

// Loads the MIB modules now, when that has not been done; every name
// conversion does it first. Descriptions are kept.
void SnmpMgrLoadMibs();

namespace mibsetup {
// Loads the MIB set on the first call; every entry point that reads it calls this first.
void ensureLoaded();

// Reads every module afresh, from the same folders: Net-SNMP keeps a
// module's textual conventions (their DISPLAY-HINTs) after unloading it, so
// a module replaced on disk is only read as it now stands this way. Every
// node of the earlier set is freed; the generation moves on.
void reloadAll();

// The user's own MIB folder, $XDG_DATA_HOME/norvane/mibs: scanned last, so
// that a module there wins over one of the same name anywhere else.
std::string userMibFolder();

// Counts the changes of the loaded MIB set; 0 until the first load. What is
// derived from the loaded names (the MIB tree, the completion list, cached
// names) is stale once this has moved on.
uint64_t generation();
// Every change of the loaded set ends here, after it.
void mibsChanged();

// What Net-SNMP logged while the start-up load (or the last reloadAll) ran: its parse errors.
std::vector<std::string> startupMessages();

// While one lives, Net-SNMP logs its MIB parse errors and its log lines are
// kept in lines() instead of dropped (nothing reaches stderr either way).
// Nested ones hand back to the outer one; one thread.
class LogCapture final : public netsnmp::LogSink
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The lines logged so far, without their line ends.
    std::vector<std::string> lines() const;
    void logged(const char *text) override { m_text += text; }

private:
    std::string m_text;
    netsnmp::LogSink *m_previous = nullptr;
};
} // namespace mibsetup
