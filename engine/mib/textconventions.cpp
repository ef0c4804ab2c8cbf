// SPDX-License-Identifier: MIT
#include "engine/mib/textconventions.h"

#include "common/bytetext.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string ipv4(std::string_view bytes)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2]),
                  uint8_t(bytes[3]));
    return text;
}

std::string ipv6(std::string_view bytes)
{
    char text[INET6_ADDRSTRLEN];
    return inet_ntop(AF_INET6, bytes.data(), text, sizeof text) ? std::string(text) : std::string();
}

uint32_t zone(std::string_view bytes)
{
    return uint32_t(uint8_t(bytes[0])) << 24 | uint32_t(uint8_t(bytes[1])) << 16 | uint32_t(uint8_t(bytes[2])) << 8
        | uint8_t(bytes[3]);
}

struct HintField
{
    bool repeat = false;
    size_t length = 0;
    char format = 0;
    char separator = 0;
    char terminator = 0;
};

std::optional<std::vector<HintField>> parseHint(std::string_view hint)
{
    std::vector<HintField> fields;
    size_t i = 0;
    while (i < hint.size()) {
        HintField field;
        if (hint[i] == '*') {
            field.repeat = true;
            ++i;
        }
        const size_t digits = i;
        while (i < hint.size() && hint[i] >= '0' && hint[i] <= '9' && field.length < 65536)
            field.length = field.length * 10 + size_t(hint[i++] - '0');
        if (i == digits || i >= hint.size() || field.length == 0)
            return std::nullopt;
        field.format = hint[i++];
        if (std::string_view("dxoat").find(field.format) == std::string_view::npos)
            return std::nullopt;
        const auto isSeparator = [&](size_t at) {
            return at < hint.size() && hint[at] != '*' && (hint[at] < '0' || hint[at] > '9');
        };
        if (isSeparator(i))
            field.separator = hint[i++];
        if (field.repeat && isSeparator(i))
            field.terminator = hint[i++];
        fields.push_back(field);
    }
    if (fields.empty())
        return std::nullopt;
    return fields;
}

} // namespace

std::optional<std::string> displayText(std::string_view bytes, bool utf8)
{
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.remove_suffix(1);
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = uint8_t(bytes[i]);
        if (c == '\r' || c == '\n') {
            text += LineBreakMark;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else if (c == '\t' || (c >= 0x20 && c < 0x7F)) {
            text.push_back(char(c));
        } else if (c >= 0x80 && utf8) {
            char32_t codePoint = 0;
            const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
            const int length = bytetext::decodeOne(view, qsizetype(i), &codePoint);
            if (length == 0)
                return std::nullopt;
            text.append(bytes.substr(i, size_t(length)));
            i += size_t(length) - 1;
        } else {
            return std::nullopt;
        }
    }
    return text;
}

std::optional<std::string> hintedOctets(std::string_view bytes, std::string_view hint)
{
    const auto fields = parseHint(hint);
    if (!fields)
        return std::nullopt;
    std::string text;
    size_t i = 0;
    for (size_t k = 0; i < bytes.size(); ++k) {
        const HintField &field = (*fields)[std::min(k, fields->size() - 1)];
        size_t repeats = 1;
        if (field.repeat)
            repeats = uint8_t(bytes[i++]);
        for (size_t r = 0; r < repeats && i < bytes.size(); ++r) {
            const std::string_view chunk = bytes.substr(i, std::min(field.length, bytes.size() - i));
            i += chunk.size();
            if (field.format == 'a' || field.format == 't') {
                auto part = displayText(chunk, field.format == 't');
                if (!part)
                    return std::nullopt;
                text += *part;
            } else {
                if (chunk.size() > 8)
                    return std::nullopt;
                uint64_t value = 0;
                for (const char c : chunk)
                    value = value << 8 | uint8_t(c);
                char number[32];
                if (field.format == 'x')
                    std::snprintf(number, sizeof number, "%0*llx", int(chunk.size() * 2), (unsigned long long)value);
                else
                    std::snprintf(number, sizeof number, field.format == 'o' ? "%llo" : "%llu", (unsigned long long)value);
                text += number;
            }
            const bool lastRepeat = r + 1 == repeats;
            if (i < bytes.size() && field.separator && !(lastRepeat && field.terminator))
                text.push_back(field.separator);
        }
        if (field.terminator && i < bytes.size())
            text.push_back(field.terminator);
    }
    return text;
}

namespace {

// One field's item of a hinted text at text[at], its octets appended: a
// number in the field's length (in full: a short last chunk reads back
// padded), or up to that many octets of text, ending where the field's
// separator or terminator begins. False when nothing there fits.
bool readHintItem(std::string_view text, size_t &at, const HintField &field, std::string &bytes)
{
    const auto ends = [&](char c) { return (field.separator && c == field.separator) || (field.terminator && c == field.terminator); };
    if (field.format == 'a' || field.format == 't') {
        const size_t start = at;
        while (at < text.size() && at - start < field.length && !ends(text[at])) {
            if (field.format == 'a' && uint8_t(text[at]) >= 0x80)
                return false;
            ++at;
        }
        if (at == start)
            return false;
        bytes.append(text.substr(start, at - start));
        return field.format == 'a' || displayText(text.substr(start, at - start), true).has_value();
    }
    if (field.length > 8)
        return false;
    const unsigned base = field.format == 'x' ? 16 : field.format == 'o' ? 8 : 10;
    unsigned long long value = 0;
    const size_t start = at;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            break;
        if (digit >= base || value > (~0ull - digit) / base)
            return false;
        value = value * base + digit;
    }
    if (at == start || (field.length < 8 && value >> (8 * field.length)))
        return false;
    for (size_t octet = field.length; octet-- > 0;)
        bytes.push_back(char(uint8_t(value >> (8 * octet))));
    return true;
}

} // namespace

