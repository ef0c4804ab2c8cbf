// SPDX-License-Identifier: MIT
#include "ui/agentprofiles.h"

#include "common/bytetext.h"

AgentProfiles::AgentProfiles(std::unique_ptr<Keyring> keyring) : m_passphrases(std::move(keyring)) {}

bool AgentProfiles::complete(QueryRequest &request)
{
    const auto found = m_properties.find(request.agent);
    if (found == m_properties.end())
        return true;
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
        AgentSecurity security;
        security.userName = bytesFromText(p.userName).toStdString();
        security.level = p.level;
        security.auth = p.auth;
        security.priv = p.priv;
        security.context = bytesFromText(p.context).toStdString();
        Passphrases passphrases = m_passphrases.find(found->first, p.userName, p.rememberPassphrases, nullptr);
        security.authPassphrase = std::move(passphrases.auth);
        security.privPassphrase = std::move(passphrases.priv);
        request.security = std::move(security);
        return false;
    }
    }
    return true;
}

AgentProfiles::Editing AgentProfiles::edit(const QString &agent)
{
    Editing editing;
    editing.agent = agent;
    if (const auto found = m_properties.find(agent); found != m_properties.end()) {
        editing.agent = found->first; // the passphrases are kept under the text the properties have
        editing.properties = found->second;
    }
    editing.passphrases = m_passphrases.find(editing.agent, editing.properties.userName,
                                             editing.properties.rememberPassphrases, &editing.keyring);
    editing.wasRemembered = editing.properties.rememberPassphrases;
    return editing;
}

StoreError AgentProfiles::keep(const Editing &edited)
{
    m_properties[edited.agent] = edited.properties;
    if (edited.properties.version != AgentVersion::V3)
        return edited.keyring;
    return m_passphrases.keep(edited.agent, edited.properties.userName, edited.passphrases,
                              edited.properties.rememberPassphrases, edited.wasRemembered);
}
