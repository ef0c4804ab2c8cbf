// SPDX-License-Identifier: MIT
#include "engine/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex g_configMutex;
std::vector<std::string> g_extraMibDirs;
std::once_flag g_initOnce;
std::atomic<bool> g_initialised{false};
bool g_loadAllMibs = false;

void appendMibDir(const std::string &dir)
{
    if (!dir.empty())
        netsnmp_set_mib_directory(("+" + dir).c_str());
}

// Net-SNMP logs MIB parse warnings and "Cannot find module" lines to stderr
// unless some handler is enabled; an enabled null handler swallows them all.
// Host and user config files are not read: they may print, change the MIB
// list ("mibs :" on Debian) or write persistent state.
void initLibrary()
{
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    // Otherwise a numeric OID whose index lies outside the range its MIB
    // declares (ifInOctets.0) does not convert: the agent decides what exists.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_CHECK_RANGE, 1);
    // Net-SNMP writes to a stream agent's socket without MSG_NOSIGNAL: an
    // agent that reset its connection would otherwise kill the program.
    struct sigaction pipe {};
    if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);

    // Fills the search path from MIBDIRS or the built-in default, so that ours append to it.
    netsnmp_get_mib_directory();
    {
        std::lock_guard lock(g_configMutex);
        for (const std::string &dir : g_extraMibDirs)
            appendMibDir(dir);
    }
    if (const char *dir = std::getenv("NORVANE_MIBDIR"))
        appendMibDir(dir);

    // The details dialog shows each object's DESCRIPTION; for the bundled
    // modules keeping them costs some 0.2 MB.
    snmp_set_save_descriptions(1);
    // Reads the modules MIBS names (or Net-SNMP's default list); without
    // MIBS every module in the search path is wanted.
    netsnmp_init_mib();
    g_loadAllMibs = std::getenv("MIBS") == nullptr;
    if (g_loadAllMibs)
        read_all_mibs();

    // No init_snmp(): it would also set up certificate stores on disk. The
    // transports initialise themselves at the first session (calling that
    // here as well would run their constructors twice and leak the first).
    g_initialised = true;
}

} // namespace

namespace mibsetup {

void ensureLoaded()
{
    std::call_once(g_initOnce, initLibrary);
}

} // namespace mibsetup

void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs)
{
    {
        std::lock_guard lock(g_configMutex);
        g_extraMibDirs.insert(g_extraMibDirs.end(), extraMibDirs.begin(), extraMibDirs.end());
    }
    // Too late for the lazy start: add the folders to the loaded library now.
    if (g_initialised) {
        for (const std::string &dir : extraMibDirs) {
            appendMibDir(dir);
            add_mibdir(dir.c_str());
        }
        if (g_loadAllMibs)
            read_all_mibs();
    }
}

void SnmpMgrLoadMibs()
{
    mibsetup::ensureLoaded();
}
