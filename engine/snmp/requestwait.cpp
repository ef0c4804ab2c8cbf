// SPDX-License-Identifier: MIT
#include "engine/snmp/requestwait.h"

#include "engine/snmp/pdureader.h"

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
#include <cstring>
#include <optional>

namespace {

// How long a wait that processes events first blocks for a quick answer.
constexpr int QuickAnswerMs = 5;

void finish(RequestExchange &pending, WaitOutcome outcome)
{
    pending.waiting = false;
    pending.outcome = outcome;
}

// What the synchronous call's own callback does for v1 and v2c. The records
// of the answer come from readDatagram; this only learns how the request
// ended. A request given up earlier may still end here (its late
// answer, its last timeout, the session's close): it is no longer awaited
// and changes nothing.
int onAnswer(int op, netsnmp_session *session, int requestId, netsnmp_pdu *pdu, void *magic)
{
    auto *pending = static_cast<RequestExchange *>(magic);
    if (op == NETSNMP_CALLBACK_OP_RESEND || op == NETSNMP_CALLBACK_OP_CONNECT)
        return 1; // a retry going out: still waiting
    if (requestId != pending->requestId || !pending->waiting)
        return 1;
    switch (op) {
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
        if (pdu && pdu->command == SNMP_MSG_RESPONSE) {
            finish(*pending, WaitOutcome::Answered);
        } else if (pdu && pdu->command == SNMP_MSG_REPORT) {
            // An SNMPv3 agent's refusal, as the synchronous call takes it.
            // Net-SNMP reads the kind back from the session: out of the
            // agent's time window, it resends with the agent's time and the
            // request goes on; any other kind is the failure.
            session->s_snmp_errno = snmpv3_get_report_type(pdu);
            if (session->s_snmp_errno != SNMPERR_NOT_IN_TIME_WINDOW)
                finish(*pending, WaitOutcome::Failed);
        } else {
            session->s_snmp_errno = SNMPERR_PROTOCOL;
            finish(*pending, WaitOutcome::Failed);
        }
        break;
    case NETSNMP_CALLBACK_OP_TIMED_OUT:
        session->s_snmp_errno = SNMPERR_TIMEOUT;
        finish(*pending, WaitOutcome::TimedOut);
        break;
    case NETSNMP_CALLBACK_OP_SEND_FAILED:
        if (session->s_snmp_errno == SNMPERR_SUCCESS)
            session->s_snmp_errno = SNMPERR_BAD_SENDTO;
        finish(*pending, WaitOutcome::SendFailed);
        break;
    default: // disconnected, or a security failure
        session->s_snmp_errno = SNMPERR_ABORT;
        finish(*pending, WaitOutcome::Failed);
        break;
    }
    return 1;
}

// A stream transport whose peer closed or reset the connection: Net-SNMP has
// closed the socket, and the next select_info call would close (free) the
// session handle itself, which the caller still owns. Nothing may touch the
// session's socket or timers again; the request ends here.
bool connectionClosed(void *session, RequestExchange &pending)
{
    const netsnmp_transport *transport = snmp_sess_transport(session);
    if (transport && transport->sock >= 0)
        return false;
    if (pending.waiting)
        finish(pending, WaitOutcome::Closed);
    return true;
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
// no request is outstanding. Only for a session whose socket is open.
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

// Net-SNMP no longer holds the request, yet said nothing of it: waiting on
// would never end.
bool endUnheard(void *session, int fd, RequestExchange &pending, std::optional<timeval> &due)
{
    if (connectionClosed(session, pending))
        return true;
    due = nextDue(session, fd);
    if (due)
        return false;
    if (pending.waiting)
        finish(pending, WaitOutcome::Failed);
    return true;
}

void readSocket(void *session, int fd)
{
    SocketSet set(fd);
    snmp_sess_read2(session, set.get());
}

using Clock = std::chrono::steady_clock;

// How long a wait polls the socket before it sleeps, while the agent has
// been answering within QuickAnswer on average. An agent on this machine may
// answer within some tens of microseconds, less than going to sleep and being
// woken costs: a GetNext walk of the bench agent is a third faster. Not for
// slower agents (snmpd's answers take some 70): the spin would be CPU time
// lost, and a core kept busy makes waking the agent costlier.
constexpr auto SpinTime = std::chrono::microseconds(50);
constexpr auto QuickAnswer = std::chrono::microseconds(30);

// Polls without sleeping until the socket is readable or SpinTime has passed:
// ppoll()'s result, 0 when nothing came.
int spinForAnswer(pollfd &watched)
{
    const auto until = Clock::now() + SpinTime;
    const timespec now{0, 0};
    int ready = 0;
    do
        ready = ppoll(&watched, 1, &now, nullptr);
    while (ready == 0 && Clock::now() < until);
    return ready;
}

// Sleeps in ppoll() until the socket is readable or the next timeout is due,
// as the synchronous call sleeps in select(), until the request has ended or
// the given moment has come.
void waitBlocking(void *session, int fd, RequestExchange &pending, bool &socketFailed,
                  std::optional<Clock::time_point> until = {})
{
    while (pending.waiting) {
        std::optional<timeval> due;
        if (endUnheard(session, fd, pending, due))
            break;
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
        pollfd watched{socketFailed ? -1 : fd, POLLIN, 0};
        const Clock::time_point started = Clock::now();
        int ready = pending.typicalWait < QuickAnswer ? spinForAnswer(watched) : 0;
        if (ready == 0)
            ready = ppoll(&watched, 1, &limit, nullptr);
        // A wait that ended empty (a timeout, or the caller's limit) counts
        // as long as it took: less than the answer will.
        if (ready >= 0)
            pending.typicalWait = (3 * pending.typicalWait + (Clock::now() - started)) / 4;
        if (ready > 0) {
            readSocket(session, fd);
        } else if (ready == 0) {
            snmp_sess_timeout(session); // does nothing before a timeout is due
        } else if (errno != EINTR) {
            socketFailed = true;
        }
    }
}

int timerMs(const timeval &due)
{
    // Rounded up: a timer that fires early makes Net-SNMP find nothing due.
    const long long ms = (static_cast<long long>(due.tv_sec) * 1000000 + due.tv_usec + 999) / 1000;
    return int(std::min<long long>(ms, INT_MAX));
}

// The same wait with the thread's events handled meanwhile: the socket is
// watched by a notifier and the retry timeouts by a timer, and the caller
// may give the request up from one of those events.
void waitProcessingEvents(void *session, int fd, RequestExchange &pending, bool &socketFailed,
                          const AbandonCheck &abandoned)
{
    // Most answers come within a millisecond, and setting up the loop for
    // each would cost a fast walk a quarter more CPU time. Events wait these
    // few milliseconds at most, far below what a user notices.
    waitBlocking(session, fd, pending, socketFailed, Clock::now() + std::chrono::milliseconds(QuickAnswerMs));
    if (!pending.waiting)
        return;

    QEventLoop loop;
    QSocketNotifier readable(qintptr(fd), QSocketNotifier::Read);
    QTimer due;
    due.setSingleShot(true);
    due.setTimerType(Qt::PreciseTimer);
    const auto carryOn = [&] {
        std::optional<timeval> next;
        if (endUnheard(session, fd, pending, next)) {
            // The socket may be closed and its number soon another's.
            readable.setEnabled(false);
            due.stop();
            return;
        }
        if (pending.waiting)
            due.start(timerMs(*next));
    };
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
        readSocket(session, fd);
        carryOn();
    });
    QObject::connect(&due, &QTimer::timeout, &loop, [&] {
        snmp_sess_timeout(session);
        carryOn();
    });
    carryOn();
    // One pass at a time rather than exec(): whatever a handled event did
    // (Stop and a new Run, a close, a signal) is looked at after each pass.
    while (pending.waiting) {
        if (abandoned && abandoned()) {
            finish(pending, WaitOutcome::Abandoned);
            break;
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    readable.setEnabled(false);
    due.stop();
}

} // namespace

void PduDeleter::operator()(snmp_pdu *pdu) const
{
    snmp_free_pdu(pdu);
}

int readDatagram(netsnmp_session *session, netsnmp_pdu *pdu, u_char *packet, size_t length)
{
    auto *exchange = static_cast<RequestExchange *>(session->myvoid);
    if (!exchange)
        return SNMPERR_ASN_PARSE_ERR;
    const bool read = berreader::readResponse(packet, length, exchange->incoming, exchange->version);
    if (!read || exchange->incoming.requestId != exchange->requestId || !exchange->waiting) {
        // Net-SNMP drops what is refused here without a trace, and the
        // request then ends as a timeout. A datagram counts as the agent's
        // answering unless it answers one of the session's earlier requests:
        // a duplicated or late datagram must not make a silent agent look
        // like one that answers nonsense.
        berreader::Message header;
        const bool stale = berreader::readMessage(packet, length, header) && header.requestId >= exchange->firstId
            && header.requestId < exchange->requestId;
        if (!stale)
            ++exchange->strayDatagrams;
        return SNMPERR_ASN_PARSE_ERR;
    }
    std::swap(exchange->answer, exchange->incoming);
    exchange->answered = true;
    // Net-SNMP gets the fields it matches the answer with.
    pdu->version = exchange->version == 1 ? SNMP_VERSION_2c : SNMP_VERSION_1;
    pdu->securityModel = exchange->version == 1 ? SNMP_SEC_MODEL_SNMPv2c : SNMP_SEC_MODEL_SNMPv1;
    pdu->command = SNMP_MSG_RESPONSE;
    pdu->flags |= UCD_MSG_FLAG_RESPONSE_PDU;
    pdu->reqid = exchange->answer.requestId;
    pdu->errstat = exchange->answer.errorStatus;
    pdu->errindex = exchange->answer.errorIndex;
    return SNMP_ERR_NOERROR;
}

// Whether a message Net-SNMP could not read comes from another engine than
// the session's, as the same user: an agent restarted as a new engine
// reports the request's engine ID unknown, naming the user under its new
// engine ID, for which Net-SNMP has no user and so drops the report.
bool fromOtherEngine(const netsnmp_session &session, const netsnmp_pdu &pdu, int result)
{
    if (result != SNMPERR_USM_UNKNOWNSECURITYNAME && result != SNMPERR_USM_UNKNOWNENGINEID)
        return false;
    if (session.securityEngineIDLen == 0 || pdu.securityEngineIDLen == 0 || !pdu.securityEngineID)
        return false;
    const bool sameEngine = pdu.securityEngineIDLen == session.securityEngineIDLen
        && std::memcmp(pdu.securityEngineID, session.securityEngineID, pdu.securityEngineIDLen) == 0;
    const bool sameUser = pdu.securityName && session.securityName && pdu.securityNameLen == session.securityNameLen
        && std::memcmp(pdu.securityName, session.securityName, pdu.securityNameLen) == 0;
    return !sameEngine && sameUser;
}

int keepDecodedAnswer(netsnmp_session *session, netsnmp_pdu *pdu, int result)
{
    auto *exchange = static_cast<RequestExchange *>(session->myvoid);
    if (!exchange || !pdu)
        return 1;
    if (result != SNMP_ERR_NOERROR) {
        // Waiting on would only end in a timeout: the engine asked is gone.
        if (exchange->waiting && fromOtherEngine(*session, *pdu, result)) {
            exchange->report = SNMPERR_UNKNOWN_ENG_ID;
            finish(*exchange, WaitOutcome::Failed);
        }
        return 1;
    }
    if (pdu->command == SNMP_MSG_REPORT) {
        // Net-SNMP may drop the request a report refuses without a word to
        // its callback; what the report says is kept for the failure.
        if (exchange->waiting)
            exchange->report = snmpv3_get_report_type(pdu);
        return 1;
    }
    if (pdu->command != SNMP_MSG_RESPONSE)
        return 1;
    if (!exchange->waiting || pdu->reqid != exchange->requestId) {
        // As readDatagram counts them: late answers to earlier requests are no sign.
        if (!(pdu->reqid >= exchange->firstId && pdu->reqid < exchange->requestId))
            ++exchange->strayDatagrams;
        return 1;
    }
    if (!readDecodedResponse(*pdu, exchange->incoming)) {
        ++exchange->strayDatagrams;
        return 0; // refused: the request ends as a timeout with datagrams seen
    }
    std::swap(exchange->answer, exchange->incoming);
    exchange->answered = true;
    return 1;
}

std::optional<WaitOutcome> sendOnly(void *session, PduPtr request, RequestExchange &exchange)
{
    exchange.requestId = request->reqid;
    if (exchange.firstId == 0)
        exchange.firstId = request->reqid;
    exchange.waiting = false;
    exchange.answered = false;
    exchange.report = 0;
    exchange.strayAtSend = exchange.strayDatagrams;
    const netsnmp_transport *transport = snmp_sess_transport(session);
    if (!snmp_sess_session(session) || !transport || transport->sock < 0)
        return transport && transport->sock < 0 ? WaitOutcome::Closed : WaitOutcome::Failed;
    exchange.waiting = true;
    exchange.outcome = WaitOutcome::Failed;
    if (snmp_sess_async_send(session, request.get(), onAnswer, &exchange) == 0) {
        exchange.waiting = false;
        // Net-SNMP's errno says why: too large for a datagram, a send that failed...
        const netsnmp_session *state = snmp_sess_session(session);
        const bool reset = state && (state->s_errno == EPIPE || state->s_errno == ECONNRESET);
        return reset || connectionClosed(session, exchange) ? WaitOutcome::Closed : WaitOutcome::Failed;
    }
    (void)request.release(); // Net-SNMP's now
    return std::nullopt;
}

WaitOutcome awaitAnswer(void *session, RequestExchange &exchange, RequestWait wait, const AbandonCheck &abandoned,
                        berreader::Response &answer)
{
    const netsnmp_transport *transport = snmp_sess_transport(session);
    if (exchange.waiting && transport && transport->sock >= 0) {
        bool socketFailed = false;
        if (wait == RequestWait::ProcessEvents && QCoreApplication::instance())
            waitProcessingEvents(session, transport->sock, exchange, socketFailed, abandoned);
        else
            waitBlocking(session, transport->sock, exchange, socketFailed);
        exchange.waiting = false;
        if (exchange.outcome == WaitOutcome::TimedOut && socketFailed)
            return WaitOutcome::SendFailed; // as the synchronous call fails when select() does
    } else if (exchange.waiting) {
        exchange.waiting = false;
        return transport ? WaitOutcome::Closed : WaitOutcome::Failed;
    }

    switch (exchange.outcome) {
    case WaitOutcome::Answered:
        if (!exchange.answered)
            return WaitOutcome::Failed;
        answer.bindings.swap(exchange.answer.bindings);
        answer.requestId = exchange.answer.requestId;
        answer.errorStatus = exchange.answer.errorStatus;
        answer.errorIndex = exchange.answer.errorIndex;
        return WaitOutcome::Answered;
    case WaitOutcome::TimedOut:
        return exchange.strayDatagrams != exchange.strayAtSend ? WaitOutcome::Unreadable : WaitOutcome::TimedOut;
    default:
        return exchange.outcome;
    }
}

std::optional<int> serviceRequest(void *session, RequestExchange &exchange, bool readable)
{
    if (!exchange.waiting)
        return std::nullopt;
    const int fd = sessionSocket(session);
    if (fd < 0) {
        finish(exchange, snmp_sess_transport(session) ? WaitOutcome::Closed : WaitOutcome::Failed);
        return std::nullopt;
    }
    if (readable) {
        // Net-SNMP's sockets block: read only what is there now.
        pollfd watched{fd, POLLIN, 0};
        if (poll(&watched, 1, 0) > 0 && (watched.revents & POLLIN))
            readSocket(session, fd);
        if (connectionClosed(session, exchange))
            return std::nullopt;
    }
    if (exchange.waiting)
        snmp_sess_timeout(session); // does nothing before a timeout is due
    std::optional<timeval> due;
    if (!exchange.waiting || endUnheard(session, fd, exchange, due) || !exchange.waiting)
        return std::nullopt;
    return timerMs(*due);
}

int sessionSocket(void *session)
{
    const netsnmp_transport *transport = snmp_sess_transport(session);
    return transport ? transport->sock : -1;
}

WaitOutcome sendAndWait(void *session, PduPtr request, RequestExchange &exchange, RequestWait wait,
                        const AbandonCheck &abandoned, berreader::Response &answer)
{
    if (const std::optional<WaitOutcome> failed = sendOnly(session, std::move(request), exchange))
        return *failed;
    return awaitAnswer(session, exchange, wait, abandoned, answer);
}
