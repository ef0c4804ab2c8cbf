// SPDX-License-Identifier: MIT
#pragma once

#include "engine/query/queryrun.h"
#include "store/passphrasevault.h"
#include "store/settings.h"

#include <QString>

#include <memory>

// What the user set for each agent text in Agent Properties, with the
// passphrases of its SNMPv3 user (in memory, or in the keyring it was told to
// remember them in): the settings a request to that agent goes with.
class AgentProfiles
{
public:
    explicit AgentProfiles(std::unique_ptr<Keyring> keyring);

    const AgentPropertiesMap &properties() const { return m_properties; }
    void setProperties(AgentPropertiesMap properties) { m_properties = std::move(properties); }

    // The request made for its agent: the SNMP version the agent's properties
    // name (Default: the transport settings'), and for SNMPv3 the user's
    // security with its passphrases. None found (not remembered, or a keyring
    // that does not answer): the run says the passphrase is too short.
    // False when the community is not sent (SNMPv3), so that its history
    // does not record it.
    bool complete(QueryRequest &request);

    // Agent Properties for an agent text: what the dialog shows, and what it
    // confirmed kept. The properties are kept under the text they were stored
    // with (letter case aside), a new agent under the text as typed.
    struct Editing
    {
        QString agent;
        AgentProperties properties;
        Passphrases passphrases;
        bool wasRemembered = false;
        StoreError keyring; // why the keyring could not be read
    };
    Editing edit(const QString &agent);
    // The other properties are kept whatever the keyring does. Its failure is
    // returned: in keeping SNMPv3 passphrases, else in reading them for the dialog.
    StoreError keep(const Editing &edited);

private:
    AgentPropertiesMap m_properties;
    PassphraseVault m_passphrases; // reads the keyring at an agent's first run or edit
};
