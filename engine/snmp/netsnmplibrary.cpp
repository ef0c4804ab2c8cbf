// SPDX-License-Identifier: MIT
#include "engine/snmp/netsnmplibrary.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <signal.h>

#include <utility>

namespace {

netsnmp::LogSink *g_sink = nullptr;

int logged(int, int, void *serverArg, void *)
{
    const auto *message = static_cast<const snmp_log_message *>(serverArg);
    if (g_sink && message && message->msg)
        g_sink->logged(message->msg);
    return 0;
}

// Host and user config files are not read: they may print, change the MIB
// list ("mibs :" on Debian) or write persistent state. No init_snmp(): it
// would also set up certificate stores on disk; the transports initialise
// themselves at the first session, the SNMPv3 modules at the first SNMPv3
// session (engine/snmp/usm.cpp), the MIB modules at their first need
// (engine/mib/mibsetup.cpp).
bool initialise()
{
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, logged, nullptr);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    // MIB parse errors are logged only while a capture keeps them: at other
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
    return true;
}

} // namespace

namespace netsnmp {

void ensureInitialised()
{
    static const bool initialised = initialise();
    (void)initialised;
}

LogSink *setLogSink(LogSink *sink)
{
    return std::exchange(g_sink, sink);
}

} // namespace netsnmp
