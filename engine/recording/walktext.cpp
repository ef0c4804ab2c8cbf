// SPDX-License-Identifier: MIT
#include "engine/recording/walktext.h"

#include "engine/recording/recordtext.h"

#include <charconv>
#include <cstring>
#include <vector>

using namespace recordtext;

namespace {

constexpr std::string_view NoSuchObjectText = "No Such Object available on this agent at this OID";
constexpr std::string_view NoSuchInstanceText = "No Such Instance currently exists at this OID";
constexpr std::string_view EndOfMibViewText =
    "No more variables left in this MIB View (It is past the end of the MIB tree)";
constexpr std::string_view WrongType = "Wrong Type (should be ";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

bool isBlankLine(std::string_view s)
{
    return trimmed(s).empty();
}

// "01 AB ff " appended as octets: tokens of two hex digits between blanks.
bool appendHexTokens(std::string_view text, std::string &bytes)
{
    for (size_t i = 0; i < text.size();) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || hexValue(text[i]) < 0 || hexValue(text[i + 1]) < 0
            || (i + 2 < text.size() && !isBlank(text[i + 2])))
            return false;
        bytes.push_back(char(hexValue(text[i]) << 4 | hexValue(text[i + 1])));
        i += 2;
    }
    return true;
}

// Where a quoted string's closing quote is, from the start of s on, with a
// backslash escaping the character after it (escape carries over lines).
size_t closingQuote(std::string_view s, bool &escape)
{
    for (size_t i = 0; i < s.size(); ++i) {
        if (escape)
            escape = false;
        else if (s[i] == '\\')
            escape = true;
        else if (s[i] == '"')
            return i;
    }
    return std::string_view::npos;
}

std::string unescaped(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size())
            ++i;
        out.push_back(s[i]);
    }
    return out;
}

// The number of "60 seconds" (units), "up(1)" (an enum label), "12.34" (a
// d-2 hint: 1234) or of a plain number, as text.
std::string numberText(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.back() == ')') {
        if (const size_t open = text.rfind('('); open != std::string_view::npos)
            return std::string(text.substr(open + 1, text.size() - open - 2));
    }
    std::string first(text.substr(0, text.find(' ')));
    const size_t dot = first.find('.');
    if (dot != std::string::npos && dot > 0 && first.find('.', dot + 1) == std::string::npos)
        first.erase(dot, 1);
    return first;
}

// "0:1a:2b": groups of one or two hex digits, two groups at least.
bool hexGroups(std::string_view text, char separator, std::string &bytes)
{
    if (text.find(separator) == std::string_view::npos)
        return false;
    std::string out;
    for (;;) {
        const size_t end = text.find(separator);
        const std::string_view group = text.substr(0, end);
        if (group.empty() || group.size() > 2)
            return false;
        int value = 0;
        for (const char c : group) {
            if (hexValue(c) < 0)
                return false;
            value = value << 4 | hexValue(c);
        }
        out.push_back(char(value));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    bytes = std::move(out);
    return true;
}

// "80 01 0 15" or "40 00 forwarding(1)": the octets, then the numbers of the
// bits set in them. How many tokens are octets is told by the bits after them.
bool readBits(std::string_view text, std::string &bytes)
{
    std::vector<std::string_view> tokens;
    for (text = trimmed(text); !text.empty(); text = trimmed(text.substr(std::min(text.find(' '), text.size()))))
        tokens.push_back(text.substr(0, text.find(' ')));
    size_t octets = 0;
    while (octets < tokens.size() && tokens[octets].size() == 2 && hexValue(tokens[octets][0]) >= 0
           && hexValue(tokens[octets][1]) >= 0)
        ++octets;
    for (;; --octets) {
        std::string candidate;
        std::vector<uint32_t> set;
        for (size_t i = 0; i < octets; ++i) {
            const int byte = hexValue(tokens[i][0]) << 4 | hexValue(tokens[i][1]);
            candidate.push_back(char(byte));
            for (int bit = 0; bit < 8; ++bit) {
                if (byte & (0x80 >> bit))
                    set.push_back(uint32_t(i * 8 + size_t(bit)));
            }
        }
        bool matches = tokens.size() - octets == set.size();
        for (size_t i = octets; matches && i < tokens.size(); ++i) {
            uint32_t n = 0;
            matches = readNumber(numberText(tokens[i]), n) && n == set[i - octets];
        }
        if (matches) {
            bytes = std::move(candidate);
            return true;
        }
        if (octets == 0)
            return false;
    }
}

// Net-SNMP's float and double Opaques: a tag of its own inside the octets.
template <typename T>
bool opaqueNumber(std::string_view text, uint8_t tag, std::string &bytes)
{
    T number{};
    text = trimmed(text);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return false;
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &number, sizeof raw);
    bytes = {char(0x9F), char(tag), char(sizeof raw)};
    for (size_t i = sizeof raw; i > 0; --i) // big-endian on the wire
        bytes.push_back(char(raw[i - 1]));
    return true;
}

