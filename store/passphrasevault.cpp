// SPDX-License-Identifier: MIT
#include "store/passphrasevault.h"

#include "common/messages.h"

#include <string>
#include <utility>

namespace {

// Both passphrases in one entry, a zero byte between (no typed text holds
// one). Made in a buffer of its final size: a string that grows leaves its
// earlier buffers behind unwiped.
Secret join(const Passphrases &passphrases)
{
    const std::string &auth = passphrases.auth.bytes();
    const std::string &priv = passphrases.priv.bytes();
    std::string bytes(auth.size() + 1 + priv.size(), '\0');
    auth.copy(bytes.data(), auth.size());
    priv.copy(bytes.data() + auth.size() + 1, priv.size());
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

} // namespace

PassphraseVault::PassphraseVault(std::unique_ptr<Keyring> desktop, std::chrono::milliseconds timeLimit)
    : m_desktop(std::move(desktop)), m_timeLimit(timeLimit)
{
    if (!m_desktop)
        m_problem = QString::fromLatin1(msg::KeyringNoService);
}

PassphraseVault::~PassphraseVault() = default;

QString PassphraseVault::entryName(const QString &agent, const QString &user)
{
    return user + QLatin1Char('@') + agent;
}

std::optional<Passphrases> PassphraseVault::held(const QString &agent, const QString &user) const
{
    const auto found = m_held.find(entryName(agent, user));
    if (found == m_held.end())
        return std::nullopt;
    return Passphrases{found->second.auth.unseal(), found->second.priv.unseal()};
}

StoreError PassphraseVault::failureOf(const Keyring::Result &result)
{
    if (result.outcome != Keyring::Outcome::Failed)
        return {};
    QString text;
    switch (result.failure) {
    case Keyring::Failure::NoService:
        text = QString::fromLatin1(msg::KeyringNoService);
        break;
    case Keyring::Failure::Locked:
        text = QString::fromLatin1(msg::KeyringLocked);
        break;
    case Keyring::Failure::TimedOut:
        text = QString::fromLatin1(msg::KeyringTimedOut).arg((m_timeLimit.count() + 999) / 1000);
        break;
    case Keyring::Failure::None:
    case Keyring::Failure::Other:
        text = QString::fromLatin1(msg::KeyringFailed)
                   .arg(result.error.isEmpty() ? QStringLiteral("no answer") : result.error);
        break;
    }
    // Asked again, a keyring that failed would most likely fail again, each
    // time after the limit or with another prompt: the session goes on without.
    if (m_problem.isEmpty())
        m_problem = text;
    return StoreError::message(text);
}

std::unique_ptr<PassphraseVault::Pending>
PassphraseVault::start(const std::function<std::unique_ptr<Keyring::Call>(Keyring::Answer)> &begin,
                       Keyring::Answer answer)
{
    auto pending = std::make_unique<Pending>();
    Pending *call = pending.get();
    call->limit.setSingleShot(true);
    call->limit.setTimerType(Qt::PreciseTimer); // a coarse one may end the wait before the limit
    // Either may end the call (the answer's receiver drops the handle): each
    // touches nothing of it after the answer.
    QObject::connect(&call->limit, &QTimer::timeout, [call, answer] {
        call->call.reset(); // the keyring's job finishes on its own
        answer({Keyring::Outcome::Failed, Keyring::Failure::TimedOut, {}}, Secret());
    });
    call->call = begin([call, answer](const Keyring::Result &result, Secret secret) {
        call->limit.stop();
        answer(result, std::move(secret));
    });
    call->limit.start(m_timeLimit);
    return pending;
}

std::unique_ptr<PassphraseVault::Pending> PassphraseVault::fetch(const QString &agent, const QString &user,
                                                                 std::function<void(Fetched)> done)
{
    const QString name = entryName(agent, user);
    return start([this, &name](Keyring::Answer answer) { return m_desktop->read(name, std::move(answer)); },
                 [this, name, done = std::move(done)](const Keyring::Result &result, Secret entry) {
                     Fetched fetched;
                     fetched.failure = failureOf(result);
                     if (result.outcome == Keyring::Outcome::Done) {
                         Passphrases found = split(entry);
                         m_held[name] = Held{SealedSecret(found.auth), SealedSecret(found.priv)};
                         fetched.passphrases = std::move(found);
                     } else if (result.outcome == Keyring::Outcome::NotFound) {
                         m_held[name] = Held(); // known to be none: not asked for again
                     }
                     done(std::move(fetched));
                 });
}

void PassphraseVault::inBackground(const std::function<std::unique_ptr<Keyring::Call>(Keyring::Answer)> &begin,
                                   Failed failed)
{
    m_background.emplace_back();
    const auto at = std::prev(m_background.end());
    *at = start(begin, [this, at, failed = std::move(failed)](const Keyring::Result &result, Secret) {
        const StoreError failure = failureOf(result);
        const Failed tell = failed;
        m_background.erase(at); // the call, and this answer's own copy of `failed`, go
        if (failure && tell)
            tell(failure);
    });
}

void PassphraseVault::keep(const QString &agent, const QString &user, const Passphrases &passphrases, bool remember,
                           bool wasRemembered, Failed failed)
{
    const QString name = entryName(agent, user);
    m_held[name] = Held{SealedSecret(passphrases.auth), SealedSecret(passphrases.priv)};
    if (!m_problem.isEmpty() || (!remember && !wasRemembered))
        return;
    if (remember && !passphrases.empty()) {
        const Secret entry = join(passphrases);
        inBackground([this, &name, &entry](Keyring::Answer answer) { return m_desktop->write(name, entry, std::move(answer)); },
                     std::move(failed));
    } else {
        inBackground([this, &name](Keyring::Answer answer) { return m_desktop->remove(name, std::move(answer)); },
                     std::move(failed));
    }
}

void PassphraseVault::forget(const QString &agent, const QString &user, bool remembered, Failed failed)
{
    const QString name = entryName(agent, user);
    m_held[name] = Held(); // none, and none to read from the keyring
    if (!remembered || !m_problem.isEmpty())
        return;
    inBackground([this, &name](Keyring::Answer answer) { return m_desktop->remove(name, std::move(answer)); },
                 std::move(failed));
}
