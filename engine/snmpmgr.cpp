// SPDX-License-Identifier: MIT
#include "engine/snmpmgr.h"

#include "engine/berreader.h"
#include "engine/usm.h"

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
#include <mutex>
#include <string_view>
#include <utility>

// Last-error codes (SnmpMgrGetLastError) and the Net-SNMP failures behind them:
//
//   code   operation        Net-SNMP outcome
//   40     SnmpMgrRequest   a timeout, and nothing came back from the agent but answers
//                           to its earlier requests (late or duplicated datagrams)
//   41     SnmpMgrRequest   the request could not be sent or the socket failed
//   45     SnmpMgrRequest   a timeout although other datagrams came back (none was a
//                           GetResponse of the session's version to this request:
//                           garbage, another version or PDU type, a request id never
//                           sent, a name of more than 128 sub-identifiers, a name or
//                           OID value that is no OID); any other library failure;
//                           a response without an error status whose binding count
//                           differs from the request's (a bulk response: none, or more
//                           than asked for)
//   10054  SnmpMgrRequest   a stream transport's connection was closed or reset
//   1223   SnmpMgrRequest   the caller gave the request up (never shown)
//   45     SnmpMgrOpen      the transport was made but the session could not be set up,
//                           or a well-formed peer text whose host does resolve failed
//   47     both             null session handle
//   87     SnmpMgrOpen      no transport for a text that is no [transport:]host[:port]
//   87     SnmpMgrRequest   null or empty list, unknown request type, unusable name,
//                           GetBulk on an SNMPv1 session or for no repetitions
//   11001  SnmpMgrOpen      no transport for a well-formed text whose host does not resolve
//   40     SnmpMgrRequest   SNMPv3: also no answer to the engine ID discovery, which
//                           Net-SNMP makes before the session's first request
//   87     SnmpMgrOpen      SNMPv3: a protocol or key Net-SNMP refuses
//   1317, 1326, 1327        SNMPv3: the agent's report of an unknown user, a failed
//          SnmpMgrRequest   authentication, a security level it does not support

struct SnmpMgrSessionData
{
    void *handle = nullptr;  // Net-SNMP single-session handle
    SnmpVersion version = SnmpVersion::V1;
    PendingRequest pending;  // Net-SNMP's callbacks point here for as long as the handle lives
    unsigned datagrams = 0;  // datagrams that reached the session, but answers to its earlier requests
    long firstId = 0;        // request id of the session's first request; ids only grow
    long awaitedId = 0;      // request id of the request outstanding; Net-SNMP never hands out 0
    bool answered = false;   // `answer` holds the response to it
    berreader::Response answer;
    berreader::Response incoming; // read into here first, so a bad datagram spoils nothing
    int report = 0;          // SNMPv3: the kind of the last report to the awaited request
};

namespace {

constexpr size_t MaxOidTextLength = 4096;

thread_local uint32_t t_lastError = 0;
std::atomic<int> g_openSessions{0};

std::mutex g_configMutex;
std::vector<std::string> g_extraMibDirs;
std::once_flag g_initOnce;
std::atomic<bool> g_initialised{false};
bool g_loadAllMibs = false;

int fail(uint32_t code)
{
    t_lastError = code;
    return 0;
}

struct PduDeleter
{
    void operator()(netsnmp_pdu *pdu) const { snmp_free_pdu(pdu); }
};
using PduPtr = std::unique_ptr<netsnmp_pdu, PduDeleter>;

void appendMibDir(const std::string &dir)
{
    if (!dir.empty())
        netsnmp_set_mib_directory(("+" + dir).c_str());
}

// Net-SNMP logs MIB parse warnings and "Cannot find module" lines to stderr
// unless some handler is enabled; an enabled null handler swallows them all.
// Host and user config files are not read: they may print, change the MIB
// list ("mibs :" on Debian) or write persistent state.
void initLibrary()
{
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_ERRORS, 0);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    // Otherwise a numeric OID whose index lies outside the range its MIB
    // declares (ifInOctets.0) does not convert: the agent decides what exists.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_CHECK_RANGE, 1);
    // Net-SNMP writes to a stream agent's socket without MSG_NOSIGNAL: an
    // agent that reset its connection would otherwise kill the program.
    struct sigaction pipe {};
    if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);

    // Fills the search path from MIBDIRS or the built-in default, so that ours append to it.
    netsnmp_get_mib_directory();
    {
        std::lock_guard lock(g_configMutex);
        for (const std::string &dir : g_extraMibDirs)
            appendMibDir(dir);
    }
    if (const char *dir = std::getenv("NORVANE_MIBDIR"))
        appendMibDir(dir);

    // Reads the modules MIBS names (or Net-SNMP's default list); without
    // MIBS every module in the search path is wanted.
    netsnmp_init_mib();
    g_loadAllMibs = std::getenv("MIBS") == nullptr;
    if (g_loadAllMibs)
        read_all_mibs();

    // No init_snmp(): it would also set up certificate stores on disk. The
    // transports initialise themselves at the first session (calling that
    // here as well would run their constructors twice and leak the first).
    g_initialised = true;
}

