// SPDX-License-Identifier: MIT
#pragma once

// The loaded MIB set: Net-SNMP's parsed modules, loaded once and lazily (at
// the first name conversion that needs them), so that the window's start-up
// never waits for them, and a Get with numeric OIDs sends before they load.
// Net-SNMP reads only files that norvane-mibcheck has parsed to their end
// (engine/mib/mibvetting.h); the files new or changed since the last start
// are checked first, and a file that failed is left out and listed with the
// load errors.
//
// The one rule for MIB state: it lives on the GUI thread only, and nothing
// here is locked. Everything derived from the loaded MIBs (object records,
// index decoders, names, the tree and its completion list, the Table View's
// tables) carries the generation() it was derived in and is rebuilt when the
// generation has moved on; no pointer into Net-SNMP's tree outlives the
// generation it was looked up in, as a reload frees and reuses the nodes.

#include "engine/mib/miberrors.h"
#include "engine/snmp/netsnmplibrary.h"
#include "engine/snmp/requestoptions.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Before the first call if it can: MIB folders to load besides Net-SNMP's own
// search path. Called later, it adds them to the loaded library at once.
void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs);

// Loads the MIB modules now, when that has not been done; every name
// conversion does it first. Descriptions are kept. While files
// are checked, ProcessEvents handles the thread's events (see
// MibCheckRun::finish); Blocking waits for the checks, at most their time
// limit each.
void SnmpMgrLoadMibs(RequestWait wait = RequestWait::Blocking);

namespace mibsetup {
// Sets the library up and loads the modules on the first call; every entry
// point calls it first. GUI thread only.
void ensureLoaded(RequestWait wait = RequestWait::Blocking);
// Starts the load without waiting for the checks, which go on from the
// event loop: true once the modules are loaded.
bool loadInBackground();
// Told true when files must be checked before the modules load, and false
// once they have loaded after that. The id removes the listener.
int addLoadListener(std::function<void(bool checking)> listener);
void removeLoadListener(int id);

// The files Net-SNMP has noted, in order, and one more to note (a file
// checked and installed since).
std::vector<std::string> notedFiles();
void noteFile(const std::string &path);
// The files of the MIB folders left out, each under its file name with why.
std::vector<MibModuleErrors> refusedFiles();

// Reads every module afresh, from the same files: Net-SNMP keeps a
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
