// SPDX-License-Identifier: MIT
#pragma once

// The Value column as the MIB describes the object ("MIB Values"): enum
// labels, display hints, DateAndTime, line breaks marked, InetAddress by its
// type, units, OID values by name. Texts are UTF-8. Every function gives
// nothing where the MIB rendering does not apply (the value's tag is not the
// object's syntax, a number outside its range or enumeration, bytes that do
// not fit the hint or the size); the row then shows its specified text.

#include "engine/mibinfo.h"
#include "engine/snmpmgr.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// What a line break in a text becomes: CR LF, LF and CR alike.
inline constexpr std::string_view LineBreakMark = "\u21B5";

// The number another object of the rows at hand holds for this OID (an
// object and its instance); nothing when no row holds it.
using MibRowLookup = std::function<std::optional<int64_t>(std::span<const uint32_t> oid)>;

// An InetAddress is read by its InetAddressType, the instance of the same
// row the lookup finds; without one by its length alone, and then *byLength
// is set (where given): a name of 4 or 16 characters would read as an
// address too.
std::optional<std::string> mibValueText(const SnmpVarBind &binding, const MibObject &object,
                                        const MibRowLookup &lookup = {}, bool *byLength = nullptr);

// The pieces, shared with the index decoding.

// "label(n)", or nothing for a number the list does not name.
std::optional<std::string> enumText(int64_t value, const MibObject &object);
// An octet string by an RFC 2579 DISPLAY-HINT ("1x:", "255a",
// "1d.1d.1d.1d"); hex digits padded to the octets they show.
std::optional<std::string> hintedOctets(std::string_view bytes, std::string_view hint);
// DateAndTime, 8 or 11 octets: "2026-12-09 05:17:08 +00:00", tenths of a
// second only when not 0, no zone for 8 octets.
std::optional<std::string> dateAndTimeText(std::string_view bytes);
// InetAddress by its InetAddressType (1 ipv4, 2 ipv6, 3 ipv4z, 4 ipv6z,
// 16 dns); type 0 goes by the length (4, 16, 8, 20).
std::optional<std::string> inetAddressText(std::string_view bytes, int64_t type);
// An OID as the name column writes it ("IF-MIB::ifMIB",
// "SNMPv2-SMI::enterprises.9.1.516"), where a module names some node on its
// path below the roots.
std::optional<std::string> objectName(std::span<const uint32_t> ids);
// BITS: the octets in hex and the bits set, by name where the list names
// them ("00 40 gamma(9)"); bit 0 is the first octet's high bit.
std::string bitsText(std::string_view bytes, const MibObject &object);
// Text of 7-bit ASCII ('a') or UTF-8 ('t') with its line breaks marked;
// tabs stay, NULs at the end are dropped, other control bytes do not fit.
std::optional<std::string> displayText(std::string_view bytes, bool utf8);
