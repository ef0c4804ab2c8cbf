// SPDX-License-Identifier: MIT
#include "engine/usm.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/berreader.h"
#include "engine/snmpmgr.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/keytools.h>
#include <net-snmp/library/scapi.h>
#include <net-snmp/library/snmpusm.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

namespace {

// The hash lengths of the authentication protocols and the key lengths of
// the privacy ones, in octets: a hash shorter than the key is where the two
// ways of extending the key part.
size_t hashLength(AuthProtocol auth)
{
    static constexpr size_t lengths[] = {16, 20, 28, 32, 48, 64};
    return lengths[int(auth) - 1];
}

size_t keyLength(PrivProtocol priv)
{
    static constexpr size_t lengths[] = {8, 16, 24, 32, 24, 32};
    return lengths[int(priv) - 1];
}

std::optional<PrivProtocol> otherVariant(PrivProtocol priv)
{
    switch (priv) {
    case PrivProtocol::AES192:
        return PrivProtocol::AES192C;
    case PrivProtocol::AES256:
        return PrivProtocol::AES256C;
    case PrivProtocol::AES192C:
        return PrivProtocol::AES192;
    case PrivProtocol::AES256C:
        return PrivProtocol::AES256;
    default:
        return std::nullopt;
    }
}

// Net-SNMP's security modules register themselves in init_snmp(), which the
// manager service does not call (engine/mibsetup.cpp says why). This is the
// SNMPv3 part of it: the USM module, the local engine ID and the template
// user, from no configuration file.
void initUsm()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Its configuration handlers register under the application's type.
        if (!netsnmp_ds_get_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE))
            netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE, "norvane");
        init_snmpv3("norvane");
        snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_PREMIB_READ_CONFIG, nullptr);
        snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_READ_CONFIG, nullptr);
    });
}

// Removes every user an earlier session localised keys for; the template
// users without a name stay.
void forgetUsers()
{
    for (usmUser *user = usm_get_userList(); user;) {
        usmUser *next = user->next;
        if (user->name && user->name[0] != '\0') {
            usm_remove_user(user);
            // Its keys go with it; usm_free_user clears them before freeing.
            usm_free_user(user);
        }
        user = next;
    }
}

void wipe(void *data, size_t size)
{
    volatile auto *p = static_cast<volatile unsigned char *>(data);
    for (size_t i = 0; i < size; ++i)
        p[i] = 0;
}

int securityLevel(SecurityLevel level)
{
    switch (level) {
    case SecurityLevel::NoAuthNoPriv:
        return SNMP_SEC_LEVEL_NOAUTH;
    case SecurityLevel::AuthNoPriv:
        return SNMP_SEC_LEVEL_AUTHNOPRIV;
    case SecurityLevel::AuthPriv:
        break;
    }
    return SNMP_SEC_LEVEL_AUTHPRIV;
}

// Whether a session with this security gets any answer from the agent: a
// response of any status, or a report that it refuses the user. A wait
// given up is nullopt.
std::optional<bool> answers(const std::string &agent, const AgentSecurity &security, int timeoutMs,
                            RequestWait wait, const AbandonCheck &abandoned)
{
    const SnmpMgrSession session(SnmpMgrOpen(agent, security, timeoutMs, 0));
    if (!session)
        return false;
    SnmpVarBindList list;
    list.list.resize(1);
    list.list.front().name.ids = {1, 3, 6, 1, 2, 1, 1, 3, 0}; // sysUpTime.0, which every agent has
    int32_t status = 0;
    int32_t index = 0;
    if (SnmpMgrRequest(session.get(), pdu::Get, &list, &status, &index, wait, abandoned))
        return true;
    const uint32_t code = SnmpMgrGetLastError();
    if (code == SnmpMgrErrors::Abandoned)
        return std::nullopt;
    return code == SnmpMgrErrors::UnknownUserName || code == SnmpMgrErrors::AuthenticationFailure
        || code == SnmpMgrErrors::SecurityLevelUnsupported;
}

} // namespace

AgentSecurity AgentSecurity::copy() const
{
    AgentSecurity other;
    other.userName = userName;
    other.level = level;
    other.auth = auth;
    other.priv = priv;
    other.context = context;
    other.authPassphrase = authPassphrase.copy();
    other.privPassphrase = privPassphrase.copy();
    return other;
}

std::string passphraseProblem(const AgentSecurity &security)
{
    if (security.level != SecurityLevel::NoAuthNoPriv && security.authPassphrase.size() < MinPassphraseLength)
        return formatMessage(msg::UsmShortPassphrase, "authentication");
    if (security.level == SecurityLevel::AuthPriv && security.privPassphrase.size() < MinPassphraseLength)
        return formatMessage(msg::UsmShortPassphrase, "privacy");
    return {};
}

