// SPDX-License-Identifier: MIT
#include "engine/snmp/usm.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/snmp/berreader.h"
#include "engine/snmp/snmperrors.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/keytools.h>
#include <net-snmp/library/scapi.h>
#include <net-snmp/library/snmpusm.h>
#include <net-snmp/library/snmpv3.h>
#include <net-snmp/library/lcd_time.h>

#include <algorithm>
#include <climits>
#include <map>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Net-SNMP's security modules register themselves in init_snmp(), which the
// manager service does not call (engine/snmp/netsnmplibrary.cpp says why).
// This is the SNMPv3 part of it: the USM module, the local engine ID and the
// template user, from no configuration file.
void initUsm()
{
    static bool done = false;
    if (std::exchange(done, true))
        return;
    // Its configuration handlers register under the application's type.
    if (!netsnmp_ds_get_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE))
        netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_APPTYPE, "norvane");
    init_snmpv3("norvane");
    snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_PREMIB_READ_CONFIG, nullptr);
    snmp_call_callbacks(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_READ_CONFIG, nullptr);
}

void wipe(void *data, size_t size)
{
    if (!data)
        return;
    volatile auto *p = static_cast<volatile unsigned char *>(data);
    for (size_t i = 0; i < size; ++i)
        p[i] = 0;
}

// Takes a user out of Net-SNMP's list, its keys overwritten first:
// usm_free_user clears them with a memset right before free(), which a
// compiler may leave out.
void dropUser(usmUser *user)
{
    usm_remove_user(user);
    wipe(user->authKey, user->authKeyLen);
    wipe(user->privKey, user->privKeyLen);
    wipe(user->authKeyKu, user->authKeyKuLen);
    wipe(user->privKeyKu, user->privKeyKuLen);
    usm_free_user(user);
}

// The entry a session of this user at this engine uses, as Net-SNMP keys
// its list; and how many open sessions use it, with which keys. Two sessions
// may share one (a Watch poll beside a run, as the same user): it and its
// keys go with the last of them. A session with other keys (a corrected
// passphrase, the other AES key extension) replaces it.
using EntryKey = std::pair<std::string, std::string>; // engine ID, user name
struct EntryUse
{
    size_t keys = 0; // a digest of the protocols and keys (Ku), never the keys
    int sessions = 0;
};
std::map<EntryKey, EntryUse> g_entries;

EntryKey entryOf(const netsnmp_session &session)
{
    return {std::string(reinterpret_cast<const char *>(session.securityEngineID), session.securityEngineIDLen),
            std::string(session.securityName ? session.securityName : "", session.securityNameLen)};
}

size_t keysOf(const netsnmp_session &session)
{
    const auto bytes = [](const void *data, size_t size) {
        return std::string_view(static_cast<const char *>(data), size);
    };
    size_t digest = std::hash<std::string_view>()(bytes(session.securityAuthKey, session.securityAuthKeyLen));
    for (const std::string_view part : {bytes(session.securityPrivKey, session.securityPrivKeyLen),
                                        bytes(session.securityAuthProto, session.securityAuthProtoLen * sizeof(oid)),
                                        bytes(session.securityPrivProto, session.securityPrivProtoLen * sizeof(oid))})
        digest = digest * 1000003u ^ std::hash<std::string_view>()(part);
    return digest;
}

// The receiver's users, by engine ID and name: no query session's end takes
// them away.
std::vector<std::pair<std::string, std::string>> g_listeningUsers;

bool listening(const usmUser &user)
{
    const std::string engine(reinterpret_cast<const char *>(user.engineID), user.engineIDLen);
    for (const auto &[id, name] : g_listeningUsers) {
        if (id == engine && name == user.name)
            return true;
    }
    return false;
}

