// SPDX-License-Identifier: MIT
#pragma once

// MIB modules of the shapes that break parsers and trees, written by the
// tests that need them rather than kept in the repository.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/stat.h>

namespace testmibs {

inline QByteArray head(const QByteArray &module) { return module + " DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n"; }

// deep0 ::= { enterprises 99996 }, deep1 ::= { deep0 1 } ... down to deep<depth - 1>.
inline QByteArray chain(const QByteArray &module, int depth)
{
    QByteArray text = head(module) + "deep0 OBJECT IDENTIFIER ::= { enterprises 99996 }\n";
    for (int i = 1; i < depth; ++i)
        text += "deep" + QByteArray::number(i) + " OBJECT IDENTIFIER ::= { deep" + QByteArray::number(i - 1) + " 1 }\n";
    return text + "END\n";
}

// wide1 .. wide<count> under wideRoot ::= { enterprises 99997 }.
inline QByteArray siblings(const QByteArray &module, int count)
{
    QByteArray text = head(module) + "wideRoot OBJECT IDENTIFIER ::= { enterprises 99997 }\n";
    for (int i = 1; i <= count; ++i)
        text += "wide" + QByteArray::number(i) + " OBJECT IDENTIFIER ::= { wideRoot " + QByteArray::number(i) + " }\n";
    return text + "END\n";
}

// groups x children nodes: grid<g>x<c> under grid<g> under enterprises.99993.
inline QByteArray grid(const QByteArray &module, int groups, int children)
{
    QByteArray text = head(module);
    for (int g = 1; g <= groups; ++g) {
        const QByteArray group = "grid" + QByteArray::number(g);
        text += group + " OBJECT IDENTIFIER ::= { enterprises 99993 " + QByteArray::number(g) + " }\n";
        for (int c = 1; c <= children; ++c)
            text += group + "x" + QByteArray::number(c) + " OBJECT IDENTIFIER ::= { " + group + " " + QByteArray::number(c) + " }\n";
    }
    return text + "END\n";
}

// orphan1 .. orphan<count> under "nowhere", which no module defines.
inline QByteArray orphans(const QByteArray &module, int count)
{
    QByteArray text = head(module);
    for (int i = 1; i <= count; ++i)
        text += "orphan" + QByteArray::number(i) + " OBJECT IDENTIFIER ::= { nowhere " + QByteArray::number(i) + " }\n";
    return text + "END\n";
}

// One node, <name> ::= { enterprises <arc> }.
inline QByteArray single(const QByteArray &module, const QByteArray &name, int arc)
{
    return head(module) + name + " OBJECT IDENTIFIER ::= { enterprises " + QByteArray::number(arc) + " }\nEND\n";
}

inline bool write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

} // namespace testmibs
