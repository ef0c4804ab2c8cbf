// SPDX-License-Identifier: MIT
#pragma once

// Net-SNMP's MIB parser is C code that a file can crash (a chain 100,000
// deep exhausts its stack), keep busy for minutes (70,000 siblings take it
// half a minute) or fill memory with. A file is read into this process only
// once norvane-mibcheck, a process of its own with a time and a memory limit,
// has parsed it to its end the way this process would. Here the checker is
// run and its verdicts read; engine/mib/mibcheckmain.cpp is the checker.

#include "engine/snmp/requestoptions.h"

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

enum class MibCheckVerdict {
    Good,        // parsed to its end
    TimedOut,    // past the time limit
    OutOfMemory, // past the memory limit
    Crashed,     // the parser died of a signal
    NotChecked,  // the checker could not be started
};

struct MibCheckLimits
{
    int seconds = 10;     // a file's parse, its imports included
    int megabytes = 2048; // the checker's address space
};

// The limits above, or NORVANE_MIBCHECK_SECONDS and NORVANE_MIBCHECK_MEGABYTES.
MibCheckLimits mibCheckLimits();

// Why a file is not read, in words: "took longer than 10 s", "ran out of
// memory", "the parser crashed"; empty for Good.
std::string mibCheckReason(MibCheckVerdict verdict, const MibCheckLimits &limits);

// NORVANE_MIBCHECK, or norvane-mibcheck where the installation puts it
// relative to this program's folder (the build tree has the same layout).
std::string mibCheckerPath();

struct MibCheckEntry
{
    std::string path;
    bool check = false; // parsed; otherwise only noted, for the others to import
};

// One check of files, through as many checkers as it takes: after a checker
// died, the file whose parse killed it is judged, left out, and the next
// checker goes on with the files after it. The time limit holds for each
// checked file from the moment the checker reaches it.
class MibCheckRun
{
public:
    // The files in the order Net-SNMP notes them (of two files of a module
    // the later one counts); those to check are parsed in that order.
    explicit MibCheckRun(std::vector<MibCheckEntry> files, MibCheckLimits limits = mibCheckLimits());
    ~MibCheckRun(); // a checker still at work is killed
    MibCheckRun(const MibCheckRun &) = delete;
    MibCheckRun &operator=(const MibCheckRun &) = delete;

    bool done() const { return m_pending.empty() && m_pid < 0; }
    // Until done. ProcessEvents handles the thread's events meanwhile, on the
    // main thread of a QCoreApplication and unless some wait already does:
    // a wait inside one blocks, so that nothing waits on another's behalf.
    void finish(RequestWait wait);
    // Goes on by itself from the thread's event loop (a QCoreApplication's
    // main thread only) and calls onDone there once done.
    void watch(std::function<void()> onDone);

    // Every checked file's verdict, and that of a file only noted that
    // killed a checker while another was parsed.
    const std::map<std::string, MibCheckVerdict> &verdicts() const { return m_verdicts; }
    const MibCheckLimits &limits() const { return m_limits; }

private:
    void step();
    void start();
    void read();
    void take(const std::string &line);
    void ended(int status);
    void refresh();
    int msToDeadline() const;

    std::vector<MibCheckEntry> m_files;
    std::vector<std::string> m_pending; // to check, the one being checked first
    MibCheckLimits m_limits;
    std::map<std::string, MibCheckVerdict> m_verdicts;
    pid_t m_pid = -1;
    int m_out = -1;
    bool m_ended = false; // the checker closed its output
    std::string m_buffer;
    std::string m_current;              // the file being checked
    std::vector<std::string> m_parsing; // the files Net-SNMP is inside, innermost last
    std::optional<MibCheckVerdict> m_said; // what the checker said of its own end
    bool m_killed = false;                  // by us, for the time limit
    std::chrono::steady_clock::time_point m_deadline;
    std::function<void()> m_onDone;
    bool m_watching = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_timer;
};
