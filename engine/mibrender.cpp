// SPDX-License-Identifier: MIT
#include "engine/mibrender.h"

#include "common/bytetext.h"
#include "engine/rowrender.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

namespace {

bool inRanges(int64_t value, const std::vector<MibRange> &ranges)
{
    return ranges.empty()
        || std::any_of(ranges.begin(), ranges.end(), [&](const MibRange &r) { return value >= r.low && value <= r.high; });
}

// An INTEGER's DISPLAY-HINT: "d", "d-2" (two decimals), "x", "o", "b".
std::string hintedNumber(int64_t value, const std::string &hint)
{
    if (hint.empty())
        return std::to_string(value);
    const char format = hint[0];
    if (format == 'x' || format == 'o' || format == 'b') {
        if (hint.size() != 1)
            return std::to_string(value);
        const int base = format == 'x' ? 16 : format == 'o' ? 8 : 2;
        auto magnitude = uint64_t(value < 0 ? -value : value);
        std::string digits;
        do {
            digits.insert(digits.begin(), "0123456789abcdef"[magnitude % unsigned(base)]);
            magnitude /= unsigned(base);
        } while (magnitude);
        return (value < 0 ? "-" : "") + digits;
    }
    if (format != 'd')
        return std::to_string(value);
    int decimals = 0;
    if (hint.size() > 2 && hint[1] == '-') {
        for (size_t i = 2; i < hint.size(); ++i) {
            if (hint[i] < '0' || hint[i] > '9' || decimals > 18)
                return std::to_string(value);
            decimals = decimals * 10 + (hint[i] - '0');
        }
    } else if (hint.size() != 1) {
        return std::to_string(value);
    }
    std::string digits = std::to_string(value < 0 ? -uint64_t(value) : uint64_t(value));
    if (decimals > 0) {
        if (digits.size() <= size_t(decimals))
            digits.insert(0, size_t(decimals) + 1 - digits.size(), '0');
        digits.insert(digits.size() - size_t(decimals), 1, '.');
    }
    return (value < 0 ? "-" : "") + digits;
}

std::optional<std::string> numberText(int64_t value, const MibObject &object)
{
    if (!inRanges(value, object.ranges))
        return std::nullopt;
    std::string text;
    if (!object.enums.empty()) {
        auto label = enumText(value, object);
        if (!label)
            return std::nullopt;
        text = std::move(*label);
    } else {
        text = hintedNumber(value, object.hint);
    }
    if (!object.units.empty())
        text += " " + object.units;
    return text;
}

// The InetAddressType a textual convention of INET-ADDRESS-MIB stands for;
// 0 for the generic InetAddress, -1 for none of them.
int64_t addressTypeOf(const std::string &convention)
{
    static const std::pair<const char *, int64_t> types[] = {
        {"InetAddress", 0},     {"InetAddressIPv4", 1},  {"InetAddressIPv6", 2},
        {"InetAddressIPv4z", 3}, {"InetAddressIPv6z", 4}, {"InetAddressDNS", 16},
    };
    for (const auto &[name, type] : types) {
        if (convention == name)
            return type;
    }
    return -1;
}

// The InetAddressType the lookup finds in the binding's row.
std::optional<int64_t> rowAddressType(const SnmpVarBind &binding, const MibObject &object, const MibRowLookup &lookup)
{
    const std::vector<uint32_t> &name = binding.name.ids;
    if (!lookup || object.addressType.empty() || name.size() < object.oid.size())
        return std::nullopt;
    std::vector<uint32_t> oid = object.addressType;
    oid.insert(oid.end(), name.begin() + std::ptrdiff_t(object.oid.size()), name.end());
    return lookup(oid);
}

std::optional<std::string> octetsText(const SnmpVarBind &binding, const MibObject &object,
                                      const MibRowLookup &lookup, bool *byLength)
{
    const std::string &bytes = binding.value.bytes;
    if (object.syntax == MibSyntax::OctetString && !inRanges(int64_t(bytes.size()), object.ranges))
        return std::nullopt;
    if (object.textualConvention == "DateAndTime")
        return dateAndTimeText(bytes);
    if (const int64_t type = addressTypeOf(object.textualConvention); type > 0) {
        return inetAddressText(bytes, type);
    } else if (type == 0) {
        // unknown(0) has no address to read; a type beyond those known shows the bytes as they are.
        if (const std::optional<int64_t> rowType = rowAddressType(binding, object, lookup))
            return *rowType > 0 ? inetAddressText(bytes, *rowType) : std::nullopt;
        std::optional<std::string> guess = inetAddressText(bytes, 0);
        if (guess && byLength)
            *byLength = true;
        return guess;
    }
    if (!object.hint.empty())
        return hintedOctets(bytes, object.hint);
    return std::nullopt;
}

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

std::optional<std::string> enumText(int64_t value, const MibObject &object)
{
    for (const MibNamedNumber &e : object.enums) {
        if (e.value == value)
            return e.label + "(" + std::to_string(value) + ")";
    }
    return std::nullopt;
}

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

std::optional<std::string> objectName(std::span<const uint32_t> ids)
{
    if (ids.empty())
        return std::nullopt;
    const AsnObjectIdentifier id{std::vector<uint32_t>(ids.begin(), ids.end())};
    char *name = nullptr;
    if (!SnmpMgrOidToStr(&id, &name))
        return std::nullopt;
    const SnmpText owned(name);
    // Net-SNMP writes "iso.3.6..." for what only the roots name.
    if (std::string_view(owned.get()).find("::") == std::string_view::npos)
        return std::nullopt;
    return std::string(owned.get());
}

std::string bitsText(std::string_view bytes, const MibObject &object)
{
    std::string text = hexDump(std::string(bytes));
    if (!text.empty())
        text.pop_back();
    for (size_t bit = 0; bit < bytes.size() * 8; ++bit) {
        if (!(uint8_t(bytes[bit / 8]) & (0x80u >> (bit % 8))))
            continue;
        const auto named = std::find_if(object.enums.begin(), object.enums.end(),
                                        [&](const MibNamedNumber &e) { return e.value == int64_t(bit); });
        text += " " + (named != object.enums.end() ? named->label + "(" + std::to_string(bit) + ")" : std::to_string(bit));
    }
    return text;
}

std::optional<std::string> mibValueText(const SnmpVarBind &binding, const MibObject &object,
                                        const MibRowLookup &lookup, bool *byLength)
{
    const AsnAny &value = binding.value;
    const uint8_t tag = value.asnType;
    switch (object.syntax) {
    case MibSyntax::Integer:
        return tag == asn::Integer32 ? numberText(value.number, object) : std::nullopt;
    case MibSyntax::Counter32:
        return tag == asn::Counter32 ? numberText(value.unsigned32, object) : std::nullopt;
    case MibSyntax::Gauge32:
    case MibSyntax::Unsigned32:
        return tag == asn::Gauge32 || tag == asn::Unsigned32 ? numberText(value.unsigned32, object) : std::nullopt;
    case MibSyntax::Counter64:
        // Beyond the ranges' int64 the plain number and units still hold.
        if (tag != asn::Counter64)
            return std::nullopt;
        return std::to_string(value.counter64) + (object.units.empty() ? "" : " " + object.units);
    case MibSyntax::OctetString:
        return tag == asn::OctetString ? octetsText(binding, object, lookup, byLength) : std::nullopt;
    case MibSyntax::ObjectIdentifier:
        return tag == asn::ObjectIdentifier ? objectName(value.object.ids) : std::nullopt;
    case MibSyntax::Bits:
        // SNMPv2 sends BITS as an OCTET STRING.
        return tag == asn::OctetString || tag == asn::Bits ? std::optional(bitsText(value.bytes, object)) : std::nullopt;
    default:
        // TimeTicks stay as the list shows them; IpAddress and Opaque have nothing to add.
        return std::nullopt;
    }
}
