// SPDX-License-Identifier: MIT
#include "engine/query/rowbinding.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// The row texts cut an OID at 255 characters after the ".".
constexpr size_t CutOidText = 256;
constexpr std::string_view UnexpectedType = "Unexpected Type";

struct TypeTag
{
    std::string_view text;
    uint8_t tag;
};

constexpr TypeTag TypeTags[] = {
    {"Integer32", asn::Integer32}, {"Bits", asn::Bits},           {"Octet String", asn::OctetString},
    {"Null", asn::Null},           {"Object Identifier", asn::ObjectIdentifier},
    {"Sequence", asn::Sequence},   {"IpAddress", asn::IpAddress}, {"Counter32", asn::Counter32},
    {"Gauge32", asn::Gauge32},     {"TimeTicks", asn::TimeTicks}, {"Opaque", asn::Opaque},
    {"Counter64", asn::Counter64}, {"Unsigned32", asn::Unsigned32},
    // The SNMPv2c exceptions carry no value.
    {"noSuchObject", asn::NoSuchObject}, {"noSuchInstance", asn::NoSuchInstance},
    {"endOfMibView", asn::EndOfMibView},
};

template <typename T>
void put(std::string &out, const T &value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

void putIds(std::string &out, const AsnObjectIdentifier &id)
{
    put(out, uint32_t(id.ids.size()));
    out.append(reinterpret_cast<const char *>(id.ids.data()), id.ids.size() * sizeof(uint32_t));
}

template <typename T>
bool take(std::string_view &in, T &value)
{
    if (in.size() < sizeof value)
        return false;
    std::memcpy(&value, in.data(), sizeof value);
    in.remove_prefix(sizeof value);
    return true;
}

bool takeIds(std::string_view &in, AsnObjectIdentifier &id)
{
    uint32_t count = 0;
    if (!take(in, count) || in.size() / sizeof(uint32_t) < count)
        return false;
    id.ids.resize(count);
    if (count > 0) // an empty vector's data() may be null
        std::memcpy(id.ids.data(), in.data(), count * sizeof(uint32_t));
    in.remove_prefix(count * sizeof(uint32_t));
    return true;
}

std::optional<SnmpVarBind> decode(std::string_view in)
{
    SnmpVarBind binding;
    AsnAny &value = binding.value;
    uint32_t length = 0;
    if (!take(in, value.asnType) || !takeIds(in, binding.name) || !take(in, value.number)
        || !take(in, value.unsigned32) || !take(in, value.counter64) || !take(in, length) || in.size() < length)
        return std::nullopt;
    value.bytes.assign(in.substr(0, length));
    in.remove_prefix(length);
    if (!takeIds(in, value.object) || !in.empty())
        return std::nullopt;
    return binding;
}

template <typename T>
bool number(std::string_view text, T &value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// ".1.3.6" or "." (no sub-identifiers).
bool dotted(std::string_view text, AsnObjectIdentifier &id)
{
    if (text.empty() || text[0] != '.')
        return false;
    id.ids.clear();
    if (text.size() == 1)
        return true;
    for (size_t start = 1;;) {
        const size_t dot = text.find('.', start);
        uint32_t sub = 0;
        if (!number(text.substr(start, dot == std::string_view::npos ? dot : dot - start), sub))
            return false;
        id.ids.push_back(sub);
        if (dot == std::string_view::npos)
            return true;
        start = dot + 1;
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "0A FF " back to its bytes.
bool fromHexDump(std::string_view text, std::string &bytes)
{
    if (text.size() % 3 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 3) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0 || text[i + 2] != ' ')
            return false;
        bytes.push_back(char(high << 4 | low));
    }
    return true;
}

bool isReadable(char c)
{
    const auto byte = uint8_t(c);
    return byte == 0 || (byte >= 0x20 && byte <= 0x7F);
}

} // namespace

std::string bindingBehind(const SnmpVarBind &binding, const ResultRow &row)
{
    const AsnAny &value = binding.value;
    const bool hexOfText = value.asnType == asn::OctetString && !value.bytes.empty()
        && row.value.size() == 3 * value.bytes.size() && std::all_of(value.bytes.begin(), value.bytes.end(), isReadable);
    const bool cutText = value.asnType == asn::OctetString && value.bytes.find('\0') != std::string::npos
        && row.value.size() != 3 * value.bytes.size();
    const bool cutOid = row.oid.size() >= CutOidText
        || (value.asnType == asn::ObjectIdentifier && row.value.size() >= CutOidText);
    // A hex dump of readable bytes (BITS) would read back as text;
    // "Unexpected Type" keeps neither the tag nor the octets, an address
    // shows its first four bytes only, an exception none: a recording
    // written from the row needs them all.
    const bool exception = value.asnType >= asn::NoSuchObject && value.asnType <= asn::EndOfMibView;
    const bool lostValue = row.type == UnexpectedType || (value.asnType == asn::IpAddress && value.bytes.size() > 4)
        || (exception && !value.bytes.empty());
    if (!cutText && !cutOid && !hexOfText && !lostValue)
        return {};
    std::string out;
    put(out, value.asnType);
    putIds(out, binding.name);
    put(out, value.number);
    put(out, value.unsigned32);
    put(out, value.counter64);
    put(out, uint32_t(value.bytes.size()));
    out += value.bytes;
    putIds(out, value.object);
    return out;
}

std::optional<SnmpVarBind> bindingFromRow(std::string_view oid, std::string_view type, std::string_view value,
                                          std::string_view encoded)
{
    if (!encoded.empty())
        return decode(encoded);
    SnmpVarBind binding;
    AsnAny &any = binding.value;
    const TypeTag *known = nullptr;
    for (const TypeTag &t : TypeTags) {
        if (t.text == type)
            known = &t;
    }
    if (!known || !dotted(oid, binding.name))
        return std::nullopt;
    any.asnType = known->tag;
    bool read = true;
    switch (any.asnType) {
    case asn::Integer32:
        read = number(value, any.number);
        break;
    case asn::Counter32:
    case asn::Gauge32:
    case asn::Unsigned32:
        read = number(value, any.unsigned32);
        break;
    case asn::TimeTicks:
        read = number(value.substr(0, value.find(' ')), any.unsigned32);
        break;
    case asn::Counter64:
        read = number(value, any.counter64);
        break;
    case asn::OctetString:
        // A hex dump is shown only for bytes outside the readable ones; a
        // readable value that merely looks like one is its own text.
        if (!fromHexDump(value, any.bytes) || std::all_of(any.bytes.begin(), any.bytes.end(), isReadable))
            any.bytes.assign(value);
        break;
    case asn::Bits:
    case asn::Opaque:
    case asn::Sequence:
        read = fromHexDump(value, any.bytes);
        break;
    case asn::IpAddress: {
        AsnObjectIdentifier parts;
        std::string leadingDot(1, '.');
        leadingDot += value;
        read = value.empty() || (dotted(leadingDot, parts) && parts.ids.size() <= 4);
        for (const uint32_t part : parts.ids) {
            read = read && part <= 255;
            any.bytes.push_back(char(part));
        }
        break;
    }
    case asn::ObjectIdentifier:
        read = dotted(value, any.object);
        break;
    default:
        read = value.empty(); // Null and the exceptions
        break;
    }
    if (!read)
        return std::nullopt;
    return binding;
}
