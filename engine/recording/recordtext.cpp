// SPDX-License-Identifier: MIT
#include "engine/recording/recordtext.h"

#include <charconv>

namespace recordtext {

namespace {

template <typename T>
bool readWhole(std::string_view text, T &value)
{
    // from_chars takes a "-" for signed types only, never a "+".
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool readOid(std::string_view text, std::vector<uint32_t> &ids, std::string &reason)
{
    ids.clear();
    if (!text.empty() && text.front() == '.')
        text.remove_prefix(1);
    if (text.empty())
        return true;
    for (;;) {
        const size_t dot = text.find('.');
        const std::string_view piece = text.substr(0, dot);
        uint32_t id = 0;
        if (!readWhole(piece, id) || piece.front() == '-') {
            reason = piece.empty() ? "an empty sub-identifier" : "the sub-identifier " + quoted(piece) + " is no number below 2^32";
            return false;
        }
        if (ids.size() == MaxOidLength) {
            reason = "more than 128 sub-identifiers";
            return false;
        }
        ids.push_back(id);
        if (dot == std::string_view::npos)
            return true;
        text.remove_prefix(dot + 1);
    }
}

void appendOid(std::string &out, const std::vector<uint32_t> &ids)
{
    char number[16];
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i > 0)
            out.push_back('.');
        out.append(number, std::to_chars(number, number + sizeof number, ids[i]).ptr);
    }
}

bool readNumber(std::string_view text, int32_t &value)
{
    return readWhole(text, value);
}

bool readNumber(std::string_view text, uint32_t &value)
{
    return readWhole(text, value) && text.front() != '-';
}

bool readNumber(std::string_view text, uint64_t &value)
{
    return readWhole(text, value) && text.front() != '-';
}

bool readHex(std::string_view text, std::string &bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(char(high << 4 | low));
    }
    return true;
}

void appendHex(std::string &out, std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    for (const char c : bytes) {
        out.push_back(digits[uint8_t(c) >> 4]);
        out.push_back(digits[uint8_t(c) & 0x0F]);
    }
}

std::string quoted(std::string_view text)
{
    static constexpr size_t Shown = 40;
    std::string out = "'";
    for (size_t i = 0; i < text.size() && i < Shown; ++i) {
        const auto c = uint8_t(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(char(c));
        } else {
            static constexpr char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 0x0F]);
        }
    }
    if (text.size() > Shown)
        out += "...";
    return out + "'";
}

} // namespace recordtext
