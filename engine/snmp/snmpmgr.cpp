// SPDX-License-Identifier: MIT
#include "engine/snmp/snmpmgr.h"

#include "engine/snmp/agentaddress.h"
#include "engine/snmp/berreader.h"
#include "engine/snmp/netsnmplibrary.h"
#include "engine/snmp/usm.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <netdb.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

// Which Net-SNMP outcome gives which last-error code: the fail() calls below;
// what each code means to the user: engine/snmp/snmperrors.cpp.

struct SnmpMgrSessionData
{
    void *handle = nullptr;     // Net-SNMP single-session handle
    SnmpVersion version = SnmpVersion::V1;
    RequestExchange exchange;   // Net-SNMP's callbacks and hook point here for as long as the handle lives
    berreader::Response answer; // the last answer's records, their buffers reused by the next
    // The request sent and not yet awaited: the binding counts its answer
    // may have, and how it failed if it never went out.
    bool sent = false;
    size_t least = 0;
    size_t most = 0;
    std::optional<WaitOutcome> sendFailure;
    // A Detached request on an SNMPv3 session: held back while the engine
    // ID probe is out, sent once SnmpMgrService has seen the probe end.
    PduPtr deferred;
};

namespace {

thread_local uint32_t t_lastError = 0;
std::atomic<int> g_openSessions{0};

int fail(uint32_t code)
{
    t_lastError = code;
    return 0;
}

// The answer into the caller's list. It must hold from `least` to `most`
// bindings; an error answer is taken with whatever bindings it has: tooBig
// comes without any, and some SNMPv1 agents send none with any error.
int takeAnswer(berreader::Response &answer, size_t least, size_t most, SnmpVarBindList &list, int32_t *errorStatus,
               int32_t *errorIndex)
{
    const size_t count = answer.bindings.size();
    if (answer.errorStatus != errorStatus::NoError)
        least = 0;
    if (count < least || count > most)
        return fail(SnmpMgrErrors::AgentErrors);
    // Swapped, not copied: a walk reuses one list for every row, and the
    // buffers serve turn about.
    list.list.swap(answer.bindings);
    if (errorStatus)
        *errorStatus = answer.errorStatus;
    if (errorIndex)
        *errorIndex = answer.errorIndex;
    return 1;
}

// A binding's value as Net-SNMP takes it for the tag (its integers as long
// and unsigned long, a Counter64 as its two halves, an OID as its
// sub-identifiers), appended at the tail. Null for a tag no request carries.
netsnmp_variable_list *addValue(netsnmp_variable_list **tail, const oid *name, size_t length, const AsnAny &value)
{
    const auto add = [&](const void *data, size_t size) {
        return snmp_varlist_add_variable(tail, name, length, value.asnType, data, size);
    };
    switch (value.asnType) {
    case asn::Integer32: {
        const long number = value.number;
        return add(&number, sizeof number);
    }
    case asn::Counter32:
    case asn::Gauge32:
    case asn::TimeTicks:
    case asn::Unsigned32: {
        const unsigned long number = value.unsigned32;
        return add(&number, sizeof number);
    }
    case asn::Counter64: {
        const counter64 number{static_cast<unsigned long>(value.counter64 >> 32),
                               static_cast<unsigned long>(value.counter64 & 0xFFFFFFFFu)};
        return add(&number, sizeof number);
    }
    case asn::ObjectIdentifier: {
        const std::vector<uint32_t> &ids = value.object.ids;
        if (ids.size() < 2 || ids.size() > MAX_OID_LEN)
            return nullptr;
        oid sub[MAX_OID_LEN];
        std::copy(ids.begin(), ids.end(), sub);
        return add(sub, ids.size() * sizeof(oid));
    }
    case asn::OctetString:
    case asn::Bits:
    case asn::IpAddress:
    case asn::Opaque:
        return add(value.bytes.data(), value.bytes.size());
    case asn::Null:
        return add(nullptr, 0);
    default:
        return nullptr;
    }
}

// A request PDU of the given command for the list's names: with NULL values
// whatever the list holds from a previous answer, or for a Set with its
// values. Null on failure.
PduPtr buildRequest(int command, const SnmpVarBindList &list)
{
    PduPtr request(snmp_pdu_create(command));
    if (!request) {
        fail(SnmpMgrErrors::AgentErrors);
        return nullptr;
    }
    const bool withValues = command == SNMP_MSG_SET;
    oid name[MAX_OID_LEN];
    // Appended at the tail: snmp_add_null_var walks the whole list for every
    // binding, minutes for the 50,000 OIDs of a pasted megabyte.
    netsnmp_variable_list **tail = &request->variables;
    for (const SnmpVarBind &binding : list.list) {
        const std::vector<uint32_t> &ids = binding.name.ids;
        if (ids.empty() || ids.size() > MAX_OID_LEN) {
            fail(SnmpMgrErrors::InvalidParameter);
            return nullptr;
        }
        std::copy(ids.begin(), ids.end(), name);
        netsnmp_variable_list *added = withValues
            ? addValue(tail, name, ids.size(), binding.value)
            : snmp_varlist_add_variable(tail, name, ids.size(), ASN_NULL, nullptr, 0);
        if (!added) {
            fail(withValues ? SnmpMgrErrors::InvalidParameter : SnmpMgrErrors::AgentErrors);
            return nullptr;
        }
        tail = &added->next_variable;
    }
    return request;
}

// Sends the request (after the engine ID discovery an SNMPv3 session
// needs first); collect() takes its end. A request that could not go out
// fails there, in its turn.
void post(SnmpMgrSessionData &session, PduPtr request, size_t least, size_t most, RequestWait wait,
          const AbandonCheck &abandoned)
{
    session.sent = true;
    session.least = least;
    session.most = most;
    session.sendFailure.reset();
    session.deferred.reset();
    if (session.version == SnmpVersion::V3 && !usm::engineKnown(session.handle) && wait == RequestWait::Detached) {
        PduPtr probe = usm::engineProbe(session.handle);
        session.sendFailure = probe ? sendOnly(session.handle, std::move(probe), session.exchange) : WaitOutcome::Failed;
        if (!session.sendFailure)
            session.deferred = std::move(request);
        return;
    }
    if (session.version == SnmpVersion::V3 && !usm::engineKnown(session.handle)) {
        const WaitOutcome discovered = usm::discoverEngine(session.handle, session.exchange, wait, abandoned);
        if (discovered != WaitOutcome::Answered) {
            session.sendFailure = discovered;
            return;
        }
    }
    session.sendFailure = sendOnly(session.handle, std::move(request), session.exchange);
}

// The probe sent ahead of a Detached request has ended as `probed`: the
// request goes out now, or fails as the discovery did.
void sendDeferred(SnmpMgrSessionData &session, WaitOutcome probed)
{
    PduPtr request = std::move(session.deferred);
    const WaitOutcome found = usm::engineFound(session.handle, session.exchange, probed);
    session.sendFailure = found == WaitOutcome::Answered
        ? sendOnly(session.handle, std::move(request), session.exchange)
        : std::optional<WaitOutcome>(found);
}

// Waits for the request posted and takes its answer into the list: the
// binding count must lie between least and most (see takeAnswer).
int collect(SnmpMgrSessionData &session, SnmpVarBindList &list, int32_t *errorStatus, int32_t *errorIndex,
            RequestWait wait, const AbandonCheck &abandoned)
{
    if (!session.sent)
        return fail(SnmpMgrErrors::InvalidParameter);
    if (session.deferred) {
        // Awaited before SnmpMgrService saw the probe end: the request
        // itself has not gone out yet.
        if (wait == RequestWait::Detached)
            wait = RequestWait::Blocking;
        berreader::Response none;
        const WaitOutcome probed = awaitAnswer(session.handle, session.exchange, wait, abandoned, none);
        sendDeferred(session, probed);
    }
    session.sent = false;
    const WaitOutcome outcome = session.sendFailure
        ? *session.sendFailure
        : awaitAnswer(session.handle, session.exchange, wait, abandoned, session.answer);
    switch (outcome) {
    case WaitOutcome::Answered:
        return takeAnswer(session.answer, session.least, session.most, list, errorStatus, errorIndex);
    case WaitOutcome::TimedOut:
        return fail(SnmpMgrErrors::Timeout);
    case WaitOutcome::Unreadable:
        return fail(SnmpMgrErrors::AgentErrors);
    case WaitOutcome::SendFailed:
        return fail(SnmpMgrErrors::SelectFdErrors);
    case WaitOutcome::Closed:
        return fail(SnmpMgrErrors::ConnectionReset);
    case WaitOutcome::Abandoned:
        return fail(SnmpMgrErrors::Abandoned);
    case WaitOutcome::Failed:
        break;
    }
    const netsnmp_session *state = snmp_sess_session(session.handle);
    const int report = session.exchange.report;
    switch (report ? report : state ? state->s_snmp_errno : SNMPERR_GENERR) {
    case SNMPERR_BAD_SENDTO:
    case SNMPERR_BAD_RECVFROM:
        return fail(SnmpMgrErrors::SelectFdErrors);
    case SNMPERR_UNKNOWN_USER_NAME:
        return fail(SnmpMgrErrors::UnknownUserName);
    case SNMPERR_AUTHENTICATION_FAILURE:
        return fail(SnmpMgrErrors::AuthenticationFailure);
    case SNMPERR_UNSUPPORTED_SEC_LEVEL:
        return fail(SnmpMgrErrors::SecurityLevelUnsupported);
    case SNMPERR_UNKNOWN_ENG_ID:
        return fail(SnmpMgrErrors::UnknownEngineID);
    case SNMPERR_DECRYPTION_ERR:
        return fail(SnmpMgrErrors::DecryptionError);
    default:
        return fail(SnmpMgrErrors::AgentErrors);
    }
}

// What snmp_sess_open does, with the hooks of the session's version: the
// engine's own reader for SNMPv1 and SNMPv2c, Net-SNMP's decoding for SNMPv3.
LPSNMP_MGR_SESSION openSession(const std::string &agent, netsnmp_session &settings,
                               std::unique_ptr<SnmpMgrSessionData> session)
{
    // snmp_sess_add copies the text; the cast only satisfies its C field.
    settings.peername = const_cast<char *>(agent.c_str());
    settings.myvoid = &session->exchange;
    netsnmp_transport *transport =
        netsnmp_tdomain_transport_full("snmp", settings.peername, 0, "udp,udp6", nullptr);
    if (!transport) {
        fail(agentAddressError(agent));
        return nullptr;
    }
    // UDP transports come open already; others (TCP) connect here. Net-SNMP
    // disposes of the transport itself when this or snmp_sess_add fails.
    if (netsnmp_sess_config_and_open_transport(&settings, transport) != SNMPERR_SUCCESS) {
        fail(SnmpMgrErrors::AgentErrors);
        return nullptr;
    }
    const bool v3 = session->version == SnmpVersion::V3;
    session->handle = snmp_sess_add_ex(&settings, transport, nullptr, v3 ? nullptr : readDatagram,
                                       v3 ? keepDecodedAnswer : nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!session->handle) {
        fail(SnmpMgrErrors::AgentErrors);
        return nullptr;
    }
    if (v3)
        usm::deferDiscovery(session->handle);
    ++g_openSessions;
    return session.release();
}

} // namespace

