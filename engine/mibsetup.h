// SPDX-License-Identifier: MIT
#pragma once

// Net-SNMP's library state: quiet logging, no configuration files read or
// persistent state written, and the MIB modules, loaded once and lazily (at
// the first name conversion or session), so that the window's start-up
// never waits for them. Net-SNMP reads only files that norvane-mibcheck has
// parsed to their end (engine/mib/mibvetting.h); the files new or changed
// since the last start are checked first, and a file that failed is left
// out and listed with the load errors.

#include "engine/miberrors.h"
#include "engine/requestwait.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Before the first call if it can: MIB folders to load besides Net-SNMP's own
// search path. Called later, it adds them to the loaded library at once.
void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs);

// Loads the MIB modules now, when that has not been done; every name
// conversion and session does it first. Descriptions are kept. While files
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

// The user's own MIB folder, $XDG_DATA_HOME/norvane/mibs: scanned last, so
// that a module there wins over one of the same name anywhere else.
std::string userMibFolder();

// Counts the changes of the loaded MIB set; 0 until the first load. What is
// derived from the loaded names (the MIB tree, the completion list, cached
// names) is stale once this has moved on.
uint64_t generation();
// Every change of the loaded set ends here, after it.
void mibsChanged();

// What Net-SNMP logged while the start-up load ran: its parse errors.
std::vector<std::string> startupMessages();

// While one lives, Net-SNMP logs its MIB parse errors and its log lines are
// kept in lines() instead of dropped (nothing reaches stderr either way).
// Nested ones hand back to the outer one; one thread.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The lines logged so far, without their line ends.
    std::vector<std::string> lines() const;
    void append(const char *text) { m_text += text; }

private:
    std::string m_text;
    LogCapture *m_previous = nullptr;
};
} // namespace mibsetup
