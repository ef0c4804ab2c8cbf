// SPDX-License-Identifier: MIT
#include "engine/snmp/notificationsession.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/snmp/netsnmplibrary.h"
#include "engine/snmp/pdureader.h"
#include "engine/snmp/requestwait.h"
#include "engine/snmp/usm.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include <cstdlib>
#include <cstring>

namespace {

// The datagram a read hands Net-SNMP, and where its answers go.
struct Incoming
{
    const uint8_t *data = nullptr;
    size_t size = 0;
    sockaddr_storage from{};
    socklen_t fromLength = 0;
};

// What Net-SNMP made of the datagram, from its hooks and callback.
struct Reading
{
    int result = SNMPERR_SUCCESS; // the parse's outcome
    std::string user;
    bool v3 = false;
    bool sentSomething = false; // a report or a Response went out
    bool unreadable = false;    // authenticated, but bindings the records cannot hold
    bool answered = false;
    bool answerFailed = false;
    bool notification = false;
    Notification read;
};

// The transport's state, which Net-SNMP frees with the transport: plain memory.
struct TransportState
{
    void *impl; // NotificationSession::Impl
};

} // namespace

struct NotificationSession::Impl
{
    void *handle = nullptr;
    int fd = -1;
    bool lastSendOk = false;
    Incoming incoming;
    Reading reading;

    static Impl &of(netsnmp_transport *transport)
    {
        return *static_cast<Impl *>(static_cast<TransportState *>(transport->data)->impl);
    }
    static Impl &of(netsnmp_session *session) { return *static_cast<Impl *>(session->callback_magic); }

    // The transport: the datagram waiting in `incoming` as what was
    // received, and every answer sent from the receiver's socket to the
    // address the datagram came from (Net-SNMP keeps it with the PDU).
    static int receive(netsnmp_transport *transport, void *buffer, int size, void **opaque, int *opaqueLength)
    {
        Impl &impl = of(transport);
        const size_t n = std::min(impl.incoming.size, size_t(size));
        std::memcpy(buffer, impl.incoming.data, n);
        // Net-SNMP frees it with the PDU.
        auto *address = static_cast<sockaddr_storage *>(std::malloc(sizeof(sockaddr_storage)));
        if (address)
            *address = impl.incoming.from;
        *opaque = address;
        *opaqueLength = address ? int(impl.incoming.fromLength) : 0;
        return int(n);
    }
    static int send(netsnmp_transport *transport, const void *buffer, int size, void **opaque, int *opaqueLength)
    {
        Impl &impl = of(transport);
        if (!opaque || !*opaque || !opaqueLength || *opaqueLength <= 0)
            return -1;
        const ssize_t sent = ::sendto(impl.fd, buffer, size_t(size), MSG_DONTWAIT | MSG_NOSIGNAL,
                                      static_cast<const sockaddr *>(*opaque), socklen_t(*opaqueLength));
        impl.reading.sentSomething = impl.reading.sentSomething || sent == size;
        impl.lastSendOk = sent == size;
        return int(sent);
    }
    static int close(netsnmp_transport *) { return 0; } // the socket is the receiver's

    static int postParse(netsnmp_session *session, netsnmp_pdu *pdu, int result)
    {
        Impl &impl = of(session);
        impl.reading.result = result;
        impl.reading.v3 = pdu->version == SNMP_VERSION_3;
        if (pdu->securityName)
            impl.reading.user.assign(pdu->securityName, pdu->securityNameLen);
        return 1;
    }

