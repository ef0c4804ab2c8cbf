// SPDX-License-Identifier: MIT
#include "engine/set/setvalue.h"

#include "common/apperror.h"
#include "common/messages.h"
#include "engine/mib/oidtext.h"
#include "engine/mib/textconventions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "0..255 | 300", as the SMI writes ranges.
std::string rangesText(const std::vector<MibRange> &ranges)
{
    std::string text;
    for (const MibRange &r : ranges) {
        if (!text.empty())
            text += " | ";
        text += std::to_string(r.low);
        if (r.high != r.low)
            text += ".." + std::to_string(r.high);
    }
    return text;
}

bool inRanges(int64_t value, const std::vector<MibRange> &ranges)
{
    return ranges.empty()
        || std::any_of(ranges.begin(), ranges.end(), [&](const MibRange &r) { return value >= r.low && value <= r.high; });
}

// "up(1), down(2), ..."; a long list (IANAifType's hundreds) is cut short.
std::string labelsText(const std::vector<MibNamedNumber> &enums)
{
    constexpr size_t Shown = 8;
    std::string text;
    for (size_t i = 0; i < enums.size() && i < Shown; ++i)
        text += (i ? ", " : "") + enums[i].label + "(" + std::to_string(enums[i].value) + ")";
    if (enums.size() > Shown)
        text += ", ...";
    return text;
}

// A label, "label(n)", or a number; nothing when the text is none of them.
std::optional<int64_t> labelled(std::string_view text, const std::vector<MibNamedNumber> &enums)
{
    const size_t open = text.find('(');
    const std::string_view label = open == std::string_view::npos ? text : text.substr(0, open);
    const auto named = std::find_if(enums.begin(), enums.end(), [&](const MibNamedNumber &e) { return e.label == label; });
    if (named == enums.end())
        return std::nullopt;
    if (open != std::string_view::npos && text != named->label + "(" + std::to_string(named->value) + ")")
        return std::nullopt;
    return named->value;
}

