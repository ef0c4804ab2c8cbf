// SPDX-License-Identifier: MIT
#include "engine/mib/mibsetup.h"

#include "engine/mib/mibvetting.h"
#include "engine/snmp/netsnmplibrary.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QStandardPaths>

#include <cstdlib>
#include <map>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

enum class LoadState { NotStarted, Checking, Loaded };

// The state of the loaded MIB set. GUI thread only (see mibsetup.h).
std::vector<std::string> g_extraMibDirs;
LoadState g_state = LoadState::NotStarted;
bool g_loadAllMibs = false;
uint64_t g_generation = 0;
std::vector<std::string> g_startupMessages;
std::vector<MibModuleErrors> g_refused;
std::vector<std::string> g_noted;
std::unique_ptr<MibVetting> g_vetting;
std::map<int, std::function<void(bool)>> g_listeners;
int g_lastListener = 0;

constexpr const char *NoFile = "/dev/null";

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

// The folders to load from, in order: MIBDIRS or Net-SNMP's default, ours
// after them, the user's last (of two files of one module the folder read
// later wins). Net-SNMP itself is left none to scan: it would open every
// entry, a FIFO too, and parse every file unchecked.
std::vector<std::string> searchFolders()
{
    netsnmp_get_mib_directory();
    for (const std::string &dir : g_extraMibDirs)
        appendMibDir(dir);
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
void readModules()
{
#if defined(__SANITIZE_ADDRESS__)
    // Net-SNMP 5.9 starts a fresh textual-convention table each time its MIB
    // internals start and drops the one the last load grew (about 10 KB per
    // reload); what it allocates here is its own to free.
    __lsan::ScopedDisabler netsnmpOwnsTheMibTables;
#endif
    mibsetup::LogCapture capture;
    // The keywords' table, which noting a file (its DEFINITIONS) needs.
    netsnmp_init_mib_internals();
    for (const std::string &path : g_noted)
        note(path);
    forgetNotedName();
    netsnmp_init_mib();
    g_loadAllMibs = std::getenv("MIBS") == nullptr;
    if (g_loadAllMibs)
        read_all_mibs();
    g_startupMessages = capture.lines();
}

void completeLoad()
{
    if (g_state == LoadState::Loaded)
        return;
    g_refused = g_vetting->refused();
    g_noted = g_vetting->usable();
    readModules();
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
    netsnmp::ensureInitialised();
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

void reloadAll()
{
    ensureLoaded();
    // Net-SNMP forgets the noted files with the rest; they are noted again,
    // and read as they now stand.
    shutdown_mib();
    readModules();
    mibsChanged();
}

std::vector<std::string> notedFiles()
{
    ensureLoaded();
    return g_noted;
}

void noteFile(const std::string &path)
{
    ensureLoaded();
    g_noted.push_back(path);
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

LogCapture::LogCapture()
{
    netsnmp::ensureInitialised();
    m_previous = netsnmp::setLogSink(this);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 1);
}

LogCapture::~LogCapture()
{
    netsnmp::setLogSink(m_previous);
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
    g_extraMibDirs.insert(g_extraMibDirs.end(), extraMibDirs.begin(), extraMibDirs.end());
    if (g_state == LoadState::NotStarted)
        return;
    // Too late for the lazy start: add the folders' files to the loaded
    // library now, checked as the others were.
    mibsetup::ensureLoaded();
    MibVetting vetting(extraMibDirs, {g_noted.begin(), g_noted.end()});
    vetting.finish(RequestWait::Blocking);
    for (const std::string &path : vetting.usable()) {
        g_noted.push_back(path);
        note(path);
    }
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
