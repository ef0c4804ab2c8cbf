// SPDX-License-Identifier: MIT
#include "ui/agentprofiles.h"

#include "common/bytetext.h"

AgentProfiles::AgentProfiles(std::unique_ptr<Keyring> keyring, std::chrono::milliseconds keyringTimeLimit)
    : m_passphrases(std::move(keyring), keyringTimeLimit)
{
}

AgentProfiles::Completion AgentProfiles::complete(QueryRequest &request) const
{
    Completion completion;
    const auto found = m_properties.find(request.agent);
    if (found == m_properties.end())
        return completion;
    const AgentProperties &p = found->second;
    switch (p.version) {
    case AgentVersion::Default:
        break;
    case AgentVersion::V1:
        request.transport.version = SnmpVersion::V1;
        break;
    case AgentVersion::V2c:
        request.transport.version = SnmpVersion::V2c;
        break;
    case AgentVersion::V3: {
        completion.sendsCommunity = false;
        completion.agent = found->first;
        completion.user = p.userName;
        AgentSecurity security;
        security.userName = bytesFromText(p.userName).toStdString();
        security.level = p.level;
        security.auth = p.auth;
        security.priv = p.priv;
        security.context = bytesFromText(p.context).toStdString();
        if (p.level != SecurityLevel::NoAuthNoPriv) {
            if (std::optional<Passphrases> held = m_passphrases.held(found->first, p.userName); held && !held->empty()) {
                security.authPassphrase = std::move(held->auth);
                security.privPassphrase = std::move(held->priv);
            } else {
                completion.missing = needsKeyring(found->first, p.userName, p.rememberPassphrases)
                    ? Missing::Remembered
                    : Missing::Unknown;
            }
        }
        request.security = std::move(security);
        break;
    }
    }
    return completion;
}

AgentProfiles::Editing AgentProfiles::edit(const QString &agent) const
{
    Editing editing;
    editing.shown.agent = agent;
    if (const auto found = m_properties.find(agent); found != m_properties.end()) {
        editing.shown.agent = found->first; // the passphrases are kept under the text the properties have
        editing.shown.properties = found->second;
    }
    editing.was = editing.shown.properties;
    if (std::optional<Passphrases> held = m_passphrases.held(editing.shown.agent, editing.was.userName)) {
        editing.shown.authPassphrase = std::move(held->auth);
        editing.shown.privPassphrase = std::move(held->priv);
    }
    if (std::optional<Passphrases> held = m_passphrases.held(editing.shown.agent, writeCommunityKey()))
        editing.shown.writeCommunity = std::move(held->auth);
    editing.shown.keyringProblem = m_passphrases.keyringProblem();
    return editing;
}

QString AgentProfiles::writeCommunityKey()
{
    return QStringLiteral("(the write community of SNMPv1 and SNMPv2c)");
}

// The properties' own text when the agent has some: what the vault keys by.
static QString keptAgent(const AgentPropertiesMap &properties, const QString &agent)
{
    const auto found = properties.find(agent);
    return found == properties.end() ? agent : found->first;
}

AgentProfiles::WriteCommunity AgentProfiles::writeCommunity(const QString &agent) const
{
    WriteCommunity result;
    const QString kept = keptAgent(m_properties, agent);
    if (std::optional<Passphrases> held = m_passphrases.held(kept, writeCommunityKey()); held && !held->auth.empty()) {
        result.community = std::move(held->auth);
        return result;
    }
    const auto found = m_properties.find(agent);
    const bool remembered = found != m_properties.end() && found->second.rememberPassphrases;
    result.missing = needsKeyring(kept, writeCommunityKey(), remembered) ? Missing::Remembered : Missing::Unknown;
    return result;
}

std::unique_ptr<PassphraseVault::Pending>
AgentProfiles::fetchWriteCommunity(const QString &agent, std::function<void(PassphraseVault::Fetched)> done)
{
    return m_passphrases.fetch(keptAgent(m_properties, agent), writeCommunityKey(), std::move(done));
}

void AgentProfiles::holdWriteCommunity(const QString &agent, const Secret &community)
{
    // Not remembered, and a remembered one left in the keyring as it is.
    m_passphrases.keep(keptAgent(m_properties, agent), writeCommunityKey(), {community.copy(), {}}, false, false, {});
}

bool AgentProfiles::needsKeyring(const QString &agent, const QString &user, bool remembered) const
{
    return remembered && m_passphrases.keyringProblem().isEmpty() && !m_passphrases.held(agent, user);
}

std::unique_ptr<PassphraseVault::Pending> AgentProfiles::fetch(const QString &agent, const QString &user,
                                                               std::function<void(PassphraseVault::Fetched)> done)
{
    return m_passphrases.fetch(agent, user, std::move(done));
}

void AgentProfiles::keep(const Editing &edited, const PassphraseVault::Failed &failed)
{
    const AgentPropertiesEdit &shown = edited.shown;
    const AgentProperties &now = shown.properties;
    const AgentProperties &was = edited.was;
    m_properties[shown.agent] = now;
    const bool wasV3 = was.version == AgentVersion::V3;
    const bool isV3 = now.version == AgentVersion::V3;
    const bool sameUser = wasV3 && isV3 && was.userName == now.userName;
    // A remembered write community not read this session showed as empty:
    // left as it is unless one is typed or it is forgotten.
    const std::optional<Passphrases> write = m_passphrases.held(shown.agent, writeCommunityKey());
    const bool writeKnown = write && !write->empty();
    const bool writeMaybeStored = write ? writeKnown : was.rememberPassphrases;
    if (shown.forgetPassphrases) {
        if (writeMaybeStored)
            m_passphrases.forget(shown.agent, writeCommunityKey(), was.rememberPassphrases || now.rememberPassphrases,
                                 failed);
    } else if (!shown.writeCommunity.empty() || writeKnown) {
        m_passphrases.keep(shown.agent, writeCommunityKey(), {shown.writeCommunity.copy(), {}}, now.rememberPassphrases,
                           was.rememberPassphrases, failed);
    }
    // Kept under the user's name: another user, or no SNMPv3, leaves none behind.
    if (wasV3 && !sameUser)
        m_passphrases.forget(shown.agent, was.userName, was.rememberPassphrases, failed);
    if (!isV3)
        return;
    const bool wasRemembered = sameUser && was.rememberPassphrases;
    if (shown.forgetPassphrases) {
        m_passphrases.forget(shown.agent, now.userName, wasRemembered || now.rememberPassphrases, failed);
        return;
    }
    m_passphrases.keep(shown.agent, now.userName, {shown.authPassphrase.copy(), shown.privPassphrase.copy()},
                       now.rememberPassphrases, wasRemembered, failed);
}