void ensureInit()
{
    std::call_once(g_initOnce, initLibrary);
}

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'
        || c == '_' || c == ':' || c == '%';
}

// Net-SNMP reports both an unresolvable host and an unparsable peer text as
// SNMPERR_BAD_ADDRESS; tell them apart by the text's shape and a lookup of its host.
uint32_t classifyBadAddress(const std::string &agent)
{
    static constexpr std::string_view transports[] = {"udp", "tcp", "udp6", "tcp6", "udpv6", "tcpv6",
                                                      "udpipv6", "tcpipv6", "unix", "ipx", "dtlsudp", "tlstcp"};
    std::string_view rest = agent;
    if (const auto colon = rest.find(':'); colon != std::string_view::npos) {
        std::string prefix(rest.substr(0, colon));
        std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(std::begin(transports), std::end(transports), prefix) != std::end(transports))
            rest.remove_prefix(colon + 1);
    }

    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos)
            return SnmpMgrErrors::InvalidParameter;
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return SnmpMgrErrors::InvalidParameter;
            port = after.substr(1);
            if (port.empty())
                return SnmpMgrErrors::InvalidParameter;
        }
    } else if (std::count(rest.begin(), rest.end(), ':') == 1) {
        const auto colon = rest.find(':');
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (port.empty())
            return SnmpMgrErrors::InvalidParameter;
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), isHostChar))
        return SnmpMgrErrors::InvalidParameter;
    if (!port.empty()) {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value > 65535)
            return SnmpMgrErrors::InvalidParameter;
    }

    addrinfo hints{};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo *found = nullptr;
    const std::string hostText(host);
    const int rc = getaddrinfo(hostText.c_str(), nullptr, &hints, &found);
    if (found)
        freeaddrinfo(found);
    return rc == 0 ? SnmpMgrErrors::AgentErrors : SnmpMgrErrors::HostNotFound;
}

// Net-SNMP decodes the index of a table column by its MIB and refuses a
// numeric text whose index it cannot decode (a string length larger than the
// rest of the OID). An agent may well return such a name, and its row's text
// must convert back: plain decimal sub-identifiers are then taken as they stand.
int plainDottedDecimal(std::string_view text, AsnObjectIdentifier *oidOut)
{
    if (!text.empty() && text.front() == '.')
        text.remove_prefix(1);
    std::vector<uint32_t> ids;
    for (;;) {
        const std::string_view piece = text.substr(0, text.find('.'));
        uint32_t id = 0;
        const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), id);
        if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size() || ids.size() == MAX_OID_LEN)
            return 0;
        ids.push_back(id);
        if (piece.size() == text.size())
            break;
        text.remove_prefix(piece.size() + 1);
    }
    oidOut->ids = std::move(ids);
    return 1;
}