// Removes the entry an earlier session made for this session's user at its
// engine: Net-SNMP would otherwise keep that session's keys for this one.
void forgetUser(const netsnmp_session &session)
{
    const std::string_view name(session.securityName ? session.securityName : "", session.securityNameLen);
    for (usmUser *user = usm_get_userList(); user;) {
        usmUser *next = user->next;
        if (user->name && name == user->name && user->engineIDLen == session.securityEngineIDLen
            && std::memcmp(user->engineID, session.securityEngineID, user->engineIDLen) == 0 && !listening(*user))
            dropUser(user);
        user = next;
    }
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

std::string securityProblem(const AgentSecurity &security)
{
    // Net-SNMP would send it, and an agent drop it without a report.
    if (security.userName.size() > MaxUserNameLength)
        return formatMessage(msg::UsmUserNameTooLong, int(std::min<size_t>(security.userName.size(), INT_MAX)));
    if (security.level != SecurityLevel::NoAuthNoPriv && security.authPassphrase.size() < MinPassphraseLength)
        return formatMessage(msg::UsmShortPassphrase, "authentication");
    if (security.level == SecurityLevel::AuthPriv && security.privPassphrase.size() < MinPassphraseLength)
        return formatMessage(msg::UsmShortPassphrase, "privacy");
    return {};
}

namespace usm {

namespace {

// The session settings for the security: user, level, protocols, context and keys (Ku).
bool fillSecurity(snmp_session &settings, const AgentSecurity &security)
{
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

} // namespace

bool setUp(snmp_session &settings, const AgentSecurity &security)
{
    initUsm();
    return fillSecurity(settings, security);
}

LocalEngine startLocalEngine(const std::string &storedId, uint32_t storedBoots)
{
    initUsm();
    if (storedId.size() >= 5 && storedId.size() <= 32)
        set_exact_engineID(reinterpret_cast<const u_char *>(storedId.data()), storedId.size());
    // Net-SNMP takes the stored count and adds the one of this start.
    std::string boots = std::to_string(std::min<uint32_t>(storedBoots, 2147483646));
    engineBoots_conf("engineBoots", boots.data());
    LocalEngine engine;
    u_char id[32];
    engine.id.assign(reinterpret_cast<const char *>(id), snmpv3_get_engineID(id, sizeof id));
    engine.boots = uint32_t(snmpv3_local_snmpEngineBoots());
    // A message to our engine is checked against this record (unknown
    // engine ID without it): Net-SNMP made the record for the ID it started with.
    set_enginetime(id, u_int(engine.id.size()), u_int(engine.boots), u_int(snmpv3_local_snmpEngineTime()), TRUE);
    return engine;
}

bool addListeningUser(const AgentSecurity &security, const std::string &engineId)
{
    initUsm();
    auto *engine = reinterpret_cast<u_char *>(const_cast<char *>(engineId.data()));
    // A user of the same engine and name that a query set up goes, or its keys would be kept.
    if (usmUser *old = usm_get_user(engine, engineId.size(), const_cast<char *>(security.userName.c_str())))
        dropUser(old);
    netsnmp_session settings;
    snmp_sess_init(&settings);
    struct KeyWiper
    {
        netsnmp_session &settings;
        ~KeyWiper() { wipeKeys(settings); }
    } wiper{settings};
    if (!fillSecurity(settings, security))
        return false;
    settings.securityEngineID = engine;
    settings.securityEngineIDLen = engineId.size();
    if (usm_create_user_from_session(&settings) != SNMPERR_SUCCESS
        || !usm_get_user(engine, engineId.size(), const_cast<char *>(security.userName.c_str())))
        return false;
    g_listeningUsers.emplace_back(engineId, security.userName);
    return true;
}

void removeListeningUsers()
{
    const auto users = std::exchange(g_listeningUsers, {});
    for (const auto &[id, name] : users) {
        auto *engine = reinterpret_cast<u_char *>(const_cast<char *>(id.data()));
        if (usmUser *user = usm_get_user(engine, id.size(), const_cast<char *>(name.c_str())))
            dropUser(user);
    }
}

void closing(snmp_session &state)
{
    // The digest before the keys go.
    const size_t keys = keysOf(state);
    wipeKeys(state);
    if (state.securityEngineIDLen == 0 || !state.securityName)
        return;
    const auto used = g_entries.find(entryOf(state));
    if (used == g_entries.end() || used->second.keys != keys || --used->second.sessions > 0)
        return;
    g_entries.erase(used);
    forgetUser(state);
}

void wipeKeys(snmp_session &settings)
{
    wipe(settings.securityAuthKey, sizeof settings.securityAuthKey);
    wipe(settings.securityPrivKey, sizeof settings.securityPrivKey);
    settings.securityAuthKeyLen = 0;
    settings.securityPrivKeyLen = 0;
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

PduPtr engineProbe(void *handle)
{
    // Net-SNMP's probe: a Get without bindings at noAuthNoPriv from the user
    // without a name, which every agent answers with a report that carries
    // its engine ID.
    PduPtr probe(snmp_pdu_create(SNMP_MSG_GET));
    if (!probe || !snmp_sess_session(handle))
        return nullptr;
    probe->version = SNMP_VERSION_3;
    probe->securityName = strdup("");
    probe->securityNameLen = 0;
    probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    probe->securityModel = SNMP_SEC_MODEL_USM;
    if (!usm_get_user(nullptr, 0, "")) {
        // As Net-SNMP's probe adds it, when the library has none.
        auto *user = static_cast<usmUser *>(calloc(1, sizeof(usmUser)));
        if (!user)
            return nullptr;
        user->name = strdup("");
        user->secName = strdup("");
        user->authProtocolLen = OID_LENGTH(usmNoAuthProtocol);
        user->authProtocol = snmp_duplicate_objid(usmNoAuthProtocol, user->authProtocolLen);
        user->privProtocolLen = OID_LENGTH(usmNoPrivProtocol);
        user->privProtocol = snmp_duplicate_objid(usmNoPrivProtocol, user->privProtocolLen);
        usm_add_user(user);
    }
    return probe;
}

WaitOutcome engineFound(void *handle, RequestExchange &exchange, WaitOutcome probed)
{
    netsnmp_session *state = snmp_sess_session(handle);
    if (!state)
        return WaitOutcome::Failed;
    // The report ends the wait as a refusal; Net-SNMP has taken the engine
    // ID from it by then.
    if (state->securityEngineIDLen == 0)
        return probed == WaitOutcome::Answered ? WaitOutcome::Failed : probed;
    exchange.report = 0;
    EntryUse &use = g_entries[entryOf(*state)];
    const size_t keys = keysOf(*state);
    if (use.sessions == 0 || use.keys != keys) {
        forgetUser(*state);
        use = EntryUse{keys, 0};
    }
    if (usm_create_user_from_session(state) != SNMPERR_SUCCESS)
        return WaitOutcome::Failed;
    ++use.sessions;
    return WaitOutcome::Answered;
}

WaitOutcome discoverEngine(void *handle, RequestExchange &exchange, RequestWait wait, const AbandonCheck &abandoned)
{
    PduPtr probe = engineProbe(handle);
    if (!probe)
        return WaitOutcome::Failed;
    berreader::Response none;
    return engineFound(handle, exchange, sendAndWait(handle, std::move(probe), exchange, wait, abandoned, none));
}

} // namespace usm