    static int received(int operation, netsnmp_session *session, int, netsnmp_pdu *pdu, void *)
    {
        Impl &impl = of(session);
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu)
            return 1;
        // Net-SNMP also calls here with a message whose authentication
        // failed; the parse's result says so, and it has no PDU type.
        if (pdu->command != SNMP_MSG_TRAP2 && pdu->command != SNMP_MSG_INFORM)
            return 1;
        if (pdu->version == SNMP_VERSION_3)
            impl.keep(*pdu);
        if (pdu->command == SNMP_MSG_INFORM)
            impl.answer(*pdu);
        return 1;
    }

    void keep(const netsnmp_pdu &pdu)
    {
        Notification &n = reading.read;
        n.version = NotificationVersion::V3;
        n.inform = pdu.command == SNMP_MSG_INFORM;
        if (pdu.securityName)
            n.user.assign(pdu.securityName, pdu.securityNameLen);
        if (pdu.securityEngineID)
            n.engineId.assign(reinterpret_cast<const char *>(pdu.securityEngineID), pdu.securityEngineIDLen);
        if (pdu.contextName)
            n.context.assign(pdu.contextName, pdu.contextNameLen);
        berreader::Response decoded;
        if (!readDecodedResponse(pdu, decoded)) {
            reading.unreadable = true;
            return;
        }
        n.bindings = std::move(decoded.bindings);
        for (const SnmpVarBind &b : n.bindings) {
            if (b.name.ids == notificationoids::SnmpTrapOid0 && b.value.asnType == asn::ObjectIdentifier) {
                n.trapOid = b.value.object;
                break;
            }
        }
        reading.notification = true;
    }

    // The Response: the inform's bindings and request ID (RFC 3416 4.2.7),
    // to where it came from, with the security it came with.
    void answer(const netsnmp_pdu &pdu)
    {
        PduPtr reply(snmp_clone_pdu(const_cast<netsnmp_pdu *>(&pdu)));
        if (!reply) {
            reading.answerFailed = true;
            return;
        }
        reply->command = SNMP_MSG_RESPONSE;
        reply->errstat = SNMP_ERR_NOERROR;
        reply->errindex = 0;
        lastSendOk = false;
        // Net-SNMP frees a PDU it sent, unless its request ID is 0 (it
        // returns that ID, so 0 leaves the PDU to us either way).
        if (snmp_sess_send(handle, reply.get()) != 0)
            (void)reply.release();
        reading.answered = lastSendOk;
        reading.answerFailed = !lastSendOk;
    }

    // One datagram through Net-SNMP's reading of a session: the transport
    // hands it in, the hooks and the callback say what became of it.
    void read(const uint8_t *datagram, size_t size, const sockaddr *from, socklen_t fromLength)
    {
        reading = Reading();
        incoming.data = datagram;
        incoming.size = size;
        incoming.fromLength = std::min<socklen_t>(fromLength, sizeof incoming.from);
        std::memcpy(&incoming.from, from, incoming.fromLength);
        netsnmp_large_fd_set ready;
        netsnmp_large_fd_set_init(&ready, fd + 1);
        netsnmp_large_fd_setfd(fd, &ready);
        snmp_sess_read2(handle, &ready);
        netsnmp_large_fd_set_cleanup(&ready);
        if (netsnmp_session *session = snmp_sess_session(handle))
            session->s_snmp_errno = 0;
        incoming = Incoming();
    }
};

NotificationSession::NotificationSession(int socketFd) : m_impl(std::make_unique<Impl>())
{
    netsnmp::ensureInitialised();
    m_impl->fd = socketFd;
    auto *transport = static_cast<netsnmp_transport *>(std::calloc(1, sizeof(netsnmp_transport)));
    auto *state = static_cast<TransportState *>(std::malloc(sizeof(TransportState)));
    if (!transport || !state) {
        std::free(transport);
        std::free(state);
        return;
    }
    *state = TransportState{m_impl.get()};
    transport->data = state;
    transport->data_length = sizeof(TransportState);
    // Net-SNMP looks for the socket in the set a read is given; nothing reads it.
    transport->sock = socketFd;
    transport->msgMaxSize = 65535;
    transport->domain = netsnmpUDPDomain;
    transport->domain_length = int(netsnmpUDPDomain_len);
    transport->f_recv = Impl::receive;
    transport->f_send = Impl::send;
    transport->f_close = Impl::close;

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.callback = Impl::received;
    settings.callback_magic = m_impl.get();
    // Traps are signed by their sender's engine, informs by ours.
    settings.isAuthoritative = SNMP_SESS_UNKNOWNAUTH;
    settings.flags |= SNMP_FLAGS_DONT_PROBE;
    // Net-SNMP disposes of the transport itself when this fails.
    m_impl->handle = snmp_sess_add_ex(&settings, transport, nullptr, nullptr, Impl::postParse, nullptr, nullptr,
                                      nullptr, nullptr);
}

NotificationSession::~NotificationSession()
{
    if (m_impl->handle)
        snmp_sess_close(m_impl->handle);
}

bool NotificationSession::isOpen() const
{
    return m_impl->handle != nullptr;
}

NotificationSession::Engine NotificationSession::startEngine(const std::string &storedId, uint32_t storedBoots)
{
    netsnmp::ensureInitialised();
    const usm::LocalEngine engine = usm::startLocalEngine(storedId, storedBoots);
    return {engine.id, engine.boots};
}

