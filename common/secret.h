// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <cstring>
#include <string>
#include <utility>

// A passphrase: its bytes overwritten with zeros when it goes or changes, so
// that no freed heap block keeps it. Copies are deliberate (copy()); a
// QString it was made from is the caller's to clear.
class Secret
{
public:
    Secret() = default;
    explicit Secret(std::string bytes) : m_bytes(std::move(bytes)) {}
    static Secret fromText(const QString &text)
    {
        QByteArray utf8 = text.toUtf8();
        Secret secret(std::string(utf8.constData(), size_t(utf8.size())));
        utf8.fill('\0');
        return secret;
    }
    ~Secret() { wipe(); }
    Secret(Secret &&other) noexcept : m_bytes(std::move(other.m_bytes)) { other.wipe(); }
    Secret &operator=(Secret &&other) noexcept
    {
        if (this != &other) {
            wipe();
            m_bytes = std::move(other.m_bytes);
            other.wipe();
        }
        return *this;
    }
    Secret(const Secret &) = delete;
    Secret &operator=(const Secret &) = delete;

    Secret copy() const { return Secret(m_bytes); }
    const std::string &bytes() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    // As the dialog shows it; the caller clears the text when done.
    QString toText() const { return QString::fromUtf8(m_bytes.data(), qsizetype(m_bytes.size())); }

    void wipe()
    {
        // The whole buffer, short-string storage included; volatile so the
        // compiler keeps a store to memory about to be freed.
        volatile char *p = m_bytes.data();
        for (size_t i = 0; i < m_bytes.capacity(); ++i)
            p[i] = 0;
        m_bytes.clear();
    }

private:
    std::string m_bytes;
};

// Clears a text that held a passphrase: overwritten where this is its only
// copy (another copy is its holder's to clear), then emptied.
inline void wipeText(QString &text)
{
    if (text.isDetached())
        text.fill(QChar(u'\0'));
    text.clear();
}
