// SPDX-License-Identifier: MIT
#pragma once

// Octets read by the textual conventions of RFC 2579 and RFC 4001: a
// DISPLAY-HINT, DateAndTime, InetAddress, DisplayString text. Plain byte
// work, no MIB and no Net-SNMP; texts are UTF-8. Each gives nothing where the
// bytes do not fit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a line break in a text becomes: CR LF, LF and CR alike.
inline constexpr std::string_view LineBreakMark = "\u21B5";

// An octet string by an RFC 2579 DISPLAY-HINT ("1x:", "255a",
// "1d.1d.1d.1d"); hex digits padded to the octets they show.
std::optional<std::string> hintedOctets(std::string_view bytes, std::string_view hint);
// The octets a text written by a DISPLAY-HINT stands for, as hintedOctets
// writes them ("00:1a:2b" by "1x:"): each number in as many octets as its
// field's length, text fields taken as they are ('a' ASCII only, 't' UTF-8).
// Nothing when the text does not fit the hint.
std::optional<std::string> octetsByHint(std::string_view text, std::string_view hint);
// DateAndTime, 8 or 11 octets: "2026-12-09 05:17:08 +00:00", tenths of a
// second only when not 0, no zone for 8 octets.
std::optional<std::string> dateAndTimeText(std::string_view bytes);
// The octets of a DateAndTime written as dateAndTimeText writes it, the
// zone optional; nothing when a field is out of its range.
std::optional<std::string> dateAndTimeOctets(std::string_view text);
// InetAddress by its InetAddressType (1 ipv4, 2 ipv6, 3 ipv4z, 4 ipv6z,
// 16 dns); type 0 goes by the length (4, 16, 8, 20).
std::optional<std::string> inetAddressText(std::string_view bytes, int64_t type);
// Text of 7-bit ASCII ('a') or UTF-8 ('t') with its line breaks marked;
// tabs stay, NULs at the end are dropped, other control bytes do not fit.
std::optional<std::string> displayText(std::string_view bytes, bool utf8);
