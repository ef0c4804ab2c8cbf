// SPDX-License-Identifier: MIT
#include "engine/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <signal.h>

#include <QStandardPaths>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex g_configMutex;
std::vector<std::string> g_extraMibDirs;
std::once_flag g_initOnce;
std::atomic<bool> g_initialised{false};
bool g_loadAllMibs = false;
std::atomic<uint64_t> g_generation{0};
std::vector<std::string> g_startupMessages;
mibsetup::LogCapture *g_capture = nullptr;

int logged(int, int, void *serverArg, void *)
{
    const auto *message = static_cast<const snmp_log_message *>(serverArg);
    if (g_capture && message && message->msg)
        g_capture->append(message->msg);
    return 0;
}

void appendMibDir(const std::string &dir)
{
    if (!dir.empty())
        netsnmp_set_mib_directory(("+" + dir).c_str());
}

// Net-SNMP logs MIB parse warnings and "Cannot find module" lines to stderr
// unless some handler is enabled; ours keeps them while a LogCapture asks for
// them (the MIB loads: their parse errors) and drops them otherwise.
// Host and user config files are not read: they may print, change the MIB
// list ("mibs :" on Debian) or write persistent state.
void initLibrary()
{
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, logged, nullptr);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    // Parse errors are logged only while a LogCapture keeps them: at other
    // times Net-SNMP would format the name of the file it read last, which
    // may be gone (a path in MIBS is freed after the start-up load). The
    // warnings are noise.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    // The MIB Tree searches and shows the DESCRIPTION clauses, and Object
    // Details shows them; for the bundled modules they cost some 0.2 MB.
    snmp_set_save_descriptions(1);
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
    // Last: of two files of one module the folder scanned later wins.
    appendMibDir(mibsetup::userMibFolder());

    // Reads the modules MIBS names (or Net-SNMP's default list); without
    // MIBS every module in the search path is wanted.
    {
        mibsetup::LogCapture capture;
        netsnmp_init_mib();
        g_loadAllMibs = std::getenv("MIBS") == nullptr;
        if (g_loadAllMibs)
            read_all_mibs();
        g_startupMessages = capture.lines();
    }

    // No init_snmp(): it would also set up certificate stores on disk. The
    // transports initialise themselves at the first session (calling that
    // here as well would run their constructors twice and leak the first).
    g_initialised = true;
    mibsetup::mibsChanged();
}

} // namespace

namespace mibsetup {

void ensureLoaded()
{
    std::call_once(g_initOnce, initLibrary);
}

std::string userMibFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() + "/norvane/mibs";
}

uint64_t generation()
{
    return g_generation;
}

void mibsChanged()
{
    ++g_generation;
}

std::vector<std::string> startupMessages()
{
    ensureLoaded();
    return g_startupMessages;
}

LogCapture::LogCapture() : m_previous(g_capture)
{
    g_capture = this;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 1);
}

LogCapture::~LogCapture()
{
    g_capture = m_previous;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, m_previous != nullptr);
}

std::vector<std::string> LogCapture::lines() const
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < m_text.size()) {
        size_t end = m_text.find('\n', start);
        if (end == std::string::npos)
            end = m_text.size();
        if (end > start)
            out.push_back(m_text.substr(start, end - start));
        start = end + 1;
    }
    return out;
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
        mibsetup::mibsChanged();
    }
}

void SnmpMgrLoadMibs()
{
    mibsetup::ensureLoaded();
}