template<typename Number>
bool readNumber(std::string_view text, Number &value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// An INTEGER by the MIB's "d-N" hint: "12.34" is 1234 for d-2. False when
// the text has no point in it (a plain number stays as it is).
bool readDecimals(std::string_view text, const std::string &hint, int64_t &value, std::string &problem)
{
    const size_t point = text.find('.');
    int decimals = 0;
    if (point == std::string_view::npos || hint.size() < 3 || hint.compare(0, 2, "d-") != 0
        || !readNumber(std::string_view(hint).substr(2), decimals) || decimals < 1 || decimals > 9)
        return false;
    const std::string_view fraction = text.substr(point + 1);
    if (fraction.size() > size_t(decimals)) {
        problem = formatMessage(msg::SetDecimals, hint.c_str(), decimals);
        return true;
    }
    std::string digits(text.substr(0, point));
    digits.append(fraction);
    digits.append(size_t(decimals) - fraction.size(), '0');
    if (!readNumber(std::string_view(digits), value))
        problem = formatMessage(msg::SetNotNumber, std::string(text).c_str());
    return true;
}

void checkNumber(const SetBinding &b, const MibObject *mib, std::string_view text, SetCheck &check)
{
    AsnAny value;
    if (b.type == SetType::Counter64) {
        uint64_t number = 0;
        if (!readNumber(text, number)) {
            check.problem = formatMessage(msg::SetNotNumber, std::string(text).c_str());
            return;
        }
        value.asnType = asn::Counter64;
        value.counter64 = number;
        check.value = value;
        return;
    }
    int64_t number = 0;
    std::optional<int64_t> label;
    if (mib && b.type == SetType::Integer && !mib->enums.empty()) {
        label = labelled(text, mib->enums);
        if (!label && !readNumber(text, number)) {
            check.problem = formatMessage(msg::SetNoSuchLabel, std::string(text).c_str(), labelsText(mib->enums).c_str());
            return;
        }
    }
    if (label) {
        number = *label;
    } else if (!(mib && readDecimals(text, mib->hint, number, check.problem)) && !readNumber(text, number)) {
        check.problem = formatMessage(msg::SetNotNumber, std::string(text).c_str());
    }
    if (!check.problem.empty())
        return;
    const bool isSigned = b.type == SetType::Integer;
    const int64_t low = isSigned ? std::numeric_limits<int32_t>::min() : 0;
    const int64_t high = isSigned ? std::numeric_limits<int32_t>::max() : int64_t(std::numeric_limits<uint32_t>::max());
    if (number < low || number > high) {
        check.problem = formatMessage(msg::SetTypeRange, setTypeName(b.type), std::to_string(low).c_str(),
                                      std::to_string(high).c_str());
        return;
    }
    if (mib && !mib->enums.empty() && isSigned
        && std::none_of(mib->enums.begin(), mib->enums.end(), [&](const MibNamedNumber &e) { return e.value == number; })) {
        check.problem = formatMessage(msg::SetNotListed, std::to_string(number).c_str(), labelsText(mib->enums).c_str());
        return;
    }
    if (mib && !inRanges(number, mib->ranges)) {
        check.problem = formatMessage(msg::SetOutOfRange, std::to_string(number).c_str(), rangesText(mib->ranges).c_str());
        return;
    }
    if (isSigned) {
        value.asnType = asn::Integer32;
        value.number = int32_t(number);
    } else {
        static constexpr uint8_t tags[] = {asn::Gauge32, asn::Gauge32, asn::TimeTicks, asn::Counter32};
        value.asnType = tags[int(b.type) - int(SetType::Unsigned32)];
        value.unsigned32 = uint32_t(number);
    }
    check.value = value;
}

std::optional<std::string> hexOctets(std::string_view text, std::string &problem)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    std::string bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == '.' || c == '\t') {
            if (high >= 0) {
                problem = msg::SetHexPairs;
                return std::nullopt;
            }
            continue;
        }
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) {
            problem = formatMessage(msg::SetHexDigit, std::string(1, c).c_str());
            return std::nullopt;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(char(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) {
        problem = msg::SetHexPairs;
        return std::nullopt;
    }
    return bytes;
}

// What a hinted value looks like, for the message: sample octets by the hint.
std::string hintExample(const MibObject &object)
{
    size_t length = 6;
    if (object.ranges.size() == 1 && object.ranges.front().low == object.ranges.front().high)
        length = size_t(std::clamp<int64_t>(object.ranges.front().low, 1, 16));
    std::string sample;
    for (size_t i = 0; i < length; ++i)
        sample.push_back(char(i * 0x11 + (i ? 0x09 : 0)));
    return hintedOctets(sample, object.hint).value_or(object.hint);
}

// An 'a' hint of text alone ("255a"): its octets are ASCII.
bool asciiHint(const std::string &hint)
{
    return !hint.empty() && hint.back() == 'a' && std::all_of(hint.begin(), hint.end() - 1, [](char c) { return c >= '0' && c <= '9'; });
}

void checkOctets(const SetBinding &b, const MibObject *mib, const std::string &text, SetCheck &check)
{
    std::optional<std::string> bytes;
    switch (b.format) {
    case OctetFormat::Text:
        if (mib && asciiHint(mib->hint) && std::any_of(text.begin(), text.end(), [](char c) { return uint8_t(c) >= 0x80; })) {
            check.problem = formatMessage(msg::SetAsciiHint, mib->hint.c_str());
            return;
        }
        bytes = text;
        break;
    case OctetFormat::Hex:
        bytes = hexOctets(text, check.problem);
        break;
    case OctetFormat::Hint:
        if (!mib) {
            bytes = text;
        } else if (mib->textualConvention == "DateAndTime") {
            bytes = dateAndTimeOctets(trimmed(text));
            if (!bytes && !mib->hint.empty())
                bytes = octetsByHint(trimmed(text), mib->hint);
            if (!bytes)
                check.problem = msg::SetDateAndTime;
        } else {
            bytes = octetsByHint(trimmed(text), mib->hint);
            if (!bytes)
                check.problem = formatMessage(msg::SetHint, mib->hint.c_str(), hintExample(*mib).c_str());
        }
        break;
    }
    if (!bytes)
        return;
    if (mib && b.type == SetType::OctetString && !inRanges(int64_t(bytes->size()), mib->ranges)) {
        check.problem = formatMessage(msg::SetSize, int(std::min<size_t>(bytes->size(), INT32_MAX)),
                                      rangesText(mib->ranges).c_str());
        return;
    }
    AsnAny value;
    value.asnType = asn::OctetString;
    value.bytes = std::move(*bytes);
    check.value = std::move(value);
}

// The bit positions a text names, labels or numbers; the first word that is neither into *unknown.
std::vector<int64_t> readBits(const std::string &text, const MibObject *mib, std::string *unknown)
{
    std::vector<int64_t> bits;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(" ,\t", at);
        if (start == std::string::npos)
            break;
        at = std::min(text.find_first_of(" ,\t", start), text.size());
        const std::string_view word(text.data() + start, at - start);
        std::optional<int64_t> bit = mib ? labelled(word, mib->enums) : std::nullopt;
        int64_t number = 0;
        if (!bit && readNumber(word, number) && number >= 0 && number < 65536
            && (!mib || std::any_of(mib->enums.begin(), mib->enums.end(), [&](const MibNamedNumber &e) { return e.value == number; })))
            bit = number;
        if (!bit) {
            if (unknown && unknown->empty())
                *unknown = word;
            continue;
        }
        if (std::find(bits.begin(), bits.end(), *bit) == bits.end())
            bits.push_back(*bit);
    }
    return bits;
}

