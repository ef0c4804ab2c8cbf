// SPDX-License-Identifier: MIT
#include "engine/query/rowrender.h"

#include "engine/mib/oidname.h"
#include "engine/query/rowbinding.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

constexpr size_t MaxOidText = 255;

// "." and the dotted decimal (SnmpUtilOidToA's text) cut to its first 255
// characters, written in place: no text of the whole OID to copy, a row at a time.
std::string oidText(const AsnObjectIdentifier &id)
{
    char text[1 + MaxOidText + 11]; // what is kept, and one number and dot past it
    size_t length = 0;
    text[length++] = '.';
    for (size_t i = 0; i < id.ids.size() && length <= MaxOidText; ++i) {
        if (i > 0)
            text[length++] = '.';
        length = size_t(std::to_chars(text + length, text + sizeof(text), id.ids[i]).ptr - text);
    }
    return std::string(text, std::min(length, MaxOidText + 1));
}

std::string unsignedText(uint64_t value)
{
    return std::to_string(value);
}

// The platform formats an address from its first four bytes; a shorter value
// shows the bytes it has, so nothing past the data is read.
std::string ipAddressText(const std::string &bytes)
{
    std::string text;
    const size_t count = bytes.size() < 4 ? bytes.size() : 4;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            text.push_back('.');
        text += std::to_string(static_cast<unsigned char>(bytes[i]));
    }
    return text;
}

} // namespace

std::string octetStringText(const std::string &bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte != 0x00 && (byte < 0x20 || byte > 0x7F))
            return hexDump(bytes);
    }
    // Readable: the text ends at the first NUL, as a C string would.
    return bytes.substr(0, bytes.find('\0'));
}

std::string timeTicksText(uint32_t ticks)
{
    uint32_t seconds = ticks / 100;
    uint32_t days = 0;
    if (seconds >= 86400) {
        days = seconds / 86400;
        seconds %= 86400;
    }
    char text[96];
    std::snprintf(text, sizeof(text), "%u (%u days, %u hours, %u minutes, %u seconds)", ticks, days, seconds / 3600,
                  (seconds % 3600) / 60, seconds % 60);
    return text;
}

ResultRow renderBinding(const SnmpVarBind &binding, SnmpVersion version)
{
    ResultRow row;
    row.oid = oidText(binding.name);

    // SnmpMgrOidToStr's text, from the name cache: one MIB lookup per column, not per row.
    row.role = OidNameCache::local().name(binding.name, row.name);

    const AsnAny &value = binding.value;
    switch (value.asnType) {
    case asn::Integer32:
        row.type = "Integer32";
        row.value = std::to_string(value.number);
        break;
    case asn::Bits:
        row.type = "Bits";
        row.value = hexDump(value.bytes);
        break;
    case asn::OctetString:
        row.type = "Octet String";
        // A text would end at the first NUL: BITS 00 40 would show nothing.
        row.value = row.role == RowRole::Bits ? hexDump(value.bytes) : octetStringText(value.bytes);
        break;
    case asn::Null:
        row.type = "Null";
        break;
    case asn::ObjectIdentifier:
        row.type = "Object Identifier";
        row.value = oidText(value.object);
        break;
    case asn::Sequence:
        row.type = "Sequence";
        row.value = hexDump(value.bytes);
        break;
    case asn::IpAddress:
        row.type = "IpAddress";
        row.value = ipAddressText(value.bytes);
        break;
    case asn::Counter32:
        row.type = "Counter32";
        row.value = unsignedText(value.unsigned32);
        break;
    case asn::Gauge32:
        row.type = "Gauge32";
        row.value = unsignedText(value.unsigned32);
        break;
    case asn::TimeTicks:
        row.type = "TimeTicks";
        row.value = timeTicksText(value.unsigned32);
        break;
    case asn::Opaque:
        row.type = "Opaque";
        row.value = hexDump(value.bytes);
        break;
    case asn::Counter64:
        row.type = "Counter64";
        row.value = unsignedText(value.counter64);
        break;
    case asn::Unsigned32:
        row.type = "Unsigned32";
        row.value = unsignedText(value.unsigned32);
        break;
    case asn::NoSuchObject:
    case asn::NoSuchInstance:
    case asn::EndOfMibView:
        if (version != SnmpVersion::V1) {
            static constexpr const char *exceptions[] = {"noSuchObject", "noSuchInstance", "endOfMibView"};
            row.type = exceptions[value.asnType - asn::NoSuchObject];
            break;
        }
        [[fallthrough]];
    default:
        row.type = "Unexpected Type";
        break;
    }
    row.binding = bindingBehind(binding, row);
    return row;
}
