// SPDX-License-Identifier: MIT
#pragma once

// Looks for secrets in the process's own memory: every mapping it may read
// and write (heap, stacks, the data of every library), freed heap blocks
// included, read with process_vm_readv so that no sanitizer, unmapped page
// or undumpable state (which makes /proc/self/mem root's) interferes. The
// secrets are held masked, each byte XORed with Mask, and compared so: the
// scan never finds its own needles. Make them from read-only data (a string
// literal) or masked bytes, never from a plain copy on the heap, which the
// scan would find.

#include <QFile>
#include <QStringList>

#include <sys/mman.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

class MemoryScan
{
public:
    static constexpr unsigned char Mask = 0xA5;

    // The bytes as they are (UTF-8), and as a QString holds them (UTF-16).
    void addText(const char *label, const char *latin1)
    {
        std::string utf8;
        std::string utf16;
        for (const char *c = latin1; *c; ++c) {
            utf8 += char(*c ^ Mask);
            utf16 += char(*c ^ Mask);
            utf16 += char(0 ^ Mask);
        }
        addMasked(label, std::move(utf8));
        addMasked(QByteArray(label) + " (UTF-16)", std::move(utf16));
    }
    void addMasked(const QByteArray &label, std::string masked) { m_needles.push_back({label, std::move(masked)}); }

    // Each secret found, with the mapping it was found in.
    QStringList find() const
    {
        QStringList found;
        size_t longest = 1;
        for (const Needle &n : m_needles)
            longest = std::max(longest, n.masked.size());
        const size_t chunk = 1 << 20;
        void *buffer = ::mmap(nullptr, chunk + longest, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (buffer == MAP_FAILED)
            return {QStringLiteral("no buffer to scan with")};
        const auto own = reinterpret_cast<quintptr>(buffer);
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly))
            return {QStringLiteral("/proc/self/maps unreadable")};
        const QList<QByteArray> lines = maps.readAll().split('\n');
        for (const QByteArray &line : lines) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 2 || !fields[1].startsWith("rw"))
                continue;
            const QList<QByteArray> range = fields[0].split('-');
            const quintptr start = range.value(0).toULongLong(nullptr, 16);
            const quintptr end = range.value(1).toULongLong(nullptr, 16);
            const QByteArray name = fields.size() > 5 ? fields[5] : QByteArray();
            // A sanitizer's shadow and reserve are terabytes of nothing.
            if (end <= start || end - start > (quintptr(1) << 32) || name == "[vvar]" || name == "[vsyscall]")
                continue;
            for (quintptr at = start; at < end; at += chunk) {
                if (at <= own && own < at + chunk + longest)
                    continue;
                const size_t size = std::min<size_t>(chunk + longest - 1, end - at);
                iovec local{buffer, size};
                iovec remote{reinterpret_cast<void *>(at), size};
                const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
                if (got <= 0)
                    continue;
                for (const Needle &n : m_needles) {
                    const QString label = QString::fromUtf8(n.label) + QStringLiteral(" in ");
                    if (contains(static_cast<const unsigned char *>(buffer), size_t(got), n.masked)
                        && !found.filter(label).size())
                        found << label + QString::fromUtf8(line.simplified());
                }
            }
        }
        ::munmap(buffer, chunk + longest);
        return found;
    }

private:
    struct Needle
    {
        QByteArray label;
        std::string masked;
    };

    static bool contains(const unsigned char *data, size_t size, const std::string &masked)
    {
        if (masked.empty() || size < masked.size())
            return false;
        const unsigned char first = (unsigned char)masked[0] ^ Mask;
        for (const unsigned char *p = data; (p = static_cast<const unsigned char *>(
                                                  std::memchr(p, first, size - masked.size() + 1 - size_t(p - data))));
             ++p) {
            size_t i = 1;
            while (i < masked.size() && (p[i] ^ Mask) == (unsigned char)masked[i])
                ++i;
            if (i == masked.size())
                return true;
        }
        return false;
    }

    std::vector<Needle> m_needles;
};
