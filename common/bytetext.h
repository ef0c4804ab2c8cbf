// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Bytes shown as text and turned back into the very same bytes: the history
// entries read from the settings file, written back at exit and sent in a run
// as agent, community and OIDs. An entry need not be UTF-8 (a registry export
// from Windows is in its ANSI code page), and it must not change on the way.
//
// Valid UTF-8 reads as the characters it encodes. Every other byte becomes
// one private-use character, U+F700 plus the byte (U+F780..U+F7FF), which
// turns back into that byte; a valid sequence that encodes one of those 128
// characters is taken byte by byte as well, so that bytes -> text -> bytes
// gives the bytes back whatever they are. Any other text, such as what the
// user types, becomes UTF-8.
namespace bytetext {

inline constexpr char32_t EscapeBase = 0xF700;

inline bool isEscape(char32_t c)
{
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}

// The length of the well-formed UTF-8 sequence at bytes[i] (no overlong
// forms, no surrogates, nothing past U+10FFFF) and its code point; 0 if none.
inline int decodeOne(QByteArrayView bytes, qsizetype i, char32_t *codePoint)
{
    const auto lead = uchar(bytes[i]);
    int length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const auto next = uchar(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    *codePoint = c;
    return length;
}

} // namespace bytetext

inline QString textFromBytes(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t c = 0;
        const int length = bytetext::decodeOne(bytes, i, &c);
        if (length == 0 || bytetext::isEscape(c)) {
            text.append(QChar(char16_t(bytetext::EscapeBase + uchar(bytes[i]))));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(c)) {
            text.append(QChar(QChar::highSurrogate(c)));
            text.append(QChar(QChar::lowSurrogate(c)));
        } else {
            text.append(QChar(char16_t(c)));
        }
        i += length;
    }
    return text;
}

inline QByteArray bytesFromText(QStringView text)
{
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!bytetext::isEscape(c))
            continue;
        bytes.append(text.sliced(runStart, i - runStart).toUtf8());
        bytes.append(char(c - bytetext::EscapeBase));
        runStart = i + 1;
    }
    if (runStart == 0)
        return text.toUtf8();
    bytes.append(text.sliced(runStart).toUtf8());
    return bytes;
}
