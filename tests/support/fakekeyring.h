// SPDX-License-Identifier: MIT
#pragma once

// A keyring for tests: entries in memory, every call answered from the event
// loop as the desktop keyring answers, or failing as told, or never answered.
// It records the calls, and shares its entries so a test can look at them
// after the keyring has gone with its owner.

#include "store/keyring.h"

#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>

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

    std::unique_ptr<Call> read(const QString &key, Answer answer) override
    {
        return call(QStringLiteral("read ") + key, [state = m_state, key](Result &result) {
            const auto found = state->entries.find(key);
            if (found == state->entries.end()) {
                result.outcome = Outcome::NotFound;
                return Secret();
            }
            return Secret(found->second);
        }, std::move(answer));
    }
    std::unique_ptr<Call> write(const QString &key, const Secret &secret, Answer answer) override
    {
        return call(QStringLiteral("write ") + key, [state = m_state, key, bytes = secret.bytes()](Result &) {
            state->entries[key] = bytes;
            return Secret();
        }, std::move(answer));
    }
    std::unique_ptr<Call> remove(const QString &key, Answer answer) override
    {
        return call(QStringLiteral("remove ") + key, [state = m_state, key](Result &) {
            state->entries.erase(key);
            return Secret();
        }, std::move(answer));
    }

private:
    struct Handle final : Call
    {
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        ~Handle() override { *alive = false; }
    };

    template <typename Work>
    std::unique_ptr<Call> call(const QString &what, Work work, Answer answer)
    {
        m_state->calls << what;
        auto handle = std::make_unique<Handle>();
        if (m_state->mode == Mode::Silent)
            return handle;
        QTimer::singleShot(0, [state = m_state, alive = handle->alive, work, answer] {
            if (!*alive)
                return;
            Result result;
            Secret secret;
            if (state->mode == Mode::Fail)
                result = {Outcome::Failed, state->failure, QStringLiteral("refused")};
            else
                secret = work(result);
            answer(result, std::move(secret));
        });
        return handle;
    }

    std::shared_ptr<State> m_state;
};
