// SPDX-License-Identifier: MIT
#pragma once

#include "engine/query/queryrun.h"
#include "store/passphrasevault.h"
#include "store/settings.h"
#include "ui/dialogs/agentpropertiesedit.h"

#include <QString>

#include <chrono>
#include <memory>

// What the user set for each agent text in Agent Properties, with the
// passphrases of its SNMPv3 user (in memory, or in the keyring it was told to
// remember them in): the settings a request to that agent goes with. Never
// waits: what the keyring has to say comes through fetch().
class AgentProfiles
{
public:
    explicit AgentProfiles(std::unique_ptr<Keyring> keyring,
                           std::chrono::milliseconds keyringTimeLimit = PassphraseVault::KeyringTimeLimit);

    const AgentPropertiesMap &properties() const { return m_properties; }
    void setProperties(AgentPropertiesMap properties) { m_properties = std::move(properties); }

    // Where the passphrases an agent's user needs are when they are not in
    // memory: in the keyring (fetch them), or nowhere known (ask the user).
    enum class Missing { Nothing, Remembered, Unknown };
    struct Completion
    {
        // False when the community is not sent (SNMPv3), so that its history
        // does not record it.
        bool sendsCommunity = true;
        Missing missing = Missing::Nothing;
        QString agent; // the text the properties are kept under
        QString user;
    };
    // The request made for its agent: the SNMP version the agent's properties
    // name (Default: the transport settings'), and for SNMPv3 the user's
    // security with the passphrases held in memory.
    Completion complete(QueryRequest &request) const;

    // Agent Properties for an agent text: what the dialog shows and what it
    // confirmed. The properties are kept under the text they were stored
    // with (letter case aside), a new agent under the text as typed.
    struct Editing
    {
        AgentPropertiesEdit shown;
        AgentProperties was; // as they were when the dialog opened
    };
    // With the passphrases held in memory; see needsKeyring().
    Editing edit(const QString &agent) const;
    // Remembered passphrases not read yet this session, from a keyring in use.
    bool needsKeyring(const QString &agent, const QString &user, bool remembered) const;
    // Reads an agent user's remembered passphrases (PassphraseVault::fetch).
    [[nodiscard]] std::unique_ptr<PassphraseVault::Pending>
    fetch(const QString &agent, const QString &user, std::function<void(PassphraseVault::Fetched)> done);
    // The write community for a Set to an agent: held in memory, in the
    // keyring still to be read (Remembered: fetchWriteCommunity), or none.
    // Kept in the vault under a user name no SNMPv3 user can have (longer
    // than USM's 32 octets), with the agent's "remember" choice.
    struct WriteCommunity
    {
        Secret community;
        Missing missing = Missing::Nothing;
    };
    WriteCommunity writeCommunity(const QString &agent) const;
    [[nodiscard]] std::unique_ptr<PassphraseVault::Pending>
    fetchWriteCommunity(const QString &agent, std::function<void(PassphraseVault::Fetched)> done);
    // One typed into the Set dialog: held in memory for the session only.
    void holdWriteCommunity(const QString &agent, const Secret &community);
    static QString writeCommunityKey();

    // Why the keyring is not used this session; empty while it is.
    const QString &keyringProblem() const { return m_passphrases.keyringProblem(); }

    // The other properties are kept at once, and so are the passphrases in
    // memory. The keyring follows in the background: the entry of a user the
    // agent no longer has (another user, another version) goes, and the
    // current user's is written, or removed when not remembered any more or
    // forgotten. `failed` hears of a keyring that failed.
    void keep(const Editing &edited, const PassphraseVault::Failed &failed);

private:
    AgentPropertiesMap m_properties;
    PassphraseVault m_passphrases;
};
