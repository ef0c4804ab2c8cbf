// SPDX-License-Identifier: MIT
#include "ui/agentprompts.h"

#include "common/messages.h"
#include "ui/dialogs/dialogservice.h"

#include <QWidget>

#include <utility>

AgentPrompts::AgentPrompts(AgentProfiles &profiles, DialogService &dialogs, QWidget *owner, Hooks hooks)
    : m_profiles(profiles), m_dialogs(dialogs), m_owner(owner), m_hooks(std::move(hooks))
{
}

// A wait still going gives its keyring call up with it.
AgentPrompts::~AgentPrompts() = default;

void AgentPrompts::cancel()
{
    const bool wasWaiting = waiting();
    m_wait.reset();
    m_waitingRun.reset();
    if (wasWaiting && m_hooks.waitChanged)
        m_hooks.waitChanged();
}

void AgentPrompts::startWait(const QString &agent, const QString &user,
                             std::function<void(PassphraseVault::Fetched)> answered)
{
    m_wait = m_profiles.fetch(agent, user, [this, answered = std::move(answered)](PassphraseVault::Fetched fetched) {
        const std::unique_ptr<PassphraseVault::Pending> over = std::move(m_wait);
        if (m_hooks.waitChanged)
            m_hooks.waitChanged();
        // What follows opens a dialog or runs, which may take long: not
        // inside the keyring job's own signal, after which QtKeychain starts
        // its next job.
        const auto kept = std::make_shared<PassphraseVault::Fetched>(std::move(fetched));
        QMetaObject::invokeMethod(m_owner, [answered, kept] { answered(std::move(*kept)); }, Qt::QueuedConnection);
    });
    if (m_hooks.waitChanged)
        m_hooks.waitChanged();
}

void AgentPrompts::editProperties(const QString &agent)
{
    cancel();
    AgentProfiles::Editing editing = m_profiles.edit(agent);
    const AgentProperties &p = editing.was;
    if (p.version == AgentVersion::V3 && p.level != SecurityLevel::NoAuthNoPriv
        && m_profiles.needsKeyring(editing.shown.agent, p.userName, p.rememberPassphrases)) {
        // The dialog opens with what the keyring answers, or says why it did not.
        startWait(editing.shown.agent, p.userName,
                  [this, agent = editing.shown.agent](const PassphraseVault::Fetched &) {
                      openDialog(m_profiles.edit(agent));
                  });
        return;
    }
    // So does a remembered write community (versions 1 and 2c).
    if (p.version != AgentVersion::V3
        && m_profiles.needsKeyring(editing.shown.agent, AgentProfiles::writeCommunityKey(), p.rememberPassphrases)) {
        startWait(editing.shown.agent, AgentProfiles::writeCommunityKey(),
                  [this, agent = editing.shown.agent](const PassphraseVault::Fetched &) {
                      openDialog(m_profiles.edit(agent));
                  });
        return;
    }
    openDialog(std::move(editing));
}

void AgentPrompts::openDialog(AgentProfiles::Editing editing)
{
    if (!m_dialogs.editAgentProperties(m_owner, editing.shown))
        return;
    m_profiles.keep(editing, [this](const StoreError &failure) { reportKeyring(failure); });
}

bool AgentPrompts::askPassphrases(const QString &agent)
{
    AgentProfiles::Editing editing = m_profiles.edit(agent);
    if (!m_dialogs.editAgentProperties(m_owner, editing.shown))
        return false;
    m_profiles.keep(editing, [this](const StoreError &failure) { reportKeyring(failure); });
    return true;
}

void AgentPrompts::reportKeyring(const StoreError &failure)
{
    if (failure && m_hooks.showError)
        m_hooks.showError(failure.message());
}

std::optional<QueryRequest> AgentPrompts::prepare(QueryRequest fromBoxes, bool &sendsCommunity)
{
    if (m_readyRun) {
        // Completed when its passphrases came; the boxes may say otherwise by now.
        sendsCommunity = !m_readyRun->security;
        return std::exchange(m_readyRun, std::nullopt);
    }
    cancel(); // a newer Run gives an earlier wait up
    QueryRequest request = std::move(fromBoxes);
    const SnmpVersion boxesVersion = request.transport.version;
    const AgentProfiles::Completion completion = m_profiles.complete(request);
    sendsCommunity = completion.sendsCommunity;
    switch (completion.missing) {
    case AgentProfiles::Missing::Nothing:
        return request;
    case AgentProfiles::Missing::Remembered:
        m_waitingRun = std::move(request);
        startWait(completion.agent, completion.user,
                  [this, agent = completion.agent, user = completion.user](PassphraseVault::Fetched fetched) {
                      std::optional<QueryRequest> run = std::exchange(m_waitingRun, std::nullopt);
                      if (!run)
                          return;
                      if (!fetched.passphrases || fetched.passphrases->empty()) {
                          reportKeyring(fetched.failure ? fetched.failure
                                                        : StoreError::message(QString::fromLatin1(msg::KeyringNoEntry).arg(user)));
                          if (!askPassphrases(agent))
                              return;
                      }
                      // Whatever was given: a passphrase still missing is the run's to name.
                      run->security.reset();
                      m_profiles.complete(*run);
                      m_readyRun = std::move(run);
                      if (m_hooks.runAgain)
                          m_hooks.runAgain();
                  });
        return std::nullopt;
    case AgentProfiles::Missing::Unknown:
        break;
    }
    if (!askPassphrases(completion.agent))
        return std::nullopt;
    // As the dialog left the agent's properties, passphrases or none.
    request.security.reset();
    request.transport.version = boxesVersion;
    sendsCommunity = m_profiles.complete(request).sendsCommunity;
    return request;
}