uint32_t SnmpMgrGetLastError()
{
    return t_lastError;
}

LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const std::string &community, int timeoutMs, int retries,
                               SnmpVersion version)
{
    netsnmp::ensureInitialised();

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = version == SnmpVersion::V2c ? SNMP_VERSION_2c : SNMP_VERSION_1;
    // snmp_sess_add copies the text; the cast only satisfies its C field.
    settings.community = reinterpret_cast<u_char *>(const_cast<char *>(community.data()));
    settings.community_len = community.size();
    settings.timeout = long(std::max(timeoutMs, 0)) * 1000;
    settings.retries = std::max(retries, 0);

    auto session = std::make_unique<SnmpMgrSessionData>();
    session->version = version == SnmpVersion::V2c ? SnmpVersion::V2c : SnmpVersion::V1;
    session->exchange.version = session->version == SnmpVersion::V2c ? 1 : 0;
    return openSession(agent, settings, std::move(session));
}

LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const AgentSecurity &security, int timeoutMs, int retries)
{
    netsnmp::ensureInitialised();

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.timeout = long(std::max(timeoutMs, 0)) * 1000;
    settings.retries = std::max(retries, 0);
    // The keys are overwritten on every way out of here; the session's own
    // copy, which its requests use, when it closes.
    struct KeyWiper
    {
        netsnmp_session &settings;
        ~KeyWiper() { usm::wipeKeys(settings); }
    } wiper{settings};
    if (!usm::setUp(settings, security)) {
        fail(SnmpMgrErrors::InvalidParameter);
        return nullptr;
    }

    auto session = std::make_unique<SnmpMgrSessionData>();
    session->version = SnmpVersion::V3;
    session->exchange.version = 3;
    return openSession(agent, settings, std::move(session));
}

