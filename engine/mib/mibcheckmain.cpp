// SPDX-License-Identifier: MIT
// norvane-mibcheck: parses MIB files with Net-SNMP under a time and a memory
// limit, on behalf of the program, which reads a file into its own process
// only when the parse ended here. What it reads and says: mibcheckprotocol.h.
// It stays small: Net-SNMP and the C library, no Qt.
#include "engine/mib/mibcheckprotocol.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define NORVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NORVANE_ASAN 1
#endif
#endif

namespace {

long g_limitPages = 0; // the address space allowed, in pages; 0 without a limit

// Unbuffered and async-signal-safe: a line written just before a crash must
// not be lost with it.
void say(std::string_view prefix, std::string_view rest = {})
{
    for (std::string_view part : {prefix, rest, std::string_view("\n")}) {
        while (!part.empty()) {
            const ssize_t n = ::write(1, part.data(), part.size());
            if (n <= 0)
                return;
            part.remove_prefix(size_t(n));
        }
    }
}

[[noreturn]] void fail(std::string_view reason)
{
    say(reason);
    ::_exit(mibcheck::FailedExit);
}

// The address space in use, in pages: /proc/self/statm's first field.
long pagesInUse()
{
    const int fd = ::open("/proc/self/statm", O_RDONLY);
    if (fd < 0)
        return 0;
    char text[64];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    long pages = 0;
    for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
        pages = pages * 10 + (text[i] - '0');
    return pages;
}

// The most address space the process ever had, in pages: /proc/self/status's VmPeak.
long peakPages()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmPeak: %ld kB", &kib) == 1)
            break;
    }
    std::fclose(status);
    return kib * 1024 / ::sysconf(_SC_PAGESIZE);
}

// A parse that came near the limit may have been refused memory it then did
// without (Net-SNMP gives up on a node whose allocation failed), and would
// take all it needs in the program.
bool nearTheLimit(long pages)
{
    return g_limitPages > 0 && pages >= g_limitPages / 10 * 9;
}

// A parser that found no memory mostly dies of the null pointer it got: near
// the limit that is the memory's doing, anywhere else a crash.
void fatalSignal(int)
{
    fail(nearTheLimit(pagesInUse()) ? mibcheck::FailedMemory : mibcheck::FailedCrash);
}

void cpuTimeUp(int)
{
    fail(mibcheck::FailedTime);
}

void setLimits(long megabytes)
{
    // Not a moment longer than the program that asked.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#ifndef NORVANE_ASAN
    // AddressSanitizer reserves terabytes of address space for its shadow.
    rlimit memory {};
    memory.rlim_cur = memory.rlim_max = rlim_t(megabytes) * 1024 * 1024;
    if (::setrlimit(RLIMIT_AS, &memory) == 0)
        g_limitPages = long(memory.rlim_cur / rlim_t(::sysconf(_SC_PAGESIZE)));
#else
    (void)megabytes;
#endif
    std::set_new_handler([] { fail(mibcheck::FailedMemory); });
    // The handlers run on a stack of their own: the usual crash is a full stack.
    static char alternate[64 * 1024];
    stack_t stack {};
    stack.ss_sp = alternate;
    stack.ss_size = sizeof alternate;
    ::sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = fatalSignal;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    for (const int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        ::sigaction(signal, &action, nullptr);
    action.sa_handler = cpuTimeUp;
    ::sigaction(SIGXCPU, &action, nullptr);
}

// The CPU time limit, counted from now: each file has the whole of it.
void allowCpuSeconds(int seconds)
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    rlimit cpu {};
    ::getrlimit(RLIMIT_CPU, &cpu);
    cpu.rlim_cur = rlim_t(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + seconds + 1);
    if (cpu.rlim_max != RLIM_INFINITY && cpu.rlim_cur > cpu.rlim_max)
        cpu.rlim_cur = cpu.rlim_max;
    ::setrlimit(RLIMIT_CPU, &cpu);
}

