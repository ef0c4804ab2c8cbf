// SPDX-License-Identifier: MIT
#pragma once

#include "common/secret.h"
#include "store/keyring.h"
#include "store/storeerror.h"

#include <QString>

#include <memory>

// The two passphrases of one agent and user.
struct Passphrases
{
    Secret auth;
    Secret priv;

    Passphrases copy() const { return {auth.copy(), priv.copy()}; }
};

// Passphrases for the run of the program: in memory, and in the desktop
// keyring for agents that remember them (one entry per agent and user, both
// passphrases in it). A keyring that fails costs only the remembering: the
// passphrases stay in memory and the message says why.
class PassphraseVault
{
public:
    explicit PassphraseVault(std::unique_ptr<Keyring> desktop);

    // The keyring entry's name: the agent text and the user name.
    static QString entryName(const QString &agent, const QString &user);

    // From memory; else, when remembered, from the desktop keyring (then kept
    // in memory too). Empty when there are none; *failure says why the
    // keyring could not be read.
    Passphrases find(const QString &agent, const QString &user, bool remembered, StoreError *failure);
    // Kept in memory; with remember also written to the keyring, without it
    // removed from there when they were remembered before. The failure of a
    // keyring that failed.
    StoreError keep(const QString &agent, const QString &user, const Passphrases &passphrases, bool remember,
                    bool remembered);

private:
    std::unique_ptr<Keyring> m_desktop;
    MemoryKeyring m_memory;
};
