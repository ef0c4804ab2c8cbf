// SPDX-License-Identifier: MIT
#pragma once

#include "common/secret.h"

#include <QString>

#include <map>

// Where passphrases are kept: the desktop keyring (Secret Service, KWallet)
// through QtKeychain, or memory alone. Entries are named by a key; each
// holds one secret. Every call waits for its answer.
class Keyring
{
public:
    enum class Outcome { Done, NotFound, Failed };
    struct Result
    {
        Outcome outcome = Outcome::Done;
        QString error; // why it failed, as the keyring says it
    };

    virtual ~Keyring() = default;
    virtual Result read(const QString &key, Secret &secret) = 0;
    virtual Result write(const QString &key, const Secret &secret) = 0;
    virtual Result remove(const QString &key) = 0;
};

// The desktop keyring, service "Norvane". Never falls back to a file.
class DesktopKeyring final : public Keyring
{
public:
    static constexpr const char *Service = "Norvane";
    Result read(const QString &key, Secret &secret) override;
    Result write(const QString &key, const Secret &secret) override;
    Result remove(const QString &key) override;
};

// Memory only, until the program ends.
class MemoryKeyring final : public Keyring
{
public:
    Result read(const QString &key, Secret &secret) override;
    Result write(const QString &key, const Secret &secret) override;
    Result remove(const QString &key) override;

private:
    std::map<QString, Secret> m_entries;
};
