// SPDX-License-Identifier: MIT
#include "engine/mib/oidtext.h"

#include "engine/mib/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr size_t MaxOidTextLength = 4096;

// Known (its file seen in a MIB folder) is not loaded: that is a module that has read its imports.
bool moduleLoaded(const std::string &name)
{
    const int id = which_module(name.c_str());
    const module *found = id == -1 ? nullptr : find_module(id);
    return found && found->no_imports != -1;
}

// Net-SNMP decodes the index of a table column by its MIB and refuses a
// numeric text whose index it cannot decode (a string length larger than the
// rest of the OID). An agent may well return such a name, and its row's text
// must convert back: plain decimal sub-identifiers are then taken as they stand.
int plainDottedDecimal(std::string_view text, AsnObjectIdentifier *oidOut)
{
    if (!text.empty() && text.front() == '.')
        text.remove_prefix(1);
    std::vector<uint32_t> ids;
    for (;;) {
        const std::string_view piece = text.substr(0, text.find('.'));
        uint32_t id = 0;
        const auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), id);
        if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size() || ids.size() == MAX_OID_LEN)
            return 0;
        ids.push_back(id);
        if (piece.size() == text.size())
            break;
        text.remove_prefix(piece.size() + 1);
    }
    oidOut->ids = std::move(ids);
    return 1;
}

// The text as Net-SNMP is given it: dotted numbers are decimal, but Net-SNMP
// reads one with a leading 0 as octal ("010" is 8, "08" no number) and one
// with "0x" as hexadecimal. So the leading zeros go, and "0x..." is refused;
// quoted indexes stay as they are. Refused as well: a text whose quote is not
// closed ("sysDescr.'abc"), past whose end Net-SNMP reads on (valgrind shows
// the reads), so that what it became depended on the memory behind it.
bool decimalNumbers(std::string_view text, std::string &out)
{
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    out.clear();
    char open = 0;
    bool tokenStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (open) {
            out.push_back(c);
            if (c == '\\') {
                if (i + 1 < text.size())
                    out.push_back(text[++i]); // escapes the next character, a quote included
            } else if (c == open) {
                open = 0;
            }
            continue;
        }
        if (tokenStart && isDigit(c)) {
            size_t end = i;
            while (end < text.size() && isDigit(text[end]))
                ++end;
            if (end == text.size() || text[end] == '.') {
                size_t first = i;
                while (first + 1 < end && text[first] == '0')
                    ++first;
                out.append(text.substr(first, end - first));
                i = end - 1;
                tokenStart = false;
                continue;
            }
            if (c == '0' && (text[end] == 'x' || text[end] == 'X'))
                return false;
        }
        tokenStart = c == '.';
        if (c == '"' || c == '\'')
            open = c;
        out.push_back(c);
    }
    return !open;
}

} // namespace

int SnmpMgrStrToOid(const std::string &typed, AsnObjectIdentifier *oidOut)
{
    // ";" separates OIDs for the query run; a NUL would hide the rest of the text from the C parser.
    if (!oidOut || typed.empty() || typed.find(';') != std::string::npos || typed.find('\0') != std::string::npos)
        return 0;
    // No OID of MAX_OID_LEN sub-identifiers needs this much text: a longer one
    // (a paste gone wrong) never reaches the C parser, which the bound below
    // relies on; nor does one with a quote left open, past which it reads.
    static std::string text;
    if (typed.size() > MaxOidTextLength || !decimalNumbers(typed, text))
        return 0;
    mibsetup::ensureLoaded();

    // What snmp_parse_oid does, without its last resort: that runs the text
    // as a regular expression over every label of the MIB tree, so that a
    // typo ("x", "all") becomes some unrelated object, and a text such as
    // ".34" and 150 "*" takes seconds (more of them, hours) to match.
    //
    // Both may write past the length they are given: an IMPLIED string index
    // of numbers (snmpTargetAddrTDomain and 123 numbers) put 134
    // sub-identifiers into a buffer of 128. A text yields at most its first
    // label's path and one sub-identifier per further character, so room for
    // that takes such writes; a result past MAX_OID_LEN is then refused.
    static std::vector<oid> parsed(2 * MAX_OID_LEN + MaxOidTextLength);
    size_t length = MAX_OID_LEN;
    bool converted = text.find(':') == std::string::npos && read_objid(text.c_str(), parsed.data(), &length);
    if (!converted) {
        length = MAX_OID_LEN;
        // "MODULE::name" loads the module if it is not yet: names may change.
        const size_t qualified = text.find("::");
        const std::string module = qualified == std::string::npos ? std::string() : text.substr(0, qualified);
        const bool wasLoaded = module.empty() || moduleLoaded(module);
        converted = get_node(text.c_str(), parsed.data(), &length);
        if (!wasLoaded && moduleLoaded(module))
            mibsetup::mibsChanged();
    }
    if (!converted || length == 0 || length > MAX_OID_LEN)
        return plainDottedDecimal(text, oidOut);
    const auto end = parsed.begin() + std::ptrdiff_t(length);
    if (std::any_of(parsed.begin(), end, [](oid id) { return id > 0xFFFFFFFFu; }))
        return 0;
    oidOut->ids.assign(parsed.begin(), end);
    return 1;
}

int SnmpMgrOidToStr(const AsnObjectIdentifier *oidIn, char **text)
{
    if (!text)
        return 0;
    *text = nullptr;
    mibsetup::ensureLoaded();

    // Called once per row of a walk: keep the conversion buffers between calls.
    static std::vector<oid> name;
    static std::vector<char> out(512);
    const char *result = nullptr;
    size_t length = 0;
    if (oidIn) {
        name.assign(oidIn->ids.begin(), oidIn->ids.end());
        for (;;) {
            const int n = snprint_objid(out.data(), out.size(), name.data(), name.size());
            if (n >= 0) {
                result = out.data();
                length = size_t(n);
                break;
            }
            if (out.size() >= 65536)
                break;
            out.resize(out.size() * 2);
        }
    }
    if (!result) {
        // The name always comes back as some text: the numeric form then.
        static const AsnObjectIdentifier empty;
        result = SnmpUtilOidToA(oidIn ? oidIn : &empty);
        length = std::strlen(result);
    }
    char *copy = static_cast<char *>(SnmpUtilMemAlloc(length + 1));
    if (!copy)
        return 0;
    std::memcpy(copy, result, length);
    copy[length] = '\0';
    *text = copy;
    return 1;
}

const char *SnmpUtilOidToA(const AsnObjectIdentifier *oidIn)
{
    static std::string text;
    text.clear();
    if (!oidIn)
        return text.c_str();
    char number[16];
    for (size_t i = 0; i < oidIn->ids.size(); ++i) {
        if (i > 0)
            text.push_back('.');
        const auto [end, ec] = std::to_chars(number, number + sizeof(number), oidIn->ids[i]);
        text.append(number, end);
    }
    return text.c_str();
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
