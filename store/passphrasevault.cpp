// SPDX-License-Identifier: MIT
#include "store/passphrasevault.h"

#include "common/messages.h"

#include <string>

namespace {

// Both passphrases in one entry, a zero byte between (no typed text holds one).
Secret join(const Passphrases &passphrases)
{
    std::string bytes = passphrases.auth.bytes();
    bytes.push_back('\0');
    bytes += passphrases.priv.bytes();
    return Secret(std::move(bytes));
}

Passphrases split(const Secret &entry)
{
    const std::string &bytes = entry.bytes();
    const size_t zero = bytes.find('\0');
    if (zero == std::string::npos)
        return {entry.copy(), Secret()};
    return {Secret(bytes.substr(0, zero)), Secret(bytes.substr(zero + 1))};
}

StoreError keyringFailure(const Keyring::Result &result)
{
    return StoreError::message(
        QString::fromLatin1(msg::KeyringFailed).arg(result.error.isEmpty() ? QStringLiteral("no answer") : result.error));
}

} // namespace

PassphraseVault::PassphraseVault(std::unique_ptr<Keyring> desktop) : m_desktop(std::move(desktop)) {}

QString PassphraseVault::entryName(const QString &agent, const QString &user)
{
    return user + QLatin1Char('@') + agent;
}

Passphrases PassphraseVault::find(const QString &agent, const QString &user, bool remembered, StoreError *failure)
{
    const QString name = entryName(agent, user);
    Secret entry;
    if (m_memory.read(name, entry).outcome == Keyring::Outcome::Done)
        return split(entry);
    if (!remembered || !m_desktop)
        return {};
    const Keyring::Result result = m_desktop->read(name, entry);
    if (result.outcome == Keyring::Outcome::Failed) {
        if (failure)
            *failure = keyringFailure(result);
        return {};
    }
    if (result.outcome == Keyring::Outcome::NotFound)
        return {};
    m_memory.write(name, entry);
    return split(entry);
}

StoreError PassphraseVault::keep(const QString &agent, const QString &user, const Passphrases &passphrases,
                                 bool remember, bool remembered)
{
    const QString name = entryName(agent, user);
    const Secret entry = join(passphrases);
    m_memory.write(name, entry);
    // Never remembered: a desktop without a keyring has nothing to say.
    if (!remember && !remembered)
        return {};
    if (!m_desktop)
        return remember ? keyringFailure({Keyring::Outcome::Failed, {}}) : StoreError();
    const Keyring::Result result = remember ? m_desktop->write(name, entry) : m_desktop->remove(name);
    if (result.outcome == Keyring::Outcome::Failed)
        return keyringFailure(result);
    return {};
}
