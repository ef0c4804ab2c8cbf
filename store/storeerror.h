// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <utility>

// The one way the store reports a failure, from the file calls at its bottom
// to the settings and the result file that the window uses: operations return
// a StoreError, which tests true when something failed; nothing in the store
// throws. Down in the file calls it carries the reason; the operations the
// window calls add the finished message that the user is shown.
class [[nodiscard]] StoreError
{
public:
    // Reasons of the program's own, beside errno values.
    enum Reason : int { NotRegularFile = -1, LockedOut = -2, TooLarge = -3 };

    StoreError() = default;
    // An errno value or a Reason; 0 is no failure.
    explicit StoreError(int reason, QString message = {}) : m_reason(reason), m_message(std::move(message)) {}
    // A failure the user is told of with no errno behind it (a value of the
    // wrong kind, a file kept aside).
    static StoreError message(QString text) { return StoreError(0, std::move(text)); }

    explicit operator bool() const { return m_reason != 0 || !m_message.isEmpty(); }
    int reason() const { return m_reason; }
    const QString &message() const { return m_message; }
    // The same failure, now told to the user.
    StoreError told(QString text) const { return StoreError(m_reason, std::move(text)); }
    // The reason as words: the system's text for an errno value.
    QString reasonText() const;

private:
    int m_reason = 0;
    QString m_message;
};
