// SPDX-License-Identifier: MIT
#pragma once

#include "common/secret.h"
#include "store/keyring.h"
#include "store/storeerror.h"

#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>

// The two passphrases of one agent and user.
struct Passphrases
{
    Secret auth;
    Secret priv;

    Passphrases copy() const { return {auth.copy(), priv.copy()}; }
    bool empty() const { return auth.empty() && priv.empty(); }
};

// Passphrases for the run of the program: held in memory (sealed, see
// SealedSecret), and in the desktop keyring for agents that remember them
// (one entry per agent and user, both passphrases in it). The keyring is
// asked in the background, each call for at most a time limit; the first
// time it fails to answer (none there, locked, silent) it is left alone for
// the rest of the session, and the passphrases live in memory only.
class PassphraseVault
{
public:
    static constexpr std::chrono::milliseconds KeyringTimeLimit{10000};

    explicit PassphraseVault(std::unique_ptr<Keyring> desktop,
                             std::chrono::milliseconds timeLimit = KeyringTimeLimit);
    ~PassphraseVault();
    PassphraseVault(const PassphraseVault &) = delete;
    PassphraseVault &operator=(const PassphraseVault &) = delete;

    // The keyring entry's name: the agent text and the user name.
    static QString entryName(const QString &agent, const QString &user);

    // Those held in memory (kept, or read from the keyring, this session);
    // empty ones when there are known to be none (forgotten, or none in the
    // keyring), none when nothing is known yet.
    std::optional<Passphrases> held(const QString &agent, const QString &user) const;
    // Why the desktop keyring is not used this session, as the user is told;
    // empty while it is.
    const QString &keyringProblem() const { return m_problem; }

    // A call to the keyring in progress; destroying it gives the call up.
    struct Pending
    {
        std::unique_ptr<Keyring::Call> call;
        QTimer limit;
    };
    // The keyring's answer: the passphrases (held in memory from then on),
    // none (the entry is not there), or why it could not be read.
    struct Fetched
    {
        std::optional<Passphrases> passphrases;
        StoreError failure;
    };
    // Reads them from the keyring (which must be in use); done is called
    // from the event loop, within the time limit, unless the handle goes first.
    [[nodiscard]] std::unique_ptr<Pending> fetch(const QString &agent, const QString &user,
                                                 std::function<void(Fetched)> done);

    // What a keyring that failed in the background says.
    using Failed = std::function<void(const StoreError &)>;
    // Held in memory at once (empty ones too). Then, while the
    // keyring is in use: written to it with remember, or its entry removed
    // when they were remembered and are not any more, or are empty now.
    void keep(const QString &agent, const QString &user, const Passphrases &passphrases, bool remember,
              bool wasRemembered, Failed failed);
    // None held from now on; the keyring entry removed when they were remembered.
    void forget(const QString &agent, const QString &user, bool remembered, Failed failed);

private:
    std::unique_ptr<Pending> start(const std::function<std::unique_ptr<Keyring::Call>(Keyring::Answer)> &begin,
                                   Keyring::Answer answer);
    // A call that went in the background, answered through `failed`.
    void inBackground(const std::function<std::unique_ptr<Keyring::Call>(Keyring::Answer)> &begin, Failed failed);
    StoreError failureOf(const Keyring::Result &result);

    struct Held
    {
        SealedSecret auth;
        SealedSecret priv;
    };

    std::unique_ptr<Keyring> m_desktop;
    std::chrono::milliseconds m_timeLimit;
    std::map<QString, Held> m_held;
    QString m_problem;
    std::list<std::unique_ptr<Pending>> m_background; // writes and removes not answered yet
};
