// SPDX-License-Identifier: MIT
#include "engine/query/usmdiagnosis.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/snmp/snmpmgr.h"

#include <algorithm>
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
    case SnmpMgrErrors::DecryptionError:
        return formatMessage(msg::UsmDecryption, user);
    case SnmpMgrErrors::UnknownEngineID:
        // The run discovered the new engine once already.
        return msg::UsmEngineChanged;
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
    const bool privacy = security.level == SecurityLevel::AuthPriv;
    // Below authPriv only the context can be what the agent drops the request for.
    if (!privacy && security.context.empty())
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

    AgentSecurity plain = security.copy();
    if (privacy)
        plain.level = SecurityLevel::AuthNoPriv;
    plain.context.clear();
    if (!probe(plain))
        return result; // no answer at all
    if (!privacy) {
        result.message = formatMessage(msg::UsmContextUnknown, security.context.c_str());
        return result;
    }

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
