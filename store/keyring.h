// SPDX-License-Identifier: MIT
#pragma once

#include "common/secret.h"

#include <QString>

#include <functional>
#include <memory>

// Where passphrases are remembered between runs of the program: the desktop
// keyring (Secret Service, KWallet) through QtKeychain. Entries are named by a
// key; each holds one secret. A call returns at once and is answered later,
// from the event loop; a keyring may take long (an unlock prompt left open)
// or never answer, so the caller bounds the wait. Destroying a call's handle
// gives it up: its answer never comes.
class Keyring
{
public:
    enum class Outcome { Done, NotFound, Failed };
    // Why a call failed, as far as the keyring lets it be told.
    enum class Failure {
        None,
        NoService, // no D-Bus, or no Secret Service or KWallet on it
        Locked,    // locked and not unlocked (the prompt cancelled), or access refused
        TimedOut,  // no answer within the caller's limit
        Other,     // the keyring's own words say what
    };
    struct Result
    {
        Outcome outcome = Outcome::Done;
        Failure failure = Failure::None;
        QString error; // the keyring's own words, for Failure::Other
    };
    // A read's answer carries the secret it found.
    using Answer = std::function<void(const Result &, Secret)>;

    class Call
    {
    public:
        virtual ~Call() = default;
    };

    virtual ~Keyring() = default;
    virtual std::unique_ptr<Call> read(const QString &key, Answer answer) = 0;
    virtual std::unique_ptr<Call> write(const QString &key, const Secret &secret, Answer answer) = 0;
    virtual std::unique_ptr<Call> remove(const QString &key, Answer answer) = 0;
};

// The desktop keyring, service "Norvane". Never falls back to a file. A job
// given up is left to finish (QtKeychain cannot cancel one, and its libsecret
// backend calls back into the job), then its data is wiped and it goes.
class DesktopKeyring final : public Keyring
{
public:
    static constexpr const char *Service = "Norvane";
    std::unique_ptr<Call> read(const QString &key, Answer answer) override;
    std::unique_ptr<Call> write(const QString &key, const Secret &secret, Answer answer) override;
    std::unique_ptr<Call> remove(const QString &key, Answer answer) override;
};