// The text as Net-SNMP is given it: dotted numbers are decimal, but Net-SNMP
// reads one with a leading 0 as octal ("010" is 8, "08" no number) and one
// with "0x" as hexadecimal. So the leading zeros go, and "0x..." is refused;
// quoted indexes stay as they are. Refused as well: a text whose quote is not
// closed ("sysDescr.'abc"), past whose end Net-SNMP reads on (valgrind shows
// the reads), so that what it became depended on the memory behind it.
bool decimalNumbers(std::string_view text, std::string &out)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    out.clear();
    char open = 0;
    bool tokenStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (open) {
            out.push_back(c);
            if (c == '\\') {
                if (i + 1 < text.size())
                    out.push_back(text[++i]); // escapes the next character, a quote included
            } else if (c == open) {
                open = 0;
            }
            continue;
        }
        if (tokenStart && isDigit(c)) {
            size_t end = i;
            while (end < text.size() && isDigit(text[end]))
                ++end;
            if (end == text.size() || text[end] == '.') {
                size_t first = i;
                while (first + 1 < end && text[first] == '0')
                    ++first;
                out.append(text.substr(first, end - first));
                i = end - 1;
                tokenStart = false;
                continue;
            }
            if (c == '0' && (text[end] == 'x' || text[end] == 'X'))
                return false;
        }
        tokenStart = c == '.';
        if (c == '"' || c == '\'')
            open = c;
        out.push_back(c);
    }
    return !open;
}

// Replaces Net-SNMP's decoding of every datagram the session receives, which
// refuses some tags and lengths an agent may send and rewrites some Opaques.
// The answer to the awaited request is kept for SnmpMgrRequest; Net-SNMP gets
// the fields it matches the answer with, and drops whatever is refused here.
// It runs as each datagram is processed, however the request waits for it.
int readAnswer(netsnmp_session *session, netsnmp_pdu *pdu, u_char *packet, size_t length)
{
    auto *data = static_cast<SnmpMgrSessionData *>(session->myvoid);
    if (!data)
        return SNMPERR_ASN_PARSE_ERR;
    const bool v2c = data->version == SnmpVersion::V2c;
    const bool read = berreader::readResponse(packet, length, data->incoming, v2c ? 1 : 0);
    if (!read || data->incoming.requestId != data->awaitedId) {
        // Net-SNMP drops what is refused here without a trace, and the
        // request then ends as a timeout. A datagram counts as the agent's
        // answering unless it answers one of the session's earlier requests:
        // a duplicated or late datagram must not make a silent agent look
        // like one that answers nonsense.
        berreader::Message header;
        const bool stale = berreader::readMessage(packet, length, header) && header.requestId >= data->firstId
            && header.requestId < data->awaitedId;
        if (!stale)
            ++data->datagrams;
        return SNMPERR_ASN_PARSE_ERR;
    }
    std::swap(data->answer, data->incoming);
    data->answered = true;
    pdu->version = v2c ? SNMP_VERSION_2c : SNMP_VERSION_1;
    pdu->securityModel = v2c ? SNMP_SEC_MODEL_SNMPv2c : SNMP_SEC_MODEL_SNMPv1;
    pdu->command = SNMP_MSG_RESPONSE;
    pdu->flags |= UCD_MSG_FLAG_RESPONSE_PDU;
    pdu->reqid = data->answer.requestId;
    pdu->errstat = data->answer.errorStatus;
    pdu->errindex = data->answer.errorIndex;
    return SNMP_ERR_NOERROR;
}