// Where the " = " after the name is: the name holds no blank outside quotes.
size_t nameEnd(std::string_view line)
{
    bool quoted = false;
    bool escape = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (escape)
                escape = false;
            else if (c == '\\')
                escape = true;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (isBlank(c)) {
            return line.substr(i, 3) == " = " && i > 0 ? i : std::string_view::npos;
        }
    }
    return std::string_view::npos;
}

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return out;
}

} // namespace

std::optional<std::string> walkLine(const SnmpVarBind &binding)
{
    const AsnAny &value = binding.value;
    std::string line = ".";
    appendOid(line, binding.name.ids);
    line += " = ";
    const auto hex = [&](std::string_view bytes) {
        static constexpr char digits[] = "0123456789ABCDEF";
        for (const char c : bytes) {
            line.push_back(digits[uint8_t(c) >> 4]);
            line.push_back(digits[uint8_t(c) & 0x0F]);
            line.push_back(' ');
        }
    };
    switch (value.asnType) {
    case asn::Integer32:
        return line + "INTEGER: " + std::to_string(value.number);
    case asn::OctetString: {
        if (value.bytes.empty())
            return line + "\"\"";
        bool plain = true;
        for (const char c : value.bytes)
            plain = plain && uint8_t(c) >= 0x20 && uint8_t(c) <= 0x7E && c != '"' && c != '\\';
        if (plain)
            return line + "STRING: \"" + value.bytes + "\"";
        line += "Hex-STRING: ";
        hex(value.bytes);
        return line;
    }
    case asn::Null:
        return line + "NULL";
    case asn::ObjectIdentifier:
        line += "OID: .";
        appendOid(line, value.object.ids);
        return line;
    case asn::IpAddress:
        if (value.bytes.size() != 4)
            return std::nullopt;
        line += "IpAddress: ";
        for (size_t i = 0; i < 4; ++i)
            line += (i > 0 ? "." : "") + std::to_string(uint8_t(value.bytes[i]));
        return line;
    case asn::Counter32:
        return line + "Counter32: " + std::to_string(value.unsigned32);
    case asn::Gauge32:
        return line + "Gauge32: " + std::to_string(value.unsigned32);
    case asn::TimeTicks:
        return line + std::to_string(value.unsigned32);
    case asn::Unsigned32:
        return line + "UInteger32: " + std::to_string(value.unsigned32);
    case asn::Opaque:
        line += "OPAQUE: ";
        hex(value.bytes);
        return line;
    case asn::Counter64:
        return line + "Counter64: " + std::to_string(value.counter64);
    case asn::NoSuchObject:
    case asn::NoSuchInstance:
    case asn::EndOfMibView:
        if (!value.bytes.empty())
            return std::nullopt;
        return line
               + std::string(value.asnType == asn::NoSuchObject     ? NoSuchObjectText
                             : value.asnType == asn::NoSuchInstance ? NoSuchInstanceText
                                                                    : EndOfMibViewText);
    default:
        return std::nullopt;
    }
}

