// SPDX-License-Identifier: MIT
#pragma once

// A keyring for tests: entries in memory, every call answered from the event
// loop as the desktop keyring answers, or failing as told, or never. Its
// state is shared, so a test looks at it after the keyring has gone.

#include "store/keyring.h"

#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>

class FakeKeyring final : public Keyring
{
public:
    enum class Mode { Answer, Fail, Silent };
    struct State
    {
        Mode mode = Mode::Answer;
        Failure failure = Failure::NoService; // with Mode::Fail
        std::map<QString, std::string> entries;
        QStringList calls; // "read KEY", "write KEY", "remove KEY"
    };

    explicit FakeKeyring(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    static QStringList names(const State &state)
    {
        QStringList all;
        for (const auto &entry : state.entries)
            all << entry.first;
        return all;
    }

    std::unique_ptr<Call> read(const QString &key, Answer answer) override
    {
        return call(QStringLiteral("read"), key, std::nullopt, std::move(answer));
    }
    std::unique_ptr<Call> write(const QString &key, const Secret &secret, Answer answer) override
    {
        return call(QStringLiteral("write"), key, secret.bytes(), std::move(answer));
    }
    std::unique_ptr<Call> remove(const QString &key, Answer answer) override
    {
        return call(QStringLiteral("remove"), key, std::nullopt, std::move(answer));
    }

private:
    struct Handle final : Call
    {
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        ~Handle() override { *alive = false; }
    };

    std::unique_ptr<Call> call(const QString &what, const QString &key, std::optional<std::string> written, Answer answer)
    {
        m_state->calls << what + QLatin1Char(' ') + key;
        auto handle = std::make_unique<Handle>();
        if (m_state->mode != Mode::Silent) {
            QTimer::singleShot(0, [state = m_state, alive = handle->alive, what, key, written, answer] {
                if (!*alive)
                    return;
                Result result;
                Secret secret;
                const auto found = state->entries.find(key);
                if (state->mode == Mode::Fail)
                    result = {Outcome::Failed, state->failure, QStringLiteral("refused")};
                else if (written)
                    state->entries[key] = *written;
                else if (what == QLatin1String("remove") && found != state->entries.end())
                    state->entries.erase(found);
                else if (found != state->entries.end())
                    secret = Secret(found->second);
                else if (what == QLatin1String("read"))
                    result.outcome = Outcome::NotFound;
                answer(result, std::move(secret));
            });
        }
        return handle;
    }

    std::shared_ptr<State> m_state;
};