// The SNMPv3 counterpart of readAnswer: only Net-SNMP can authenticate and
// decrypt the message, so it decodes it and this takes the bindings of the
// answer to the awaited request from its PDU. Reports go on to the request's
// callback, which tells why the agent refused.
int keepV3Answer(netsnmp_session *session, netsnmp_pdu *pdu, int result)
{
    auto *data = static_cast<SnmpMgrSessionData *>(session->myvoid);
    if (!data || !pdu || result != SNMP_ERR_NOERROR)
        return 1;
    if (pdu->command == SNMP_MSG_REPORT) {
        // Net-SNMP drops the request a report refuses without a word to its
        // callback; what the report says is kept for the failure.
        if (data->awaitedId != 0)
            data->report = snmpv3_get_report_type(pdu);
        return 1;
    }
    if (pdu->command != SNMP_MSG_RESPONSE)
        return 1;
    if (data->awaitedId == 0 || pdu->reqid != data->awaitedId) {
        // As readAnswer counts them: late answers to earlier requests are no sign.
        if (!(pdu->reqid >= data->firstId && pdu->reqid < data->awaitedId))
            ++data->datagrams;
        return 1;
    }
    if (!usm::readResponse(*pdu, data->incoming)) {
        ++data->datagrams;
        return 0; // refused: the request ends as a timeout with datagrams seen
    }
    std::swap(data->answer, data->incoming);
    data->answered = true;
    return 1;
}

// The answer to the awaited request, as readAnswer read it, into the
// caller's list; once the wait for it has ended, however it waited. It must
// hold from `least` to `most` bindings, unless it is an SNMPv2c error answer,
// which may come with fewer (tooBig with none).
int takeAnswer(SnmpMgrSessionData &session, size_t least, size_t most, SnmpVarBindList &list, int32_t *errorStatus,
               int32_t *errorIndex)
{
    session.awaitedId = 0; // nothing arriving late is kept
    berreader::Response &answer = session.answer;
    const size_t count = answer.bindings.size();
    // An error answer is taken with whatever bindings it has: tooBig comes
    // without any, and some SNMPv1 agents send none with any error.
    if (answer.errorStatus != errorStatus::NoError)
        least = 0;
    if (!session.answered || count < least || count > most)
        return fail(SnmpMgrErrors::AgentErrors);
    // Swapped, not copied: a walk reuses one list for every row, and the two
    // lists' buffers serve turn about.
    list.list.swap(answer.bindings);
    if (errorStatus)
        *errorStatus = answer.errorStatus;
    if (errorIndex)
        *errorIndex = answer.errorIndex;
    return 1;
}

// A request PDU of the given command asking for the list's names, with NULL
// values whatever the list holds from a previous answer. Null on failure.
PduPtr buildRequest(int command, const SnmpVarBindList &list)
{
    PduPtr request(snmp_pdu_create(command));
    if (!request) {
        fail(SnmpMgrErrors::AgentErrors);
        return nullptr;
    }
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
        netsnmp_variable_list *added = snmp_varlist_add_variable(tail, name, ids.size(), ASN_NULL, nullptr, 0);
        if (!added) {
            fail(SnmpMgrErrors::AgentErrors);
            return nullptr;
        }
        tail = &added->next_variable;
    }
    return request;
}

// Sends the request and takes its answer into the list: the binding count
// must lie between least and most (see takeAnswer).
int exchange(SnmpMgrSessionData &session, PduPtr request, size_t least, size_t most, SnmpVarBindList &list,
             int32_t *errorStatus, int32_t *errorIndex, RequestWait wait, const AbandonCheck &abandoned)
{
    const unsigned datagramsBefore = session.datagrams;
    session.awaitedId = request->reqid;
    if (session.firstId == 0)
        session.firstId = request->reqid;
    session.answered = false;
    session.report = 0;
    // Takes the request PDU on every path.
    const WaitOutcome outcome = sendAndWait(session.handle, request.release(), session.pending, wait, abandoned);

    switch (outcome) {
    case WaitOutcome::Answered:
        return takeAnswer(session, least, most, list, errorStatus, errorIndex);
    case WaitOutcome::TimedOut:
        return fail(session.datagrams != datagramsBefore ? SnmpMgrErrors::AgentErrors : SnmpMgrErrors::Timeout);
    case WaitOutcome::SendFailed:
        return fail(SnmpMgrErrors::SelectFdErrors);
    case WaitOutcome::Closed:
        return fail(SnmpMgrErrors::ConnectionReset);
    case WaitOutcome::Abandoned:
        session.awaitedId = 0;
        return fail(SnmpMgrErrors::Abandoned);
    case WaitOutcome::Failed:
        break;
    }
    const netsnmp_session *state = snmp_sess_session(session.handle);
    const int libError = session.report ? session.report : state ? state->s_snmp_errno : SNMPERR_GENERR;
    switch (libError) {
    case SNMPERR_BAD_SENDTO:
    case SNMPERR_BAD_RECVFROM:
        return fail(SnmpMgrErrors::SelectFdErrors);
    case SNMPERR_TIMEOUT: // SNMPv3: no answer to the engine ID discovery before the first request
        return fail(SnmpMgrErrors::Timeout);
    case SNMPERR_UNKNOWN_USER_NAME:
        return fail(SnmpMgrErrors::UnknownUserName);
    case SNMPERR_AUTHENTICATION_FAILURE:
        return fail(SnmpMgrErrors::AuthenticationFailure);
    case SNMPERR_UNSUPPORTED_SEC_LEVEL:
        return fail(SnmpMgrErrors::SecurityLevelUnsupported);
    default:
        return fail(SnmpMgrErrors::AgentErrors);
    }
}

} // namespace

