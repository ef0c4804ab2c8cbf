// SPDX-License-Identifier: MIT
#include "engine/mib/mibcheck.h"

#include "engine/mib/mibcheckprotocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

bool g_waitingWithEvents = false;

int positiveFromEnvironment(const char *name, int fallback)
{
    const char *text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return *end == '\0' && value > 0 && value <= INT_MAX ? int(value) : fallback;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool canProcessEvents()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// The checker's standard input: a file in memory, so that a long list never
// blocks on a pipe the checker has not read yet.
int listFile(const std::string &text)
{
    const int fd = ::memfd_create("norvane-mibcheck-list", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += size_t(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

} // namespace

MibCheckLimits mibCheckLimits()
{
    MibCheckLimits limits;
    limits.seconds = positiveFromEnvironment("NORVANE_MIBCHECK_SECONDS", limits.seconds);
    limits.megabytes = positiveFromEnvironment("NORVANE_MIBCHECK_MEGABYTES", limits.megabytes);
    return limits;
}

std::string mibCheckReason(MibCheckVerdict verdict, const MibCheckLimits &limits)
{
    switch (verdict) {
    case MibCheckVerdict::Good:
        return {};
    case MibCheckVerdict::TimedOut:
        return "its parse took longer than " + std::to_string(limits.seconds) + " s";
    case MibCheckVerdict::OutOfMemory:
        return "its parse ran out of memory (more than " + std::to_string(limits.megabytes) + " MB)";
    case MibCheckVerdict::Crashed:
        return "the parser crashed on it";
    case MibCheckVerdict::NotChecked:
        break;
    }
    return "it could not be checked: " + mibCheckerPath() + " did not start";
}

std::string mibCheckerPath()
{
    if (const char *path = std::getenv("NORVANE_MIBCHECK"); path && *path)
        return path;
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = n > 0 ? std::string(self, size_t(n)) : std::string();
    folder = folder.substr(0, folder.rfind('/') + 1);
    return folder + NORVANE_MIBCHECK_RELPATH;
}

MibCheckRun::MibCheckRun(std::vector<MibCheckEntry> files, MibCheckLimits limits)
    : m_files(std::move(files)), m_limits(limits)
{
    for (const MibCheckEntry &entry : m_files) {
        if (entry.check)
            m_pending.push_back(entry.path);
    }
    if (!m_pending.empty())
        start();
}

MibCheckRun::~MibCheckRun()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0)
        ::close(m_out);
}

void MibCheckRun::start()
{
    const std::unordered_set<std::string> pending(m_pending.begin(), m_pending.end());
    std::string list;
    for (const MibCheckEntry &entry : m_files)
        list.append(pending.count(entry.path) ? mibcheck::Check : mibcheck::Use).append(entry.path).push_back('\n');
    const std::string checker = mibCheckerPath();
    const std::string seconds = std::to_string(m_limits.seconds);
    const std::string megabytes = std::to_string(m_limits.megabytes);
    const char *argv[] = {checker.c_str(), "--seconds", seconds.c_str(), "--megabytes", megabytes.c_str(), nullptr};

    const int input = listFile(list);
    int pipe[2] = {-1, -1};
    bool started = false;
    if (input >= 0 && ::pipe2(pipe, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input, 0);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // What this process ignores or blocks (SIGPIPE, the exit signals) is
        // the checker's to have by default.
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        started = ::posix_spawn(&m_pid, checker.c_str(), &actions, &attributes, const_cast<char *const *>(argv),
                                environ) == 0;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
    }
    if (input >= 0)
        ::close(input);
    if (!started) {
        if (pipe[0] >= 0)
            ::close(pipe[0]);
        m_pid = -1;
        for (const std::string &path : m_pending)
            m_verdicts[path] = MibCheckVerdict::NotChecked;
        m_pending.clear();
        return;
    }
    m_out = pipe[0];
    ::fcntl(m_out, F_SETFL, ::fcntl(m_out, F_GETFL) | O_NONBLOCK);
    m_ended = false;
    m_buffer.clear();
    m_parsing.clear();
    m_current.clear();
    m_said.reset();
    m_killed = false;
    m_deadline = Clock::now() + std::chrono::seconds(m_limits.seconds);
}

void MibCheckRun::read()
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_out, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_ended = n == 0 || errno != EAGAIN;
            break;
        }
        m_buffer.append(chunk, size_t(n));
    }
    size_t start = 0;
    for (size_t end; (end = m_buffer.find('\n', start)) != std::string::npos; start = end + 1)
        take(m_buffer.substr(start, end - start));
    m_buffer.erase(0, start);
}

