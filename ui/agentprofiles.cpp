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
    editing.shown.keyringProblem = m_passphrases.keyringProblem();
    return editing;
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