void checkBits(const MibObject *mib, const std::string &text, SetCheck &check)
{
    std::string unknown;
    const std::vector<int64_t> bits = readBits(text, mib, &unknown);
    if (!unknown.empty()) {
        check.problem = mib ? formatMessage(msg::SetNoSuchBit, unknown.c_str(), labelsText(mib->enums).c_str())
                            : formatMessage(msg::SetNotNumber, unknown.c_str());
        return;
    }
    // Octets for every bit the MIB names, or for those set.
    int64_t highest = -1;
    for (const int64_t bit : bits)
        highest = std::max(highest, bit);
    if (mib) {
        for (const MibNamedNumber &e : mib->enums)
            highest = std::max(highest, e.value);
    }
    AsnAny value;
    value.asnType = asn::OctetString;
    value.bytes.assign(size_t(highest / 8 + 1), '\0');
    if (highest < 0)
        value.bytes.clear();
    for (const int64_t bit : bits)
        value.bytes[size_t(bit / 8)] = char(uint8_t(value.bytes[size_t(bit / 8)]) | (0x80u >> (bit % 8)));
    check.value = std::move(value);
}

} // namespace

const char *setTypeName(SetType type)
{
    static constexpr const char *names[] = {"INTEGER",   "Unsigned32",   "Gauge32",           "TimeTicks",
                                            "Counter32", "Counter64",    "OCTET STRING",      "OBJECT IDENTIFIER",
                                            "IpAddress", "BITS"};
    return names[int(type)];
}

std::optional<SetType> mibSetType(const MibObject &object)
{
    switch (object.syntax) {
    case MibSyntax::Integer:
        return SetType::Integer;
    case MibSyntax::OctetString:
        return SetType::OctetString;
    case MibSyntax::ObjectIdentifier:
        return SetType::ObjectIdentifier;
    case MibSyntax::IpAddress:
        return SetType::IpAddress;
    case MibSyntax::Counter32:
        return SetType::Counter32;
    case MibSyntax::Gauge32:
        return object.typeName == "Unsigned32" ? SetType::Unsigned32 : SetType::Gauge32;
    case MibSyntax::Unsigned32:
        return SetType::Unsigned32;
    case MibSyntax::TimeTicks:
        return SetType::TimeTicks;
    case MibSyntax::Counter64:
        return SetType::Counter64;
    case MibSyntax::Bits:
        return SetType::Bits;
    default:
        return std::nullopt;
    }
}

