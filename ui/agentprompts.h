// SPDX-License-Identifier: MIT
#pragma once

#include "ui/agentprofiles.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class DialogService;
class QWidget;

// The window's side of an agent's passphrases. Agent Properties and a run
// whose passphrases are in the desktop keyring wait for it without holding
// the window: the command returns, the status line says it waits, and the
// dialog opens (or the run starts) when the keyring answers, within its time
// limit. Stop, a newer Run or Agent Properties, and the window's close give
// the wait up. A run whose passphrases are nowhere (never remembered, or a
// keyring that gave none) asks for them in Agent Properties, after a message
// saying why when the keyring failed.
class AgentPrompts
{
public:
    struct Hooks
    {
        std::function<void()> waitChanged; // waiting() changed
        std::function<void()> runAgain;    // a run's passphrases came: Run again (prepare() gives its request)
        std::function<void(const QString &)> showError;
    };

    AgentPrompts(AgentProfiles &profiles, DialogService &dialogs, QWidget *owner, Hooks hooks);
    ~AgentPrompts();
    AgentPrompts(const AgentPrompts &) = delete;
    AgentPrompts &operator=(const AgentPrompts &) = delete;

    // The Agent Properties command for an agent text.
    void editProperties(const QString &agent);

    // A run's request, read from the boxes, made ready to go: completed with
    // the agent's properties and passphrases. None when it waits for the
    // keyring (runAgain follows) or the user gave no passphrases. After
    // runAgain the request waited for is given instead of `fromBoxes`.
    // sendsCommunity: whether the run's community is sent (not with SNMPv3).
    std::optional<QueryRequest> prepare(QueryRequest fromBoxes, bool &sendsCommunity);

    bool waiting() const { return m_wait != nullptr; }
    // Gives the wait up: no dialog opens, no run starts.
    void cancel();

private:
    void startWait(const QString &agent, const QString &user, std::function<void(PassphraseVault::Fetched)> answered);
    void openDialog(AgentProfiles::Editing editing);
    // Agent Properties for a run's agent, its passphrase fields empty: true
    // when the user confirmed.
    bool askPassphrases(const QString &agent);
    void reportKeyring(const StoreError &failure);

    AgentProfiles &m_profiles;
    DialogService &m_dialogs;
    QWidget *m_owner;
    Hooks m_hooks;
    std::unique_ptr<PassphraseVault::Pending> m_wait;
    std::optional<QueryRequest> m_waitingRun; // the run's request while its keyring wait goes on
    std::optional<QueryRequest> m_readyRun;   // and once its passphrases came, until Run takes it
};