std::string NotificationSession::setUsers(const std::vector<ListeningUser> &users)
{
    netsnmp::ensureInitialised();
    usm::removeListeningUsers();
    u_char local[32];
    const std::string ours(reinterpret_cast<const char *>(local), snmpv3_get_engineID(local, sizeof local));
    std::string problem;
    for (const ListeningUser &user : users) {
        std::string failure = securityProblem(user.security);
        // A name used twice answers informs with the first one's keys.
        const char *name = user.security.userName.c_str();
        if (failure.empty() && !usm::addListeningUser(user.security, ours)
            && !usm_get_user(local, ours.size(), const_cast<char *>(name)))
            failure = formatMessage(msg::TrapProtocolsUnusable, name);
        if (failure.empty() && !user.engineId.empty() && user.engineId != ours
            && !usm::addListeningUser(user.security, user.engineId))
            failure = formatMessage(msg::TrapProtocolsUnusable, name);
        if (!failure.empty() && problem.empty())
            problem = formatMessage(msg::TrapUserUnusable, name, failure.c_str());
    }
    return problem;
}

NotificationSession::Outcome NotificationSession::readV3(const uint8_t *datagram, size_t size, const sockaddr *from,
                                                         socklen_t fromLength)
{
    Outcome outcome;
    if (!m_impl->handle) {
        outcome.kind = Outcome::Kind::Rejected;
        outcome.reason = msg::TrapNoSnmpV3;
        return outcome;
    }
    m_impl->read(datagram, size, from, fromLength);
    Reading &r = m_impl->reading;
    outcome.user = r.user;
    outcome.answered = r.answered;
    outcome.answerFailed = r.answerFailed;
    if (r.notification) {
        outcome.kind = Outcome::Kind::Notification;
        outcome.notification = std::move(r.read);
        return outcome;
    }
    if (r.unreadable) {
        outcome.kind = Outcome::Kind::Rejected;
        outcome.reason = msg::TrapLongName;
        return outcome;
    }
    if (r.result == SNMPERR_SUCCESS) {
        // A request or an answer: this is no agent.
        outcome.kind = Outcome::Kind::Ignored;
        return outcome;
    }
    // Discovery (a probe without a user) and time synchronisation are
    // answered with a report, after which the sender sends again.
    if (r.sentSomething
        && ((r.result == SNMPERR_USM_UNKNOWNENGINEID && r.user.empty()) || r.result == SNMPERR_USM_NOTINTIMEWINDOW)) {
        outcome.kind = Outcome::Kind::Exchange;
        return outcome;
    }
    outcome.kind = Outcome::Kind::Rejected;
    const char *user = r.user.c_str();
    switch (r.result) {
    case SNMPERR_USM_UNKNOWNSECURITYNAME:
        outcome.reason = formatMessage(msg::TrapUnknownUser, user);
        break;
    case SNMPERR_USM_AUTHENTICATIONFAILURE:
        outcome.reason = formatMessage(msg::TrapWrongAuth, user);
        break;
    case SNMPERR_USM_UNSUPPORTEDSECURITYLEVEL:
        outcome.reason = formatMessage(msg::TrapLevelNotSetUp, user);
        break;
    case SNMPERR_USM_NOTINTIMEWINDOW:
        outcome.reason = msg::TrapTimeWindow;
        break;
    case SNMPERR_USM_UNKNOWNENGINEID:
        outcome.reason = msg::TrapUnknownEngine;
        break;
    case SNMPERR_USM_DECRYPTIONERROR:
        outcome.reason = formatMessage(msg::TrapDecryption, user);
        break;
    case SNMPERR_ASN_PARSE_ERR:
        // Authenticated, then unreadable: decrypted with the wrong key.
        outcome.reason = r.user.empty() ? std::string(msg::TrapMalformed) : formatMessage(msg::TrapWrongPrivacy, user);
        break;
    default:
        outcome.reason = formatMessage(msg::TrapNotRead, snmp_api_errstring(r.result));
        break;
    }
    return outcome;
}

bool NotificationSession::answerInform(const uint8_t *datagram, size_t size, const sockaddr *from,
                                       socklen_t fromLength)
{
    if (!m_impl->handle)
        return false;
    m_impl->read(datagram, size, from, fromLength);
    return m_impl->reading.answered;
}