bool writtenByHint(const MibObject &object)
{
    return object.syntax == MibSyntax::OctetString
        && (object.textualConvention == "DateAndTime"
            || object.hint.find_first_of("dxo") != std::string::npos);
}

SetBinding setBindingFor(std::vector<uint32_t> oid, std::string name, const MibObject *object, std::string current,
                         const AsnAny *currentValue)
{
    SetBinding b;
    b.oid = std::move(oid);
    b.name = std::move(name);
    b.current = std::move(current);
    const bool instance = object && (object->kind == MibKind::Scalar || object->kind == MibKind::Column);
    const std::optional<SetType> mibType = instance ? mibSetType(*object) : std::nullopt;
    if (instance)
        b.object = *object;
    b.overridden = !mibType;
    if (mibType) {
        b.type = *mibType;
    } else if (currentValue) {
        static constexpr std::pair<uint8_t, SetType> byTag[] = {
            {asn::Integer32, SetType::Integer},   {asn::Gauge32, SetType::Gauge32},
            {asn::Unsigned32, SetType::Unsigned32}, {asn::TimeTicks, SetType::TimeTicks},
            {asn::Counter32, SetType::Counter32}, {asn::Counter64, SetType::Counter64},
            {asn::ObjectIdentifier, SetType::ObjectIdentifier}, {asn::IpAddress, SetType::IpAddress}};
        for (const auto &[tag, type] : byTag) {
            if (currentValue->asnType == tag)
                b.type = type;
        }
    }
    const MibObject *mib = b.object && !b.overridden ? &*b.object : nullptr;
    if (b.type == SetType::OctetString) {
        if (mib && writtenByHint(*mib))
            b.format = OctetFormat::Hint;
        else if (currentValue && !setValueText(*currentValue, b.type, OctetFormat::Text, mib))
            b.format = OctetFormat::Hex;
    }
    if (currentValue)
        b.text = setValueText(*currentValue, b.type, b.format, mib).value_or(std::string());
    return b;
}

SetCheck checkSetBinding(const SetBinding &b)
{
    SetCheck check;
    const MibObject *known = b.object ? &*b.object : nullptr;
    const MibObject *mib = b.overridden ? nullptr : known;
    if (known) {
        const std::string &access = known->access;
        if (access == "read-only" || access == "not-accessible" || access == "accessible-for-notify")
            check.warning = formatMessage(msg::SetReadOnly, access.c_str());
        const std::optional<SetType> mibType = mibSetType(*known);
        if (b.overridden && mibType && *mibType != b.type) {
            const std::string overridden = formatMessage(msg::SetOverridden, setTypeName(b.type), setTypeName(*mibType));
            check.warning = check.warning.empty() ? overridden : check.warning + " " + overridden;
        }
    }
    if (mib && (b.type == SetType::Counter32 || b.type == SetType::Counter64)) {
        check.problem = formatMessage(msg::SetCounter, setTypeName(b.type));
        return check;
    }
    // Octets are taken as written; every other type's text may have blanks around it.
    const std::string text = b.type == SetType::OctetString && b.format == OctetFormat::Text
        ? b.text
        : std::string(trimmed(b.text));
    if (text.empty() && b.type != SetType::OctetString && b.type != SetType::Bits) {
        check.problem = msg::SetEmpty;
        return check;
    }
    switch (b.type) {
    case SetType::Integer:
    case SetType::Unsigned32:
    case SetType::Gauge32:
    case SetType::TimeTicks:
    case SetType::Counter32:
    case SetType::Counter64:
        checkNumber(b, mib, text, check);
        break;
    case SetType::OctetString:
        checkOctets(b, mib, text, check);
        break;
    case SetType::ObjectIdentifier: {
        AsnAny value;
        value.asnType = asn::ObjectIdentifier;
        if (!SnmpMgrStrToOid(text, &value.object) || value.object.ids.size() < 2)
            check.problem = formatMessage(msg::SetBadOid, text.c_str());
        else
            check.value = std::move(value);
        break;
    }
    case SetType::IpAddress: {
        unsigned char address[4];
        if (inet_pton(AF_INET, text.c_str(), address) != 1) {
            check.problem = formatMessage(msg::SetBadAddress, text.c_str());
            break;
        }
        AsnAny value;
        value.asnType = asn::IpAddress;
        value.bytes.assign(reinterpret_cast<const char *>(address), 4);
        check.value = std::move(value);
        break;
    }
    case SetType::Bits:
        checkBits(mib, text, check);
        break;
    }
    return check;
}

