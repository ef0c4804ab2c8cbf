// SPDX-License-Identifier: MIT
#include "engine/mibsetup.h"

#include "engine/mib/mibvetting.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <signal.h>

#include <QStandardPaths>

#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

enum class LoadState { NotStarted, Checking, Loaded };

std::mutex g_configMutex;
std::vector<std::string> g_extraMibDirs;
LoadState g_state = LoadState::NotStarted;
bool g_loadAllMibs = false;
std::atomic<uint64_t> g_generation{0};
std::vector<std::string> g_startupMessages;
std::vector<MibModuleErrors> g_refused;
std::vector<std::string> g_noted;
std::unique_ptr<MibVetting> g_vetting;
std::map<int, std::function<void(bool)>> g_listeners;
int g_lastListener = 0;
mibsetup::LogCapture *g_capture = nullptr;

constexpr const char *NoFile = "/dev/null";

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

void tellListeners(bool checking)
{
    // A listener may add or remove listeners.
    const auto listeners = g_listeners;
    for (const auto &[id, listener] : listeners)
        listener(checking);
}

// Net-SNMP logs MIB parse warnings and "Cannot find module" lines to stderr
// unless some handler is enabled; ours keeps them while a LogCapture asks for
// them (the MIB loads: their parse errors) and drops them otherwise.
// Host and user config files are not read: they may print, change the MIB
// list ("mibs :" on Debian) or write persistent state.
void setUpLibrary()
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
}

// The folders to load from, in order: MIBDIRS or Net-SNMP's default, ours
// after them, the user's last (of two files of one module the folder read
// later wins). Net-SNMP itself is left none to scan: it would open every
// entry, a FIFO too, and parse every file unchecked.
std::vector<std::string> searchFolders()
{
    netsnmp_get_mib_directory();
    {
        std::lock_guard lock(g_configMutex);
        for (const std::string &dir : g_extraMibDirs)
            appendMibDir(dir);
    }
    if (const char *dir = std::getenv("NORVANE_MIBDIR"))
        appendMibDir(dir);
    appendMibDir(mibsetup::userMibFolder());
    netsnmp_fixup_mib_directory();
    const std::string path = netsnmp_get_mib_directory();
    netsnmp_set_mib_directory("");
    std::vector<std::string> folders;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(ENV_SEPARATOR_CHAR, start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            folders.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

void note(const std::string &path)
{
    g_noted.push_back(path);
    add_mibfile(path.c_str(), nullptr);
}

// Net-SNMP keeps pointing at the name of the file it noted last, and puts
// it in the errors it reports outside any file ("Cannot find module" for its
// default list): noting /dev/null, which holds no module, points it at a
// name that stays and that the errors' reader takes for none.
void forgetNotedName()
{
    add_mibfile(NoFile, nullptr);
}

// The checked files noted, then the modules MIBS names read (or Net-SNMP's
// default list); without MIBS every module noted is wanted.
void completeLoad()
{
    if (g_state == LoadState::Loaded)
        return;
    g_refused = g_vetting->refused();
    {
        mibsetup::LogCapture capture;
        // The keywords' table, which noting a file (its DEFINITIONS) needs.
        netsnmp_init_mib_internals();
        for (const std::string &path : g_vetting->usable())
            note(path);
        forgetNotedName();
        netsnmp_init_mib();
        g_loadAllMibs = std::getenv("MIBS") == nullptr;
        if (g_loadAllMibs)
            read_all_mibs();
        g_startupMessages = capture.lines();
    }
    // No init_snmp(): it would also set up certificate stores on disk. The
    // transports initialise themselves at the first session (calling that
    // here as well would run their constructors twice and leak the first).
    const bool checked = g_state == LoadState::Checking;
    g_state = LoadState::Loaded;
    mibsetup::mibsChanged();
    if (checked)
        tellListeners(false);
}

// The files new or changed since the last start are checked first, by a
// process of their own; meanwhile the window answers.
void begin()
{
    setUpLibrary();
    g_vetting = std::make_unique<MibVetting>(searchFolders());
    if (!g_vetting->checking()) {
        completeLoad();
        return;
    }
    g_state = LoadState::Checking;
    g_vetting->watch(completeLoad);
    tellListeners(true);
}

} // namespace

namespace mibsetup {

void ensureLoaded(RequestWait wait)
{
    if (g_state == LoadState::NotStarted)
        begin();
    if (g_state == LoadState::Checking) {
        g_vetting->finish(wait);
        completeLoad();
    }
}

bool loadInBackground()
{
    if (g_state == LoadState::NotStarted)
        begin();
    return g_state == LoadState::Loaded;
}

int addLoadListener(std::function<void(bool)> listener)
{
    g_listeners[++g_lastListener] = std::move(listener);
    return g_lastListener;
}

void removeLoadListener(int id)
{
    g_listeners.erase(id);
}

std::vector<std::string> notedFiles()
{
    ensureLoaded();
    return {g_noted.begin(), g_noted.end()};
}

void noteFile(const std::string &path)
{
    ensureLoaded();
    note(path);
    forgetNotedName();
}

std::vector<MibModuleErrors> refusedFiles()
{
    ensureLoaded();
    return g_refused;
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
    if (g_state == LoadState::NotStarted)
        return;
    // Too late for the lazy start: add the folders' files to the loaded
    // library now, checked as the others were.
    mibsetup::ensureLoaded();
    MibVetting vetting(extraMibDirs, {g_noted.begin(), g_noted.end()});
    vetting.finish(RequestWait::Blocking);
    for (const std::string &path : vetting.usable())
        note(path);
    forgetNotedName();
    for (MibModuleErrors &refused : vetting.refused())
        g_refused.push_back(std::move(refused));
    if (g_loadAllMibs)
        read_all_mibs();
    mibsetup::mibsChanged();
}

void SnmpMgrLoadMibs(RequestWait wait)
{
    mibsetup::ensureLoaded(wait);
}