// Net-SNMP's "parse-file" debug lines mark where it enters and leaves a
// file: "Parsing file:  PATH...", "End of file (PATH)".
int logged(int, int, void *serverArg, void *)
{
    const auto *message = static_cast<const snmp_log_message *>(serverArg);
    if (!message || !message->msg)
        return 0;
    std::string_view text = message->msg;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    constexpr std::string_view Entering = "Parsing file:  ";
    constexpr std::string_view Leaving = "End of file (";
    if (text.substr(0, Entering.size()) == Entering && text.size() >= Entering.size() + 3
        && text.substr(text.size() - 3) == "...")
        say(mibcheck::Parsing, text.substr(Entering.size(), text.size() - Entering.size() - 3));
    else if (text.substr(0, Leaving.size()) == Leaving && text.back() == ')')
        say(mibcheck::Parsed, text.substr(Leaving.size(), text.size() - Leaving.size() - 1));
    return 0;
}

// As the program sets the library up (engine/mibsetup.cpp), so that a file
// parses here as it does there: no configuration read, descriptions kept.
void initLibrary()
{
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, logged, nullptr);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    snmp_set_save_descriptions(1);
    snmp_set_do_debugging(1);
    debug_register_tokens("parse-file");
    // The keywords' table, which noting a file (its DEFINITIONS) needs.
    netsnmp_init_mib_internals();
}

// The module a file holds, once it is noted again: it takes the module over.
std::string takeOver(const std::string &path)
{
    add_mibfile(path.c_str(), nullptr);
    for (int id = 0;; ++id) {
        const struct module *record = find_module(id);
        if (!record)
            return {};
        if (record->file && record->name && path == record->file)
            return record->name;
    }
}

void check(const std::string &path, const std::string &module, int seconds)
{
    say(mibcheck::Checking, path);
    allowCpuSeconds(seconds);
    netsnmp_read_module(module.c_str());
    adopt_orphans();
    if (nearTheLimit(peakPages()))
        fail(mibcheck::FailedMemory);
    say(mibcheck::Checked, path);
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 10;
    long megabytes = 2048;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--megabytes") == 0)
            megabytes = std::max(64L, std::atol(argv[i + 1]));
    }
    setLimits(megabytes);

    std::vector<std::string> noted;
    std::vector<std::string> checks;
    for (std::string line; std::getline(std::cin, line);) {
        const std::string_view text = line;
        if (text.substr(0, mibcheck::Check.size()) == mibcheck::Check) {
            noted.emplace_back(text.substr(mibcheck::Check.size()));
            checks.push_back(noted.back());
        } else if (text.substr(0, mibcheck::Use.size()) == mibcheck::Use) {
            noted.emplace_back(text.substr(mibcheck::Use.size()));
        }
    }

    initLibrary();
    allowCpuSeconds(seconds);
    std::vector<std::string> modules; // the files that hold one
    for (const std::string &path : noted) {
        if (add_mibfile(path.c_str(), nullptr) == 0)
            modules.push_back(path);
    }
    // Which module each file holds, as Net-SNMP noted them: of two files of
    // a module the later one took it over.
    std::map<std::string, std::string> moduleOfFile;
    for (int id = 0;; ++id) {
        const struct module *record = find_module(id);
        if (!record)
            break;
        if (record->file && record->name)
            moduleOfFile[record->file] = record->name;
    }
    std::vector<std::string> overtaken;
    for (const std::string &path : checks) {
        if (const auto found = moduleOfFile.find(path); found != moduleOfFile.end())
            check(path, found->second, seconds);
        else if (std::find(modules.begin(), modules.end(), path) != modules.end())
            overtaken.push_back(path);
        else
            say(mibcheck::Checked, path); // no module: Net-SNMP never reads it
    }
    // A file whose module a later one holds is read only once that one has
    // gone: parsed here in its place, last, since the place changes hands.
    for (const std::string &path : overtaken) {
        const std::string module = takeOver(path);
        if (module.empty()) {
            say(mibcheck::Checked, path);
            continue;
        }
        netsnmp_unload_module(module.c_str());
        check(path, module, seconds);
    }
    return 0;
}