void MibCheckRun::take(const std::string &line)
{
    const std::string_view text = line;
    if (startsWith(text, mibcheck::Checking)) {
        m_current = std::string(text.substr(mibcheck::Checking.size()));
        m_parsing.clear();
        m_deadline = Clock::now() + std::chrono::seconds(m_limits.seconds);
    } else if (startsWith(text, mibcheck::Parsing)) {
        m_parsing.emplace_back(text.substr(mibcheck::Parsing.size()));
    } else if (startsWith(text, mibcheck::Parsed)) {
        // A parse that gave up on an error says nothing at its end: the
        // files above it on the list are left too.
        const auto found = std::find(m_parsing.rbegin(), m_parsing.rend(), text.substr(mibcheck::Parsed.size()));
        if (found != m_parsing.rend())
            m_parsing.erase(std::prev(found.base()), m_parsing.end());
    } else if (startsWith(text, mibcheck::Checked)) {
        const std::string path(text.substr(mibcheck::Checked.size()));
        m_verdicts[path] = MibCheckVerdict::Good;
        m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), path), m_pending.end());
        m_current.clear();
        m_parsing.clear();
        m_deadline = Clock::now() + std::chrono::seconds(m_limits.seconds);
    } else if (text == mibcheck::FailedTime) {
        m_said = MibCheckVerdict::TimedOut;
    } else if (text == mibcheck::FailedMemory) {
        m_said = MibCheckVerdict::OutOfMemory;
    } else if (text == mibcheck::FailedCrash) {
        m_said = MibCheckVerdict::Crashed;
    }
}

void MibCheckRun::step()
{
    if (m_pid < 0)
        return;
    read();
    if (!m_ended && Clock::now() < m_deadline)
        return;
    if (!m_ended) {
        ::kill(m_pid, SIGKILL);
        m_killed = true;
    }
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    read(); // what it wrote before it went
    ::close(m_out);
    m_out = -1;
    ended(status);
    refresh();
    if (done() && m_onDone)
        std::exchange(m_onDone, nullptr)();
}

void MibCheckRun::ended(int status)
{
    if (m_pending.empty())
        return;
    MibCheckVerdict verdict = MibCheckVerdict::Crashed;
    if (m_killed)
        verdict = MibCheckVerdict::TimedOut;
    else if (m_said)
        verdict = *m_said;
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        verdict = MibCheckVerdict::TimedOut;
    else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        verdict = MibCheckVerdict::OutOfMemory; // the kernel's OOM killer: nobody else kills it
    // The file Net-SNMP was inside, else the one being checked. A file
    // imported on the way may be innocent of what its importer did later;
    // taken out, it is judged on its own the next time it is checked.
    const std::string culprit = !m_parsing.empty() ? m_parsing.back()
                                : !m_current.empty() ? m_current
                                                     : m_pending.front();
    m_verdicts[culprit] = verdict;
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), culprit), m_pending.end());
    m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                 [&](const MibCheckEntry &entry) { return entry.path == culprit; }),
                  m_files.end());
    if (!m_pending.empty())
        start();
}

int MibCheckRun::msToDeadline() const
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    return int(std::clamp<long long>(left + 1, 0, INT_MAX));
}

void MibCheckRun::finish(RequestWait wait)
{
    if (wait == RequestWait::ProcessEvents && canProcessEvents() && !g_waitingWithEvents) {
        g_waitingWithEvents = true;
        const auto onDone = std::move(m_onDone);
        m_onDone = nullptr;
        if (!m_watching)
            watch(nullptr);
        QEventLoop loop;
        // One pass at a time: whatever a handled event did is looked at after each.
        while (!done())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        g_waitingWithEvents = false;
        if (onDone)
            onDone();
        return;
    }
    while (!done()) {
        pollfd ready{m_out, POLLIN, 0};
        ::poll(&ready, 1, msToDeadline());
        step();
    }
}

void MibCheckRun::watch(std::function<void()> onDone)
{
    m_onDone = std::move(onDone);
    if (!canProcessEvents())
        return;
    m_watching = true;
    refresh();
}

// The notifier follows the checker's output, the timer its deadline. A
// notifier is made anew for each checker and never deleted inside its own
// signal; the last one stays, disabled, until the run goes.
void MibCheckRun::refresh()
{
    if (!m_watching)
        return;
    if (done()) {
        if (m_notifier)
            m_notifier->setEnabled(false);
        if (m_timer)
            m_timer->stop();
        return;
    }
    if (m_notifier && m_notifier->socket() != m_out) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    if (!m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(qintptr(m_out), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { step(); });
    }
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] {
            step();
            if (!done())
                m_timer->start(msToDeadline());
        });
    }
    m_timer->start(msToDeadline());
}
