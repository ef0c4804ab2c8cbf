// SPDX-License-Identifier: MIT
#pragma once

// Looks for secrets in the process's own memory: every mapping it may read
// and write (heap, stacks, the data of every library), freed heap blocks
// included, read with process_vm_readv so that no sanitizer, unmapped page
// or undumpable state (which makes /proc/self/mem root's) interferes. The
// secrets are held masked, each byte XORed with Mask, so the scan never
// finds its own needles: make them from read-only data (a string literal)
// or from masked bytes, never from a plain copy on the heap.

#include <QFile>
#include <QStringList>

#include <sys/uio.h>

#include <algorithm>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

class MemoryScan
{
public:
    static constexpr char Mask = char(0xA5);

    // As the bytes are (UTF-8), and as a QString holds them (UTF-16).
    void addText(const QString &label, const char *latin1)
    {
        std::string utf8, utf16;
        for (const char *c = latin1; *c; ++c) {
            utf8 += char(*c ^ Mask);
            utf16 += {char(*c ^ Mask), Mask};
        }
        m_needles.emplace_back(label, utf8);
        m_needles.emplace_back(label + QStringLiteral(" (UTF-16)"), utf16);
    }
    void addMasked(const QString &label, std::string masked) { m_needles.emplace_back(label, std::move(masked)); }

    // Each secret found, with the mapping it was found in.
    QStringList find() const
    {
        QStringList found;
        constexpr size_t Chunk = 1 << 20, Overlap = 256; // no needle is longer
        static std::vector<char> buffer(Chunk + Overlap); // allocated once, and skipped
        const auto own = quintptr(buffer.data());
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly))
            return {QStringLiteral("/proc/self/maps unreadable")};
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            const QList<QByteArray> range = fields[0].split('-');
            const quintptr start = range[0].toULongLong(nullptr, 16);
            const quintptr end = range.value(1).toULongLong(nullptr, 16);
            // A sanitizer's shadow and reserve are terabytes of nothing.
            if (fields.size() < 2 || !fields[1].startsWith("rw") || end - start > (quintptr(1) << 32)
                || line.contains("[vvar]") || line.contains("[vsyscall]"))
                continue;
            for (quintptr at = start; at < end; at += Chunk) {
                if (own + buffer.size() > at && own < at + Chunk + Overlap)
                    continue;
                iovec local{buffer.data(), std::min<size_t>(buffer.size(), end - at)};
                iovec remote{reinterpret_cast<void *>(at), local.iov_len};
                const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
                for (const auto &[label, masked] : m_needles) {
                    if (got > 0 && contains(buffer.data(), size_t(got), masked) && found.filter(label + " in").isEmpty())
                        found << label + QStringLiteral(" in ") + QString::fromUtf8(line.simplified());
                }
            }
        }
        return found;
    }

private:
    static bool contains(const char *data, size_t size, const std::string &masked)
    {
        if (masked.empty() || size < masked.size())
            return false;
        const char first = char(masked[0] ^ Mask);
        const char *last = data + size - masked.size();
        for (const char *p = data; (p = static_cast<const char *>(std::memchr(p, first, size_t(last - p) + 1))); ++p) {
            size_t i = 1;
            while (i < masked.size() && char(p[i] ^ Mask) == masked[i])
                ++i;
            if (i == masked.size())
                return true;
            if (p == last)
                break;
        }
        return false;
    }

    std::vector<std::pair<QString, std::string>> m_needles;
};