std::optional<std::string> setValueText(const AsnAny &value, SetType type, OctetFormat format, const MibObject *object)
{
    switch (type) {
    case SetType::Integer:
        if (value.asnType != asn::Integer32)
            return std::nullopt;
        if (object) {
            for (const MibNamedNumber &e : object->enums) {
                if (e.value == value.number)
                    return e.label;
            }
        }
        return std::to_string(value.number);
    case SetType::Unsigned32:
    case SetType::Gauge32:
    case SetType::TimeTicks:
    case SetType::Counter32:
        if (value.asnType != asn::Gauge32 && value.asnType != asn::Unsigned32 && value.asnType != asn::TimeTicks
            && value.asnType != asn::Counter32)
            return std::nullopt;
        return std::to_string(value.unsigned32);
    case SetType::Counter64:
        return value.asnType == asn::Counter64 ? std::optional(std::to_string(value.counter64)) : std::nullopt;
    case SetType::OctetString:
        if (value.asnType != asn::OctetString)
            return std::nullopt;
        switch (format) {
        case OctetFormat::Text:
            // Text that reads back as the same octets: UTF-8 without control characters but tab and line ends.
            if (!displayText(value.bytes, true) || value.bytes.find('\0') != std::string::npos)
                return std::nullopt;
            return value.bytes;
        case OctetFormat::Hex: {
            std::string text = hexDump(value.bytes);
            if (!text.empty())
                text.pop_back();
            return text;
        }
        case OctetFormat::Hint:
            if (!object)
                return std::nullopt;
            if (object->textualConvention == "DateAndTime")
                return dateAndTimeText(value.bytes);
            return hintedOctets(value.bytes, object->hint);
        }
        return std::nullopt;
    case SetType::ObjectIdentifier:
        if (value.asnType != asn::ObjectIdentifier || value.object.ids.empty())
            return std::nullopt;
        if (std::optional<std::string> name = objectName(value.object.ids))
            return name;
        return std::string(SnmpUtilOidToA(&value.object));
    case SetType::IpAddress:
        if (value.asnType != asn::IpAddress || value.bytes.size() != 4)
            return std::nullopt;
        return std::to_string(uint8_t(value.bytes[0])) + "." + std::to_string(uint8_t(value.bytes[1])) + "."
            + std::to_string(uint8_t(value.bytes[2])) + "." + std::to_string(uint8_t(value.bytes[3]));
    case SetType::Bits: {
        if (value.asnType != asn::OctetString && value.asnType != asn::Bits)
            return std::nullopt;
        std::vector<int64_t> bits;
        for (size_t bit = 0; bit < value.bytes.size() * 8; ++bit) {
            if (uint8_t(value.bytes[bit / 8]) & (0x80u >> (bit % 8)))
                bits.push_back(int64_t(bit));
        }
        return object ? bitsSetText(bits, *object) : bitsSetText(bits, MibObject());
    }
    }
    return std::nullopt;
}

std::vector<int64_t> bitsNamed(const std::string &text, const MibObject &object)
{
    return readBits(text, &object, nullptr);
}

std::string bitsSetText(std::span<const int64_t> bits, const MibObject &object)
{
    std::string text;
    for (const int64_t bit : bits) {
        const auto named = std::find_if(object.enums.begin(), object.enums.end(), [&](const MibNamedNumber &e) { return e.value == bit; });
        text += (text.empty() ? "" : " ") + (named != object.enums.end() ? named->label : std::to_string(bit));
    }
    return text;
}
