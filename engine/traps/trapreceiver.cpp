// SPDX-License-Identifier: MIT
#include "engine/traps/trapreceiver.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/traps/trapdecode.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <arpa/inet.h>

namespace {

Sender senderOf(const Datagram &d)
{
    Sender sender;
    char text[INET6_ADDRSTRLEN] = {};
    if (d.from.ss_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(d.from);
        sender.port = ntohs(v6.sin6_port);
        // An IPv4 sender on the dual-stack socket: shown as it is known.
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr))
            inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
        else
            inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    } else if (d.from.ss_family == AF_INET) {
        const auto &v4 = reinterpret_cast<const sockaddr_in &>(d.from);
        sender.port = ntohs(v4.sin_port);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    }
    sender.address = text;
    return sender;
}

// A community as a message can show it: control characters as "?".
std::string printable(const std::string &text)
{
    std::string out;
    for (const char c : text)
        out += (uint8_t(c) < 0x20 || uint8_t(c) == 0x7F) ? '?' : c;
    return out;
}

} // namespace

TrapReceiver::TrapReceiver(NotificationSink &sink, QObject *parent) : QObject(parent), m_sink(sink) {}

TrapReceiver::~TrapReceiver()
{
    stop();
}

TrapReceiver::Listening TrapReceiver::listen(const std::string &address, uint16_t port,
                                             const std::string &programPath, const std::string &storedEngineId,
                                             uint32_t storedBoots)
{
    stop();
    Listening result;
    BindProblem problem;
    if (!m_socket.bind(address, port, programPath, problem)) {
        result.problem = problem.message;
        return result;
    }
    result.engine = NotificationSession::startEngine(storedEngineId, storedBoots);
    m_session = std::make_unique<NotificationSession>(m_socket.fd());
    // The users' informs are checked against the engine ID just set.
    NotificationSession::setUsers(m_users);
    m_pump = std::make_unique<DatagramPump>(m_socket);
    if (!m_pump->isRunning()) {
        stop();
        result.problem = msg::TrapNoReader;
        return result;
    }
    m_notifier = new QSocketNotifier(qintptr(m_pump->wakeFd()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TrapReceiver::readChunk);
    return result;
}

void TrapReceiver::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_pump) {
        m_lostBefore += m_pump->overflowed() + m_pump->kernelDropped();
        m_pump.reset();
    }
    m_session.reset();
    m_socket.close();
}

void TrapReceiver::setCommunities(std::vector<std::string> communities)
{
    m_communities = std::set<std::string>(communities.begin(), communities.end());
}

std::string TrapReceiver::setUsers(std::vector<ListeningUser> users)
{
    m_users = std::move(users);
    return isListening() ? NotificationSession::setUsers(m_users) : std::string();
}

ReceiverCounts TrapReceiver::counts() const
{
    ReceiverCounts counts = m_counts;
    counts.lost = m_lostBefore + (m_pump ? m_pump->overflowed() + m_pump->kernelDropped() : 0);
    return counts;
}

void TrapReceiver::readChunk()
{
    if (!m_pump)
        return;
    QElapsedTimer clock;
    clock.start();
    // Small takes, so that the budget is kept; whatever still waits makes
    // the pump's descriptor readable again, for the next pass of the loop.
    size_t read = 0;
    do {
        m_chunk.clear();
        m_pump->take(m_chunk, 64);
        for (Datagram &d : m_chunk)
            handle(d);
        read += m_chunk.size();
    } while (!m_chunk.empty() && read < ChunkDatagrams && clock.elapsed() < ChunkMs);
    m_chunk.clear();
    m_sink.chunkDone();
    emit countsChanged();
}

void TrapReceiver::handle(Datagram &d)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(d.bytes.data());
    DecodedDatagram decoded = decodeDatagram(bytes, d.bytes.size());
    switch (decoded.kind) {
    case DecodedDatagram::Kind::Refused:
        reject(d, decoded.version, {}, decoded.reason);
        return;
    case DecodedDatagram::Kind::SnmpV3: {
        NotificationSession::Outcome outcome =
            m_session->readV3(bytes, d.bytes.size(), reinterpret_cast<const sockaddr *>(&d.from), d.fromLength);
        switch (outcome.kind) {
        case NotificationSession::Outcome::Kind::Notification:
            decoded.notification = std::move(outcome.notification);
            break;
        case NotificationSession::Outcome::Kind::Exchange:
            ++m_counts.reports;
            return;
        case NotificationSession::Outcome::Kind::Ignored:
            reject(d, decoded.version, outcome.user, formatMessage(msg::TrapNotNotification, "a request or an answer"));
            return;
        case NotificationSession::Outcome::Kind::Rejected:
            reject(d, decoded.version, outcome.user, outcome.reason);
            return;
        }
        if (outcome.answered)
            ++m_counts.informsAnswered;
        if (outcome.answerFailed)
            ++m_counts.answersFailed;
        break;
    }
    case DecodedDatagram::Kind::Notification:
        if (!m_communities.count(decoded.notification.community)) {
            reject(d, decoded.version, decoded.notification.community,
                   formatMessage(msg::TrapCommunity, printable(decoded.notification.community).c_str()));
            return;
        }
        if (decoded.notification.inform) {
            if (m_session->answerInform(bytes, d.bytes.size(), reinterpret_cast<const sockaddr *>(&d.from),
                                        d.fromLength))
                ++m_counts.informsAnswered;
            else
                ++m_counts.answersFailed;
        }
        break;
    }
    Notification &n = decoded.notification;
    n.receivedMs = d.receivedMs;
    n.sender = senderOf(d);
    ++m_counts.received;
    m_sink.received(std::move(n));
}

void TrapReceiver::reject(const Datagram &d, std::string version, std::string identity, std::string reason)
{
    ++m_counts.rejected;
    Rejection r;
    r.receivedMs = d.receivedMs;
    r.sender = senderOf(d);
    r.version = std::move(version);
    r.identity = std::move(identity);
    r.reason = std::move(reason);
    m_sink.rejected(std::move(r));
}
