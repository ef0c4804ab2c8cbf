// SPDX-License-Identifier: MIT
#include "engine/recording/snmprec.h"

#include "engine/recording/recordtext.h"

#include <charconv>

using namespace recordtext;

namespace {

bool plainText(std::string_view bytes)
{
    if (!bytes.empty() && (bytes.front() == ' ' || bytes.back() == ' '))
        return false;
    for (const char c : bytes) {
        if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E)
            return false;
    }
    return true;
}

bool isException(uint8_t tag)
{
    return tag >= asn::NoSuchObject && tag <= asn::EndOfMibView;
}

// snmpsim's "e" values: a Python string literal's body.
bool unescape(std::string_view text, std::string &bytes)
{
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            return false;
        static constexpr std::string_view from = "\\'\"abfnrtv";
        static constexpr std::string_view to = "\\'\"\a\b\f\n\r\t\v";
        if (const size_t k = from.find(text[i]); k != std::string_view::npos) {
            bytes.push_back(to[k]);
        } else if (text[i] == 'x' && i + 2 < text.size()) {
            std::string byte;
            if (!readHex(text.substr(i + 1, 2), byte))
                return false;
            bytes += byte;
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

std::string snmprecLine(const SnmpVarBind &binding)
{
    const AsnAny &value = binding.value;
    std::string line;
    line.reserve(binding.name.ids.size() * 4 + value.bytes.size() * 2 + 16);
    appendOid(line, binding.name.ids);
    line.push_back('|');
    char number[24];
    line.append(number, std::to_chars(number, number + sizeof number, unsigned(value.asnType)).ptr);
    const auto text = [&](auto n) {
        line.push_back('|');
        line.append(number, std::to_chars(number, number + sizeof number, n).ptr);
    };
    switch (value.asnType) {
    case asn::Integer32:
        text(value.number);
        break;
    case asn::Counter32:
    case asn::Gauge32:
    case asn::TimeTicks:
    case asn::Unsigned32:
        text(value.unsigned32);
        break;
    case asn::Counter64:
        text(value.counter64);
        break;
    case asn::ObjectIdentifier:
        line.push_back('|');
        appendOid(line, value.object.ids);
        break;
    case asn::Null:
        line.push_back('|');
        break;
    case asn::IpAddress:
        if (value.bytes.size() == 4) {
            line.push_back('|');
            for (size_t i = 0; i < 4; ++i) {
                if (i > 0)
                    line.push_back('.');
                line.append(number, std::to_chars(number, number + sizeof number, unsigned(uint8_t(value.bytes[i]))).ptr);
            }
            break;
        }
        [[fallthrough]];
    default:
        // Octet strings and every tag whose value is its octets. Opaque is
        // in hex whatever it holds, as snmpsim writes it.
        if (value.asnType == asn::OctetString && plainText(value.bytes)) {
            line.push_back('|');
            line += value.bytes;
        } else if (isException(value.asnType) && value.bytes.empty()) {
            line.push_back('|');
        } else {
            line += "x|";
            appendHex(line, value.bytes);
        }
        break;
    }
    return line;
}

std::string readSnmprecLine(std::string_view line, SnmpVarBind &binding)
{
    const size_t bar = line.find('|');
    const size_t bar2 = bar == std::string_view::npos ? bar : line.find('|', bar + 1);
    if (bar2 == std::string_view::npos)
        return "not OID|tag|value";
    std::string reason;
    if (!readOid(line.substr(0, bar), binding.name.ids, reason))
        return "the OID " + quoted(line.substr(0, bar)) + " has " + reason;
    if (binding.name.ids.empty())
        return "no OID";
    std::string_view tagText = line.substr(bar + 1, bar2 - bar - 1);
    const std::string_view valueText = line.substr(bar2 + 1);
    if (const size_t colon = tagText.find(':'); colon != std::string_view::npos)
        return "snmpsim's variation module " + quoted(tagText.substr(colon + 1)) + " is not read";
    char encoding = 0;
    if (!tagText.empty() && (tagText.back() == 'x' || tagText.back() == 'e')) {
        encoding = tagText.back();
        tagText.remove_suffix(1);
    }
    uint32_t tag = 0;
    if (!readNumber(tagText, tag) || tag > 255)
        return "the tag " + quoted(line.substr(bar + 1, bar2 - bar - 1)) + " is no type number";

    AsnAny &value = binding.value;
    value = AsnAny();
    value.asnType = uint8_t(tag);
    std::string bytes;
    if (encoding == 'x') {
        if (!readHex(valueText, bytes))
            return valueText.size() % 2 ? "odd number of hex digits" : "the value " + quoted(valueText) + " is no hex";
    } else if (encoding == 'e') {
        if (!unescape(valueText, bytes))
            return "the value " + quoted(valueText) + " has a broken escape";
    } else {
        bytes.assign(valueText);
    }

    const auto bad = [&](const char *type) { return "the value " + quoted(bytes) + " is no " + type; };
    switch (value.asnType) {
    case asn::Integer32:
        return readNumber(bytes, value.number) ? std::string() : bad("Integer32");
    case asn::Counter32:
    case asn::Gauge32:
    case asn::TimeTicks:
    case asn::Unsigned32:
        return readNumber(bytes, value.unsigned32) ? std::string() : bad("unsigned 32-bit number");
    case asn::Counter64:
        return readNumber(bytes, value.counter64) ? std::string() : bad("Counter64");
    case asn::ObjectIdentifier:
        if (!readOid(bytes, value.object.ids, reason))
            return "the OID value " + quoted(bytes) + " has " + reason;
        return {};
    case asn::Null:
        return bytes.empty() ? std::string() : "a NULL with a value";
    case asn::IpAddress:
        if (encoding == 0) {
            std::vector<uint32_t> parts;
            if (!readOid(bytes, parts, reason) || parts.size() != 4 || bytes.front() == '.')
                return bad("IpAddress");
            for (const uint32_t part : parts) {
                if (part > 255)
                    return bad("IpAddress");
                value.bytes.push_back(char(part));
            }
            return {};
        }
        value.bytes = std::move(bytes);
        return {};
    default:
        value.bytes = std::move(bytes);
        return {};
    }
}