void SnmpMgrConfigure(const std::vector<std::string> &extraMibDirs)
{
    {
        std::lock_guard lock(g_configMutex);
        g_extraMibDirs.insert(g_extraMibDirs.end(), extraMibDirs.begin(), extraMibDirs.end());
    }
    // Too late for the lazy start: add the folders to the loaded library now.
    if (g_initialised) {
        for (const std::string &dir : extraMibDirs) {
            appendMibDir(dir);
            add_mibdir(dir.c_str());
        }
        if (g_loadAllMibs)
            read_all_mibs();
    }
}

uint32_t SnmpMgrGetLastError()
{
    return t_lastError;
}

namespace {

// What snmp_sess_open does, with the parse hooks of the session's version.
LPSNMP_MGR_SESSION openSession(const std::string &agent, netsnmp_session &settings,
                               std::unique_ptr<SnmpMgrSessionData> session)
{
    settings.peername = const_cast<char *>(agent.c_str()); // copied by snmp_sess_add
    settings.myvoid = session.get();
    netsnmp_transport *transport =
        netsnmp_tdomain_transport_full("snmp", settings.peername, 0, "udp,udp6", nullptr);
    if (!transport) {
        fail(classifyBadAddress(agent));
        return nullptr;
    }
    // UDP transports come open already; others (TCP) connect here. Net-SNMP
    // disposes of the transport itself when this or snmp_sess_add fails.
    if (netsnmp_sess_config_and_open_transport(&settings, transport) != SNMPERR_SUCCESS) {
        fail(SnmpMgrErrors::AgentErrors);
        return nullptr;
    }
    const bool v3 = session->version == SnmpVersion::V3;
    session->handle = snmp_sess_add_ex(&settings, transport, nullptr, v3 ? nullptr : readAnswer,
                                       v3 ? keepV3Answer : nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!session->handle) {
        fail(SnmpMgrErrors::AgentErrors);
        return nullptr;
    }
    ++g_openSessions;
    return session.release();
}

} // namespace

LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const std::string &community, int timeoutMs, int retries,
                               SnmpVersion version)
{
    ensureInit();

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = version == SnmpVersion::V2c ? SNMP_VERSION_2c : SNMP_VERSION_1;
    // snmp_sess_add copies the text; the cast only satisfies its C signature.
    settings.community = reinterpret_cast<u_char *>(const_cast<char *>(community.data()));
    settings.community_len = community.size();
    settings.timeout = long(std::max(timeoutMs, 0)) * 1000;
    settings.retries = std::max(retries, 0);

    auto session = std::make_unique<SnmpMgrSessionData>();
    session->version = version == SnmpVersion::V2c ? SnmpVersion::V2c : SnmpVersion::V1;
    return openSession(agent, settings, std::move(session));
}