int SnmpMgrRequest(LPSNMP_MGR_SESSION session, uint8_t requestType, SnmpVarBindList *list, int32_t *errorStatus,
                   int32_t *errorIndex, RequestWait wait, const AbandonCheck &abandoned)
{
    if (!SnmpMgrSend(session, requestType, list, wait, abandoned))
        return 0;
    return SnmpMgrAwait(session, list, errorStatus, errorIndex, wait, abandoned);
}

int SnmpMgrSend(LPSNMP_MGR_SESSION session, uint8_t requestType, const SnmpVarBindList *list, RequestWait wait,
                const AbandonCheck &abandoned)
{
    if (!session || !session->handle)
        return fail(SnmpMgrErrors::InvalidSession);
    if (!list || list->list.empty() || session->sent)
        return fail(SnmpMgrErrors::InvalidParameter);
    int command = 0;
    switch (requestType) {
    case pdu::Get:
        command = SNMP_MSG_GET;
        break;
    case pdu::GetNext:
        command = SNMP_MSG_GETNEXT;
        break;
    case pdu::Set:
        command = SNMP_MSG_SET;
        break;
    default:
        return fail(SnmpMgrErrors::InvalidParameter);
    }
    PduPtr request = buildRequest(command, *list);
    if (!request)
        return 0;
    const size_t count = list->list.size();
    post(*session, std::move(request), count, count, wait, abandoned);
    return 1;
}