bool WalkTextReader::startsBinding(std::string_view line)
{
    if (line.empty())
        return false;
    const char first = line.front();
    const bool nameLike = first == '.' || isDigit(first) || (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    return nameLike && nameEnd(line) != std::string_view::npos;
}

void WalkTextReader::line(std::string_view text, uint64_t number)
{
    if (m_crlf.value_or(false) && !text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (m_mode == Mode::Quoted) {
        carryOn(text);
        return;
    }
    if (startsBinding(text)) {
        handOn();
        start(text, number);
        // The first binding on one line tells how lines end: a string's own
        // CR LF (a Cisco sysDescr, often the first) must not tell it.
        if (!m_crlf && m_mode == Mode::Done)
            m_crlf = text.ends_with('\r');
        return;
    }
    switch (m_mode) {
    case Mode::Text:
        if (isBlankLine(text))
            ++m_heldBreaks;
        else
            carryOn(text);
        return;
    case Mode::Hex:
        if (isBlankLine(text) || appendHexTokens(text, m_pending.binding.value.bytes)) {
            if (m_pending.binding.value.bytes.size() > MaxValueBytes / 2)
                fail("a value of more than 512 KiB");
            return;
        }
        break;
    case Mode::Skipping:
        return; // the rest of a binding already reported
    default:
        break;
    }
    handOn();
    if (isBlankLine(text) || text.front() == '#')
        return;
    m_sink.bad(number, "no \" = \": not a binding");
}

void WalkTextReader::lostLine(uint64_t number)
{
    if (m_mode == Mode::Quoted || m_mode == Mode::Text || m_mode == Mode::Hex)
        fail("it goes on in line " + std::to_string(number) + ", which is too long to read");
    else
        handOn();
}

void WalkTextReader::finish()
{
    if (m_mode == Mode::Quoted)
        fail("its quoted string is not closed by the end of the file");
    handOn();
    m_mode = Mode::None;
}

void WalkTextReader::start(std::string_view text, uint64_t number)
{
    m_line = number;
    m_pending = RecordedBinding();
    m_type.clear();
    m_text.clear();
    m_heldBreaks = 0;
    m_quoted = false;
    m_mode = Mode::Done;
    const size_t end = nameEnd(text);
    const std::string_view name = text.substr(0, end);
    std::string_view value = text.substr(end + 3);
    std::string reason;
    if (isDigit(name.front()) || (name.size() > 1 && name[0] == '.' && isDigit(name[1]))) {
        if (!readOid(name, m_pending.binding.name.ids, reason))
            return fail("the OID " + quoted(name) + " has " + reason);
    } else {
        m_pending.nameText.assign(name);
    }

    // With a MIB that says otherwise, Net-SNMP says so before the value.
    if (value.starts_with(WrongType)) {
        if (const size_t close = value.find("): "); close != std::string_view::npos)
            value.remove_prefix(close + 3);
    }
    AsnAny &v = m_pending.binding.value;
    const std::string_view whole = trimmed(value);
    static const std::pair<std::string_view, uint8_t> untyped[] = {
        {"\"\"", asn::OctetString},           {"NULL", asn::Null}, {NoSuchObjectText, asn::NoSuchObject},
        {NoSuchInstanceText, asn::NoSuchInstance}, {EndOfMibViewText, asn::EndOfMibView}};
    for (const auto &[shown, tag] : untyped) {
        if (whole == shown) {
            v.asnType = tag;
            return;
        }
    }
    if (!whole.empty() && whole.find_first_not_of("0123456789") == std::string_view::npos) {
        v.asnType = asn::TimeTicks; // -Ot prints the ticks alone
        if (!readNumber(whole, v.unsigned32))
            fail("the value " + quoted(whole) + " is no TimeTicks");
        return;
    }
    if (whole == "Variable has bad type")
        return fail("Net-SNMP printed no value (\"Variable has bad type\")");
    const size_t colon = value.find(':');
    if (colon == std::string_view::npos)
        return fail("no type before the value " + quoted(whole));
    m_type = upper(value.substr(0, colon));
    std::string_view rest = value.substr(colon + 1);
    if (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    if (m_type == "STRING") {
        v.asnType = asn::OctetString;
        if (!rest.empty() && rest.front() == '"') {
            m_mode = Mode::Quoted;
            m_quoted = true;
            m_escape = false;
            carryOn(rest.substr(1), true);
        } else {
            m_mode = Mode::Text;
            m_text.assign(rest);
        }
        return;
    }
    const bool opaqueNumber = m_type == "OPAQUE" && (upper(rest).starts_with("FLOAT:") || upper(rest).starts_with("DOUBLE:"));
    if (m_type == "HEX-STRING" || (m_type == "OPAQUE" && !opaqueNumber)) {
        v.asnType = m_type == "OPAQUE" ? asn::Opaque : asn::OctetString;
        m_mode = Mode::Hex;
        if (!appendHexTokens(rest, v.bytes))
            fail("the value " + quoted(trimmed(rest)) + " is no hex octets");
        return;
    }
    m_text.assign(rest);
}

void WalkTextReader::carryOn(std::string_view text, bool first)
{
    if (m_mode == Mode::Quoted) {
        // The first piece comes from start(), after the opening quote; each
        // further line follows a line break of the string.
        const size_t from = m_text.size();
        if (!first)
            m_text.push_back('\n');
        m_text.append(text);
        const size_t close = closingQuote(std::string_view(m_text).substr(from), m_escape);
        if (close == std::string_view::npos) {
            if (m_text.size() > MaxValueBytes)
                fail("its quoted string is longer than 1 MiB, or not closed");
            return;
        }
        const size_t at = from + close;
        if (!isBlankLine(std::string_view(m_text).substr(at + 1)))
            return fail("text after the closing quote: " + quoted(std::string_view(m_text).substr(at + 1)));
        m_text.resize(at);
        m_mode = Mode::Done;
        return;
    }
    m_text.append(m_heldBreaks + 1, '\n');
    m_heldBreaks = 0;
    m_text.append(text);
    if (m_text.size() > MaxValueBytes)
        fail("a value of more than 1 MiB");
}

std::string WalkTextReader::complete()
{
    AsnAny &v = m_pending.binding.value;
    if (m_type.empty() || m_type == "HEX-STRING" || (m_type == "OPAQUE" && m_mode == Mode::Hex))
        return {};
    const auto bad = [&](const char *type) { return "the value " + quoted(trimmed(m_text)) + " is no " + type; };
    if (m_type == "STRING") {
        if (m_quoted) {
            v.bytes = unescaped(m_text);
            return {};
        }
        std::string_view text = m_text;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        // A hint of hex octets with ":" between them (a hardware address).
        if (!hexGroups(text, ':', v.bytes))
            v.bytes.assign(text);
        return {};
    }
    if (m_type == "INTEGER") {
        v.asnType = asn::Integer32;
        return readNumber(numberText(m_text), v.number) ? std::string() : bad("INTEGER");
    }
    static const std::pair<std::string_view, uint8_t> unsignedTypes[] = {
        {"COUNTER32", asn::Counter32}, {"GAUGE32", asn::Gauge32}, {"UNSIGNED32", asn::Gauge32},
        {"UINTEGER32", asn::Unsigned32}};
    for (const auto &[word, tag] : unsignedTypes) {
        if (m_type == word) {
            v.asnType = tag;
            return readNumber(numberText(m_text), v.unsigned32) ? std::string() : bad("unsigned 32-bit number");
        }
    }
    if (m_type == "COUNTER64") {
        v.asnType = asn::Counter64;
        return readNumber(numberText(m_text), v.counter64) ? std::string() : bad("Counter64");
    }
    if (m_type == "TIMETICKS") {
        // "(12345) 0:02:03.45", or the bare number.
        v.asnType = asn::TimeTicks;
        std::string_view text = trimmed(m_text);
        if (text.starts_with('('))
            text = text.substr(1, text.find(')') - 1);
        return readNumber(text, v.unsigned32) ? std::string() : bad("TimeTicks");
    }
    if (m_type == "IPADDRESS" || m_type == "NETWORK ADDRESS") {
        v.asnType = asn::IpAddress;
        const std::string_view text = trimmed(m_text);
        if (m_type == "NETWORK ADDRESS")
            return hexGroups(text, ':', v.bytes) && v.bytes.size() == 4 ? std::string() : bad("network address");
        std::vector<uint32_t> parts;
        std::string reason;
        if (!readOid(text, parts, reason) || parts.size() != 4 || text.front() == '.')
            return bad("IpAddress");
        for (const uint32_t part : parts) {
            if (part > 255)
                return bad("IpAddress");
            v.bytes.push_back(char(part));
        }
        return {};
    }
    if (m_type == "OID") {
        v.asnType = asn::ObjectIdentifier;
        const std::string_view text = trimmed(m_text);
        std::string reason;
        if (text.empty() || text.front() == '.' || isDigit(text.front())) {
            if (!readOid(text, v.object.ids, reason))
                return "the OID value " + quoted(text) + " has " + reason;
        } else {
            m_pending.objectText.assign(text);
        }
        return {};
    }
    if (m_type == "OPAQUE") {
        v.asnType = asn::Opaque;
        const std::string_view text = trimmed(m_text);
        const size_t colon = text.find(':');
        const std::string kind = upper(text.substr(0, colon));
        const std::string_view number = text.substr(colon + 1);
        const bool read = kind == "FLOAT" ? opaqueNumber<float>(number, 0x78, v.bytes)
                                          : opaqueNumber<double>(number, 0x79, v.bytes);
        return read ? std::string() : bad("Opaque number");
    }
    if (m_type == "BITS") {
        v.asnType = asn::OctetString; // BITS travel as octet strings
        return readBits(m_text, v.bytes) ? std::string() : bad("BITS value");
    }
    return "the type " + quoted(m_type) + " is not one Net-SNMP prints";
}

void WalkTextReader::handOn()
{
    if (m_mode == Mode::None || m_mode == Mode::Skipping) {
        m_mode = Mode::None;
        return;
    }
    std::string reason = complete();
    m_mode = Mode::None;
    if (!reason.empty())
        m_sink.bad(m_line, std::move(reason));
    else
        m_sink.binding(m_line, std::move(m_pending));
}

void WalkTextReader::fail(std::string reason)
{
    m_sink.bad(m_line, std::move(reason));
    m_mode = Mode::Skipping;
}
