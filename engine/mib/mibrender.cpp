// SPDX-License-Identifier: MIT
#include "engine/mib/mibrender.h"

#include "engine/mib/oidtext.h"

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

} // namespace

std::string bitsText(std::string_view bytes, const MibObject &object)
{
    std::string text = hexDump(bytes);
    if (!text.empty())
        text.pop_back();
    for (size_t bit = 0; bit < bytes.size() * 8; ++bit) {
        if (!(uint8_t(bytes[bit / 8]) & (0x80u >> (bit % 8))))
            continue;
        const auto named = std::find_if(object.enums.begin(), object.enums.end(),
                                        [&](const MibNamedNumber &e) { return e.value == int64_t(bit); });
        // Appended piece by piece: GCC 12 sees a false overlap (-Wrestrict) in " " + std::string&&.
        text += ' ';
        if (named != object.enums.end())
            text.append(named->label).append("(").append(std::to_string(bit)).append(")");
        else
            text += std::to_string(bit);
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