std::optional<std::string> octetsByHint(std::string_view text, std::string_view hint)
{
    const auto fields = parseHint(hint);
    if (!fields)
        return std::nullopt;
    std::string bytes;
    size_t at = 0;
    for (size_t k = 0; at < text.size(); ++k) {
        const HintField &field = (*fields)[std::min(k, fields->size() - 1)];
        if (!field.repeat) {
            if (!readHintItem(text, at, field, bytes))
                return std::nullopt;
            if (at < text.size() && field.separator) {
                if (text[at] != field.separator)
                    return std::nullopt;
                ++at;
            }
            continue;
        }
        // The items up to the terminator (or the end), their count in front.
        const size_t countAt = bytes.size();
        bytes.push_back('\0');
        size_t count = 0;
        for (;;) {
            if (!readHintItem(text, at, field, bytes) || ++count > 255)
                return std::nullopt;
            if (at == text.size())
                break;
            if (field.terminator && text[at] == field.terminator) {
                ++at;
                break;
            }
            if (!field.separator || text[at] != field.separator)
                return std::nullopt;
            ++at;
        }
        bytes[countAt] = char(count);
    }
    return bytes;
}

std::optional<std::string> dateAndTimeOctets(std::string_view text)
{
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, tenths = 0, zoneHours = 0, zoneMinutes = 0;
    char sign = 0;
    int used = 0;
    const std::string line(text);
    if (std::sscanf(line.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%n", &year, &month, &day, &hour, &minute, &second, &used) != 6)
        return std::nullopt;
    std::string_view rest = text.substr(size_t(used));
    if (rest.size() >= 2 && rest[0] == '.' && rest[1] >= '0' && rest[1] <= '9') {
        tenths = unsigned(rest[1] - '0');
        rest.remove_prefix(2);
    }
    if (!rest.empty()) {
        const std::string zone(rest);
        if (std::sscanf(zone.c_str(), " %c%2u:%2u%n", &sign, &zoneHours, &zoneMinutes, &used) != 3
            || size_t(used) != zone.size() || (sign != '+' && sign != '-'))
            return std::nullopt;
    }
    std::string bytes{char(year >> 8), char(year & 0xFF), char(month), char(day), char(hour), char(minute),
                      char(second), char(tenths)};
    if (sign)
        bytes += std::string{sign, char(zoneHours), char(zoneMinutes)};
    if (year > 65535 || !dateAndTimeText(bytes))
        return std::nullopt;
    return bytes;
}

std::optional<std::string> dateAndTimeText(std::string_view bytes)
{
    if (bytes.size() != 8 && bytes.size() != 11)
        return std::nullopt;
    const auto b = [&](size_t i) { return unsigned(uint8_t(bytes[i])); };
    const unsigned year = b(0) << 8 | b(1);
    if (b(2) < 1 || b(2) > 12 || b(3) < 1 || b(3) > 31 || b(4) > 23 || b(5) > 59 || b(6) > 60 || b(7) > 9)
        return std::nullopt;
    char text[48];
    int n = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", year, b(2), b(3), b(4), b(5), b(6));
    if (b(7) != 0)
        n += std::snprintf(text + n, sizeof text - size_t(n), ".%u", b(7));
    if (bytes.size() == 11) {
        if ((bytes[8] != '+' && bytes[8] != '-') || b(9) > 14 || b(10) > 59)
            return std::nullopt;
        std::snprintf(text + n, sizeof text - size_t(n), " %c%02u:%02u", bytes[8], b(9), b(10));
    }
    return std::string(text);
}

std::optional<std::string> inetAddressText(std::string_view bytes, int64_t type)
{
    if (type == 0) {
        switch (bytes.size()) {
        case 4:
            type = 1;
            break;
        case 16:
            type = 2;
            break;
        case 8:
            type = 3;
            break;
        case 20:
            type = 4;
            break;
        default:
            return std::nullopt;
        }
    }
    switch (type) {
    case 1:
        return bytes.size() == 4 ? std::optional(ipv4(bytes)) : std::nullopt;
    case 2:
        return bytes.size() == 16 ? std::optional(ipv6(bytes)) : std::nullopt;
    case 3:
        return bytes.size() == 8 ? std::optional(ipv4(bytes) + "%" + std::to_string(zone(bytes.substr(4))))
                                 : std::nullopt;
    case 4:
        return bytes.size() == 20 ? std::optional(ipv6(bytes) + "%" + std::to_string(zone(bytes.substr(16))))
                                  : std::nullopt;
    case 16:
        return displayText(bytes, false);
    default:
        return std::nullopt;
    }
}