LPSNMP_MGR_SESSION SnmpMgrOpen(const std::string &agent, const AgentSecurity &security, int timeoutMs, int retries)
{
    ensureInit();

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.timeout = long(std::max(timeoutMs, 0)) * 1000;
    settings.retries = std::max(retries, 0);
    // The keys are overwritten on every way out here; the session's own copy,
    // which its requests use, when it closes.
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
    return openSession(agent, settings, std::move(session));
}

int SnmpMgrRequest(LPSNMP_MGR_SESSION session, uint8_t requestType, SnmpVarBindList *list, int32_t *errorStatus,
                   int32_t *errorIndex, RequestWait wait, const AbandonCheck &abandoned)
{
    if (!session || !session->handle)
        return fail(SnmpMgrErrors::InvalidSession);
    if (!list || list->list.empty() || (requestType != pdu::Get && requestType != pdu::GetNext))
        return fail(SnmpMgrErrors::InvalidParameter);
    PduPtr request = buildRequest(requestType == pdu::Get ? SNMP_MSG_GET : SNMP_MSG_GETNEXT, *list);
    if (!request)
        return 0;
    const size_t count = list->list.size();
    return exchange(*session, std::move(request), count, count, *list, errorStatus, errorIndex, wait, abandoned);
}

int SnmpMgrBulkRequest(LPSNMP_MGR_SESSION session, int32_t maxRepetitions, SnmpVarBindList *list,
                       int32_t *errorStatus, int32_t *errorIndex, RequestWait wait, const AbandonCheck &abandoned)
{
    if (!session || !session->handle)
        return fail(SnmpMgrErrors::InvalidSession);
    if (!list || list->list.empty() || maxRepetitions < 1 || session->version == SnmpVersion::V1)
        return fail(SnmpMgrErrors::InvalidParameter);
    PduPtr request = buildRequest(SNMP_MSG_GETBULK, *list);
    if (!request)
        return 0;
    request->non_repeaters = 0;
    request->max_repetitions = maxRepetitions;
    const size_t most = list->list.size() * size_t(maxRepetitions);
    return exchange(*session, std::move(request), 1, most, *list, errorStatus, errorIndex, wait, abandoned);
}

int SnmpMgrClose(LPSNMP_MGR_SESSION session)
{
    if (!session)
        return fail(SnmpMgrErrors::InvalidSession);
    const std::unique_ptr<SnmpMgrSessionData> owned(session);
    if (owned->handle) {
        if (netsnmp_session *state = snmp_sess_session(owned->handle); state && owned->version == SnmpVersion::V3)
            usm::wipeKeys(*state);
        snmp_sess_close(owned->handle);
        --g_openSessions;
    }
    return 1;
}

int SnmpMgrOpenSessionCount()
{
    return g_openSessions;
}

int SnmpMgrStrToOid(const std::string &typed, AsnObjectIdentifier *oidOut)
{
    // ";" separates OIDs for the query run; a NUL would hide the rest of the text from the C parser.
    if (!oidOut || typed.empty() || typed.find(';') != std::string::npos || typed.find('\0') != std::string::npos)
        return 0;
    // No OID of MAX_OID_LEN sub-identifiers needs this much text: a longer one
    // (a paste gone wrong) never reaches the C parser, which the bound below
    // relies on; nor does one with a quote left open, past which it reads.
    thread_local std::string text;
    if (typed.size() > MaxOidTextLength || !decimalNumbers(typed, text))
        return 0;
    ensureInit();

    // What snmp_parse_oid does, without its last resort: that runs the text
    // as a regular expression over every label of the MIB tree, so that a
    // typo ("x", "all") becomes some unrelated object, and a text such as
    // ".34" and 150 "*" takes seconds (more of them, hours) to match.
    //
    // Both may write past the length they are given: an IMPLIED string index
    // of numbers (snmpTargetAddrTDomain and 123 numbers) put 134
    // sub-identifiers into a buffer of 128. A text yields at most its first
    // label's path and one sub-identifier per further character, so room for
    // that takes such writes; a result past MAX_OID_LEN is then refused.
    thread_local std::vector<oid> parsed(2 * MAX_OID_LEN + MaxOidTextLength);
    size_t length = MAX_OID_LEN;
    bool converted = text.find(':') == std::string::npos && read_objid(text.c_str(), parsed.data(), &length);
    if (!converted) {
        length = MAX_OID_LEN;
        converted = get_node(text.c_str(), parsed.data(), &length);
    }
    if (!converted || length == 0 || length > MAX_OID_LEN)
        return plainDottedDecimal(text, oidOut);
    const auto end = parsed.begin() + std::ptrdiff_t(length);
    if (std::any_of(parsed.begin(), end, [](oid id) { return id > 0xFFFFFFFFu; }))
        return 0;
    oidOut->ids.assign(parsed.begin(), end);
    return 1;
}

