// SPDX-License-Identifier: MIT
#include "engine/mib/mibsetup.h"

#include "engine/snmp/netsnmplibrary.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QStandardPaths>

#include <cstdlib>

namespace {

// The state of the loaded MIB set. GUI thread only (see mibsetup.h).
std::vector<std::string> g_extraMibDirs;
bool g_loaded = false;
bool g_loadAllMibs = false;
uint64_t g_generation = 0;
std::vector<std::string> g_startupMessages;

void appendMibDir(const std::string &dir)
{
    if (!dir.empty())
        netsnmp_set_mib_directory(("+" + dir).c_str());
}

// Reads the modules MIBS names (or Net-SNMP's default list); without MIBS
// every module in the search path is wanted.
void readModules()
{
    {
        mibsetup::LogCapture capture;
        netsnmp_init_mib();
        g_loadAllMibs = std::getenv("MIBS") == nullptr;
        if (g_loadAllMibs)
            read_all_mibs();
        g_startupMessages = capture.lines();
    }
    g_loaded = true;
    mibsetup::mibsChanged();
}

void loadMibs()
{
    netsnmp::ensureInitialised();
    // Fills the search path from MIBDIRS or the built-in default, so that
    // ours append to it. It outlives a reload.
    netsnmp_get_mib_directory();
    for (const std::string &dir : g_extraMibDirs)
        appendMibDir(dir);
    if (const char *dir = std::getenv("NORVANE_MIBDIR"))
        appendMibDir(dir);
    // Last: of two files of one module the folder scanned later wins.
    appendMibDir(mibsetup::userMibFolder());
    readModules();
}

} // namespace

namespace mibsetup {

void ensureLoaded()
{
    if (!g_loaded)
        loadMibs();
}

void reloadAll()
{
    if (!g_loaded) {
        loadMibs();
        return;
    }
    shutdown_mib();
    readModules();
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
    // Too late for the lazy start: add the folders to the loaded library now.
    if (g_loaded) {
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