int SnmpMgrAwait(LPSNMP_MGR_SESSION session, SnmpVarBindList *list, int32_t *errorStatus, int32_t *errorIndex,
                 RequestWait wait, const AbandonCheck &abandoned)
{
    if (!session || !session->handle)
        return fail(SnmpMgrErrors::InvalidSession);
    if (!list)
        return fail(SnmpMgrErrors::InvalidParameter);
    return collect(*session, *list, errorStatus, errorIndex, wait, abandoned);
}

int SnmpMgrBulkRequest(LPSNMP_MGR_SESSION session, int32_t maxRepetitions, SnmpVarBindList *list,
                       int32_t *errorStatus, int32_t *errorIndex, RequestWait wait, const AbandonCheck &abandoned)
{
    if (!SnmpMgrBulkSend(session, maxRepetitions, list, wait, abandoned))
        return 0;
    return SnmpMgrAwait(session, list, errorStatus, errorIndex, wait, abandoned);
}

int SnmpMgrBulkSend(LPSNMP_MGR_SESSION session, int32_t maxRepetitions, const SnmpVarBindList *list,
                    RequestWait wait, const AbandonCheck &abandoned)
{
    if (!session || !session->handle)
        return fail(SnmpMgrErrors::InvalidSession);
    if (!list || list->list.empty() || maxRepetitions < 1 || session->version == SnmpVersion::V1 || session->sent)
        return fail(SnmpMgrErrors::InvalidParameter);
    PduPtr request = buildRequest(SNMP_MSG_GETBULK, *list);
    if (!request)
        return 0;
    request->non_repeaters = 0;
    request->max_repetitions = maxRepetitions;
    // More bindings than asked for are still the successors in order (one
    // datagram's worth at most): the walk goes on from the last of them.
    post(*session, std::move(request), 1, std::numeric_limits<size_t>::max(), wait, abandoned);
    return 1;
}

int SnmpMgrSocket(LPSNMP_MGR_SESSION session)
{
    return session && session->handle ? sessionSocket(session->handle) : -1;
}

int SnmpMgrService(LPSNMP_MGR_SESSION session, bool readable)
{
    if (!session || !session->handle || !session->sent || session->sendFailure)
        return -1;
    if (const std::optional<int> due = serviceRequest(session->handle, session->exchange, readable))
        return *due;
    if (!session->deferred)
        return -1;
    berreader::Response none;
    sendDeferred(*session, awaitAnswer(session->handle, session->exchange, RequestWait::Blocking, {}, none));
    return session->sendFailure ? -1 : serviceRequest(session->handle, session->exchange, false).value_or(-1);
}

int SnmpMgrClose(LPSNMP_MGR_SESSION session)
{
    if (!session)
        return fail(SnmpMgrErrors::InvalidSession);
    const std::unique_ptr<SnmpMgrSessionData> owned(session);
    if (owned->handle) {
        if (netsnmp_session *state = snmp_sess_session(owned->handle); state && owned->version == SnmpVersion::V3)
            usm::closing(*state);
        snmp_sess_close(owned->handle);
        --g_openSessions;
    }
    return 1;
}

int SnmpMgrOpenSessionCount()
{
    return g_openSessions;
}
