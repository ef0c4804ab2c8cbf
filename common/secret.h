// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

#include <cstring>
#include <string>
#include <utility>

#include <sys/prctl.h>

// From the first secret on, the process is not dumpable: no core file, and
// no process of the same user may trace it or read its memory. Copies of a
// secret lie in places no wipe reaches (a library's buffers, the stack), and
// MADV_DONTDUMP would keep only the pages named out of a core; leaving the
// process undumpable keeps them all out. Once set it stays: what was freed
// may still hold one.
inline void keepSecretsFromDumps()
{
    static const bool done = [] { return ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0; }();
    (void)done;
}

// A passphrase: its bytes overwritten with zeros when it goes or changes, so
// that no freed heap block keeps it. Copies are deliberate (copy()); a
// QString it was made from is the caller's to clear.
class Secret
{
public:
    Secret() = default;
    explicit Secret(std::string bytes) : m_bytes(std::move(bytes))
    {
        if (!m_bytes.empty())
            keepSecretsFromDumps();
    }
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

// A secret kept for later: its bytes masked with as many random bytes, so
// that between uses the heap holds no plain copy for a scan of memory or of
// a swap file to find. Whoever can read the process's memory can undo it;
// against them the process is undumpable (keepSecretsFromDumps).
class SealedSecret
{
public:
    SealedSecret() = default;
    explicit SealedSecret(const Secret &secret)
        : m_pad(secret.size(), '\0'), m_masked(secret.size(), '\0')
    {
        for (size_t i = 0; i < secret.size(); ++i) {
            m_pad[i] = char(QRandomGenerator::system()->bounded(256));
            m_masked[i] = char(secret.bytes()[i] ^ m_pad[i]);
        }
    }
    ~SealedSecret() { wipe(); }
    SealedSecret(SealedSecret &&other) noexcept : m_pad(std::move(other.m_pad)), m_masked(std::move(other.m_masked))
    {
        other.wipe();
    }
    SealedSecret &operator=(SealedSecret &&other) noexcept
    {
        if (this != &other) {
            wipe();
            m_pad = std::move(other.m_pad);
            m_masked = std::move(other.m_masked);
            other.wipe();
        }
        return *this;
    }
    SealedSecret(const SealedSecret &) = delete;
    SealedSecret &operator=(const SealedSecret &) = delete;

    bool empty() const { return m_masked.empty(); }
    // The plain secret, made in place in its own buffer.
    Secret unseal() const
    {
        std::string bytes(m_masked.size(), '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = char(m_masked[i] ^ m_pad[i]);
        return Secret(std::move(bytes));
    }

private:
    void wipe()
    {
        for (std::string *bytes : {&m_pad, &m_masked}) {
            volatile char *p = bytes->data();
            for (size_t i = 0; i < bytes->capacity(); ++i)
                p[i] = 0;
            bytes->clear();
        }
    }

    std::string m_pad;
    std::string m_masked;
};

// Clears a text that held a passphrase: overwritten where this is its only
// copy (another copy is its holder's to clear), then emptied.
inline void wipeText(QString &text)
{
    if (text.isDetached())
        text.fill(QChar(u'\0'));
    text.clear();
}