std::string usmRequestFailure(uint32_t code, const AgentSecurity &security)
{
    const char *user = security.userName.c_str();
    switch (code) {
    case SnmpMgrErrors::UnknownUserName:
        return formatMessage(msg::UsmUnknownUser, user);
    case SnmpMgrErrors::AuthenticationFailure:
        return formatMessage(msg::UsmWrongAuth, user);
    case SnmpMgrErrors::SecurityLevelUnsupported:
        return formatMessage(msg::UsmLevelUnsupported, usmnames::levelName(security.level), user);
    default:
        return {};
    }
}

std::string usmStatusFailure(int32_t status, const AgentSecurity &security)
{
    // authorizationError: the access control refused the request. At authPriv
    // the level is not what is wrong, and the usual message stands.
    constexpr int32_t AuthorizationError = 16;
    if (status != AuthorizationError || security.level == SecurityLevel::AuthPriv)
        return {};
    return formatMessage(msg::UsmLevelTooLow, security.userName.c_str(), usmnames::levelName(security.level));
}

UsmDiagnosis diagnoseTimeout(const std::string &agent, const AgentSecurity &security, int timeoutMs,
                             RequestWait wait, const AbandonCheck &abandoned)
{
    UsmDiagnosis result;
    result.message = msg::UsmNoAnswer;
    if (security.level != SecurityLevel::AuthPriv)
        return result;
    // One try each, no longer than a second: the user waits for them after
    // the run's own timeouts.
    const int probeMs = std::clamp(timeoutMs, 1, 1000);
    const auto probe = [&](const AgentSecurity &changed) {
        const std::optional<bool> answered = answers(agent, changed, probeMs, wait, abandoned);
        if (!answered)
            result.abandoned = true;
        return answered.value_or(false);
    };

    AgentSecurity noPrivacy = security.copy();
    noPrivacy.level = SecurityLevel::AuthNoPriv;
    noPrivacy.context.clear();
    if (!probe(noPrivacy))
        return result; // no answer at all

    if (!security.context.empty()) {
        AgentSecurity noContext = security.copy();
        noContext.context.clear();
        if (probe(noContext)) {
            result.message = formatMessage(msg::UsmContextUnknown, security.context.c_str());
            return result;
        }
        if (result.abandoned)
            return result;
    }
    const std::optional<PrivProtocol> other = otherVariant(security.priv);
    if (other && hashLength(security.auth) < keyLength(security.priv)) {
        AgentSecurity variant = security.copy();
        variant.priv = *other;
        if (probe(variant)) {
            const char *name = usmnames::privName(*other);
            result.message = formatMessage(msg::UsmOtherVariant, name, usmnames::privName(security.priv), name);
            return result;
        }
        if (result.abandoned)
            return result;
    }
    result.message = msg::UsmPrivacyWrong;
    return result;
}

