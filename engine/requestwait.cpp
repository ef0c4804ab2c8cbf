// SPDX-License-Identifier: MIT
#include "engine/requestwait.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>

namespace {

// How long a wait that processes events first blocks for a quick answer.
constexpr int QuickAnswerMs = 5;

struct WaitState
{
    int requestId = 0;
    bool waiting = false;
    int status = STAT_ERROR;
    netsnmp_pdu *response = nullptr;
    bool socketFailed = false;
};

// What the synchronous call's own callback does for v1 and v2c. Every
// outcome that ends the request ends the wait, so Net-SNMP never calls back
// into a state that is gone.
int onAnswer(int op, netsnmp_session *session, int requestId, netsnmp_pdu *pdu, void *magic)
{
    auto *state = static_cast<WaitState *>(magic);
    if (requestId != state->requestId)
        return 0; // not ours
    if (op == NETSNMP_CALLBACK_OP_RESEND || op == NETSNMP_CALLBACK_OP_CONNECT)
        return 1; // a retry going out: still waiting
    state->waiting = false;
    switch (op) {
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
        if (pdu && pdu->command == SNMP_MSG_RESPONSE) {
            state->response = snmp_clone_pdu(pdu);
            state->status = state->response ? STAT_SUCCESS : STAT_ERROR;
            session->s_snmp_errno = state->response ? SNMPERR_SUCCESS : SNMPERR_MALLOC;
        } else {
            state->status = STAT_ERROR;
            session->s_snmp_errno = SNMPERR_PROTOCOL;
        }
        break;
    case NETSNMP_CALLBACK_OP_TIMED_OUT:
        state->status = STAT_TIMEOUT;
        session->s_snmp_errno = SNMPERR_TIMEOUT;
        break;
    case NETSNMP_CALLBACK_OP_SEND_FAILED:
        state->status = STAT_ERROR;
        if (session->s_snmp_errno == SNMPERR_SUCCESS)
            session->s_snmp_errno = SNMPERR_BAD_SENDTO;
        break;
    default: // disconnected, or a security failure
        state->status = STAT_ERROR;
        session->s_snmp_errno = SNMPERR_ABORT;
        break;
    }
    return 1;
}

// Net-SNMP no longer holds the request, yet said nothing of it: waiting on
// would never end.
void endUnheard(WaitState &state)
{
    state.waiting = false;
    state.status = STAT_ERROR;
}

// A descriptor set holding the session's socket alone, of any number.
class SocketSet
{
public:
    explicit SocketSet(int fd)
    {
        netsnmp_large_fd_set_init(&m_set, fd + 1);
        NETSNMP_LARGE_FD_ZERO(&m_set);
        NETSNMP_LARGE_FD_SET(fd, &m_set);
    }
    ~SocketSet() { netsnmp_large_fd_set_cleanup(&m_set); }
    SocketSet(const SocketSet &) = delete;
    SocketSet &operator=(const SocketSet &) = delete;

