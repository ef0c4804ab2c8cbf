// SPDX-License-Identifier: MIT
#pragma once

// Net-SNMP's library state, set up once for the whole process: its log
// handled by us (nothing reaches stderr), no configuration file read and no
// persistent state written, SIGPIPE ignored. Loading MIB modules is a step
// of its own (engine/mib/mibsetup.h): a session needs none.

namespace netsnmp {

// Sets the library up on the first call; every entry point that calls into
// Net-SNMP calls it first.
void ensureInitialised();

// Where Net-SNMP's log lines go: the sink set last, or nowhere.
class LogSink
{
public:
    virtual void logged(const char *text) = 0;

protected:
    ~LogSink() = default;
};
// Sets the sink and returns the one it replaces (null for none).
LogSink *setLogSink(LogSink *sink);

} // namespace netsnmp