namespace usm {

bool setUp(snmp_session &settings, const AgentSecurity &security)
{
    initUsm();
    forgetUsers();

    settings.version = SNMP_VERSION_3;
    settings.securityModel = SNMP_SEC_MODEL_USM;
    // snmp_sess_add copies the texts; the casts only satisfy its C fields.
    settings.securityName = const_cast<char *>(security.userName.c_str());
    settings.securityNameLen = security.userName.size();
    settings.contextName = const_cast<char *>(security.context.c_str());
    settings.contextNameLen = security.context.size();
    settings.securityLevel = securityLevel(security.level);
    if (security.level == SecurityLevel::NoAuthNoPriv)
        return true;

    // The protocols' OIDs by their names, as Net-SNMP's tools look them up
    // (its usm_get_*_oid are declared but not exported).
    size_t authLength = 0;
    oid *authOid = sc_get_auth_oid(usm_lookup_auth_type(usmnames::authName(security.auth)), &authLength);
    if (!authOid)
        return false;
    settings.securityAuthProto = authOid; // copied by snmp_sess_add; static in the library
    settings.securityAuthProtoLen = authLength;
    const std::string &authPass = security.authPassphrase.bytes();
    settings.securityAuthKeyLen = USM_AUTH_KU_LEN;
    if (generate_Ku(authOid, u_int(authLength), reinterpret_cast<const u_char *>(authPass.data()), authPass.size(),
                    settings.securityAuthKey, &settings.securityAuthKeyLen)
        != SNMPERR_SUCCESS)
        return false;
    if (security.level == SecurityLevel::AuthNoPriv)
        return true;

    size_t privLength = 0;
    oid *privOid = sc_get_priv_oid(usm_lookup_priv_type(usmnames::privName(security.priv)), &privLength);
    if (!privOid)
        return false;
    settings.securityPrivProto = privOid;
    settings.securityPrivProtoLen = privLength;
    // The privacy key comes from its passphrase by the authentication hash.
    const std::string &privPass = security.privPassphrase.bytes();
    settings.securityPrivKeyLen = USM_PRIV_KU_LEN;
    return generate_Ku(authOid, u_int(authLength), reinterpret_cast<const u_char *>(privPass.data()),
                       privPass.size(), settings.securityPrivKey, &settings.securityPrivKeyLen)
        == SNMPERR_SUCCESS;
}

void wipeKeys(snmp_session &settings)
{
    wipe(settings.securityAuthKey, sizeof settings.securityAuthKey);
    wipe(settings.securityPrivKey, sizeof settings.securityPrivKey);
    settings.securityAuthKeyLen = 0;
    settings.securityPrivKeyLen = 0;
}

bool readResponse(const snmp_pdu &pdu, berreader::Response &response)
{
    response.requestId = int32_t(pdu.reqid);
    response.errorStatus = int32_t(pdu.errstat);
    response.errorIndex = int32_t(pdu.errindex);
    size_t count = 0;
    for (const netsnmp_variable_list *v = pdu.variables; v; v = v->next_variable)
        ++count;
    response.bindings.resize(count);
    size_t i = 0;
    for (const netsnmp_variable_list *v = pdu.variables; v; v = v->next_variable, ++i) {
        SnmpVarBind &binding = response.bindings[i];
        if (v->name_length > berreader::MaxNameLength)
            return false;
        binding.name.ids.assign(v->name, v->name + v->name_length);
        AsnAny &value = binding.value;
        value = AsnAny();
        value.asnType = v->type;
        switch (v->type) {
        case ASN_INTEGER:
            value.number = v->val.integer ? int32_t(*v->val.integer) : 0;
            break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
        case ASN_UINTEGER:
            value.unsigned32 = v->val.integer ? uint32_t(*v->val.integer) : 0;
            break;
        case ASN_COUNTER64:
            if (v->val.counter64)
                value.counter64 = uint64_t(v->val.counter64->high) << 32 | uint32_t(v->val.counter64->low);
            break;
        case ASN_OBJECT_ID: {
            const size_t ids = v->val_len / sizeof(oid);
            if (ids > MAX_OID_LEN)
                return false;
            if (v->val.objid)
                value.object.ids.assign(v->val.objid, v->val.objid + ids);
            break;
        }
        case ASN_NULL:
        case SNMP_NOSUCHOBJECT:
        case SNMP_NOSUCHINSTANCE:
        case SNMP_ENDOFMIBVIEW:
            break;
        default:
            // Octet strings, Bits, addresses, Opaques; a type Net-SNMP
            // decodes into a number of its own (its float Opaques) keeps that
            // tag and the octets it holds.
            if (v->val.string && v->val_len > 0)
                value.bytes.assign(reinterpret_cast<const char *>(v->val.string), v->val_len);
            break;
        }
    }
    return true;
}

void deferDiscovery(void *handle)
{
    // Cleared by snmp_sess_add itself, set by snmp_sess_init.
    if (netsnmp_session *state = snmp_sess_session(handle))
        state->flags |= SNMP_FLAGS_DONT_PROBE;
}

bool engineKnown(void *handle)
{
    const netsnmp_session *state = snmp_sess_session(handle);
    return state && state->securityEngineIDLen > 0;
}

WaitOutcome discoverEngine(void *handle, RequestExchange &exchange, RequestWait wait, const AbandonCheck &abandoned)
{
    netsnmp_session *state = snmp_sess_session(handle);
    if (!state)
        return WaitOutcome::Failed;
    // Net-SNMP's probe: a Get without bindings at noAuthNoPriv from the user
    // without a name, which every agent answers with a report that carries
    // its engine ID.
    PduPtr probe(snmp_pdu_create(SNMP_MSG_GET));
    if (!probe)
        return WaitOutcome::Failed;
    probe->version = SNMP_VERSION_3;
    probe->securityName = strdup("");
    probe->securityNameLen = 0;
    probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    probe->securityModel = SNMP_SEC_MODEL_USM;
    if (!usm_get_user(nullptr, 0, "")) {
        // As Net-SNMP's probe adds it, when the library has none.
        auto *user = static_cast<usmUser *>(calloc(1, sizeof(usmUser)));
        if (!user)
            return WaitOutcome::Failed;
        user->name = strdup("");
        user->secName = strdup("");
        user->authProtocolLen = OID_LENGTH(usmNoAuthProtocol);
        user->authProtocol = snmp_duplicate_objid(usmNoAuthProtocol, user->authProtocolLen);
        user->privProtocolLen = OID_LENGTH(usmNoPrivProtocol);
        user->privProtocol = snmp_duplicate_objid(usmNoPrivProtocol, user->privProtocolLen);
        usm_add_user(user);
    }
    berreader::Response none;
    const WaitOutcome outcome = sendAndWait(handle, std::move(probe), exchange, wait, abandoned, none);
    // The report ends the wait as a refusal; Net-SNMP has taken the engine
    // ID from it by then.
    if (state->securityEngineIDLen == 0)
        return outcome == WaitOutcome::Answered ? WaitOutcome::Failed : outcome;
    exchange.report = 0;
    return usm_create_user_from_session(state) == SNMPERR_SUCCESS ? WaitOutcome::Answered : WaitOutcome::Failed;
}

} // namespace usm