    netsnmp_large_fd_set *get() { return &m_set; }

private:
    netsnmp_large_fd_set m_set;
};

// Time until the session's next retry or final timeout falls due; none when
// no request is outstanding.
std::optional<timeval> nextDue(void *session, int fd)
{
    SocketSet set(fd);
    int fds = 0;
    int block = 1;
    timeval due{};
    snmp_sess_select_info2_flags(session, &fds, set.get(), &due, &block, NETSNMP_SELECT_NOALARMS);
    if (block)
        return std::nullopt;
    return due;
}

void readAnswer(void *session, int fd)
{
    SocketSet set(fd);
    snmp_sess_read2(session, set.get());
}

using Clock = std::chrono::steady_clock;

// Sleeps in ppoll() until the socket is readable or the next timeout is due,
// as the synchronous call sleeps in select(), until the request has ended or
// the given moment has come.
void waitBlocking(void *session, int fd, WaitState &state, std::optional<Clock::time_point> until = {})
{
    while (state.waiting) {
        const std::optional<timeval> due = nextDue(session, fd);
        if (!due) {
            endUnheard(state);
            break;
        }
        auto sleep = std::chrono::seconds(due->tv_sec) + std::chrono::microseconds(due->tv_usec);
        if (until) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(*until - Clock::now());
            if (left <= left.zero())
                break;
            sleep = std::min<std::chrono::microseconds>(sleep, left);
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sleep);
        const timespec limit{time_t(seconds.count()),
                             long(std::chrono::duration_cast<std::chrono::nanoseconds>(sleep - seconds).count())};
        // A socket that poll() refuses is no longer watched: the request then
        // ends by its timeouts rather than at once, so that Net-SNMP drops it.
        pollfd watched{state.socketFailed ? -1 : fd, POLLIN, 0};
        const int ready = ppoll(&watched, 1, &limit, nullptr);
        if (ready > 0) {
            readAnswer(session, fd);
        } else if (ready == 0) {
            snmp_sess_timeout(session); // does nothing before a timeout is due
        } else if (errno != EINTR) {
            state.socketFailed = true;
        }
    }
}

int timerMs(const timeval &due)
{
    // Rounded up: a timer that fires early makes Net-SNMP find nothing due.
    const long long ms = (static_cast<long long>(due.tv_sec) * 1000000 + due.tv_usec + 999) / 1000;
    return int(std::min<long long>(ms, INT_MAX));
}

// The same wait inside a local event loop: the socket is watched by a
// notifier and the retry timeouts by a timer, so the thread's other events
// (the window's) are handled meanwhile.
void waitProcessingEvents(void *session, int fd, WaitState &state)
{
    // Most answers come within a millisecond, and setting up the loop for
    // each would cost a fast walk a quarter more CPU time. Events wait these
    // few milliseconds at most, far below what a user notices.
    waitBlocking(session, fd, state, Clock::now() + std::chrono::milliseconds(QuickAnswerMs));
    if (!state.waiting)
        return;

    QEventLoop loop;
    QSocketNotifier readable(qintptr(fd), QSocketNotifier::Read);
    QTimer due;
    due.setSingleShot(true);
    due.setTimerType(Qt::PreciseTimer);
    const auto carryOn = [&] {
        if (!state.waiting) {
            loop.quit();
            return;
        }
        if (const std::optional<timeval> next = nextDue(session, fd)) {
            due.start(timerMs(*next));
        } else {
            endUnheard(state);
            loop.quit();
        }
    };
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
        readAnswer(session, fd);
        carryOn();
    });
    QObject::connect(&due, &QTimer::timeout, &loop, [&] {
        snmp_sess_timeout(session);
        carryOn();
    });
    carryOn();
    // exec() returns -1 at once once the application is quitting; the
    // request then still ends as it would have, by blocking.
    while (state.waiting && loop.exec() >= 0) {
    }
    readable.setEnabled(false);
    due.stop();
    waitBlocking(session, fd, state);
}

} // namespace

int sendAndWait(void *session, snmp_pdu *request, snmp_pdu **response, RequestWait wait)
{
    *response = nullptr;
    const netsnmp_transport *transport = snmp_sess_transport(session);
    if (!snmp_sess_session(session) || !transport || transport->sock < 0) {
        snmp_free_pdu(request);
        return STAT_ERROR;
    }
    WaitState state;
    state.requestId = snmp_sess_async_send(session, request, onAnswer, &state);
    if (state.requestId == 0) {
        snmp_free_pdu(request); // not taken on failure
        return STAT_ERROR;
    }
    state.waiting = true;
    if (wait == RequestWait::ProcessEvents && QCoreApplication::instance())
        waitProcessingEvents(session, transport->sock, state);
    else
        waitBlocking(session, transport->sock, state);

    // As the synchronous call fails when select() does.
    if (state.socketFailed && state.status == STAT_TIMEOUT)
        state.status = STAT_ERROR;
    *response = state.response;
    return state.status;
}