int SnmpMgrOidToStr(const AsnObjectIdentifier *oidIn, char **text)
{
    if (!text)
        return 0;
    *text = nullptr;
    ensureInit();

    // Called once per row of a walk: keep the conversion buffers between calls.
    thread_local std::vector<oid> name;
    thread_local std::vector<char> out(512);
    const char *result = nullptr;
    size_t length = 0;
    if (oidIn) {
        name.assign(oidIn->ids.begin(), oidIn->ids.end());
        for (;;) {
            const int n = snprint_objid(out.data(), out.size(), name.data(), name.size());
            if (n >= 0) {
                result = out.data();
                length = size_t(n);
                break;
            }
            if (out.size() >= 65536)
                break;
            out.resize(out.size() * 2);
        }
    }
    if (!result) {
        // The name always comes back as some text: the numeric form then.
        static const AsnObjectIdentifier empty;
        result = SnmpUtilOidToA(oidIn ? oidIn : &empty);
        length = std::strlen(result);
    }
    char *copy = static_cast<char *>(SnmpUtilMemAlloc(length + 1));
    if (!copy)
        return 0;
    std::memcpy(copy, result, length);
    copy[length] = '\0';
    *text = copy;
    return 1;
}

const char *SnmpUtilOidToA(const AsnObjectIdentifier *oidIn)
{
    thread_local std::string text;
    text.clear();
    if (!oidIn)
        return text.c_str();
    char number[16];
    for (size_t i = 0; i < oidIn->ids.size(); ++i) {
        if (i > 0)
            text.push_back('.');
        const auto [end, ec] = std::to_chars(number, number + sizeof(number), oidIn->ids[i]);
        text.append(number, end);
    }
    return text.c_str();
}

int SnmpUtilOidCpy(AsnObjectIdentifier *dst, const AsnObjectIdentifier *src)
{
    if (!dst || !src)
        return 0;
    dst->ids = src->ids;
    return 1;
}

int SnmpUtilOidNCmp(const AsnObjectIdentifier *a, const AsnObjectIdentifier *b, unsigned n)
{
    if (!a || !b)
        return a == b ? 0 : (a ? 1 : -1);
    const size_t la = std::min<size_t>(a->ids.size(), n);
    const size_t lb = std::min<size_t>(b->ids.size(), n);
    const size_t common = std::min(la, lb);
    for (size_t i = 0; i < common; ++i) {
        if (a->ids[i] != b->ids[i])
            return a->ids[i] < b->ids[i] ? -1 : 1;
    }
    // An identifier shorter than n cannot match over n sub-identifiers.
    if (la != lb)
        return la < lb ? -1 : 1;
    return 0;
}

void *SnmpUtilMemAlloc(size_t size)
{
    // Zeroed, as the platform's allocator hands it out.
    return std::calloc(1, size ? size : 1);
}

void SnmpUtilMemFree(void *block)
{
    std::free(block);
}

void SnmpUtilVarBindListFree(SnmpVarBindList *list)
{
    if (list)
        std::vector<SnmpVarBind>().swap(list->list);
}
