// SPDX-License-Identifier: MIT
#pragma once

// The small texts of recordings, shared by their formats: dotted OIDs,
// decimal numbers and hex octets, read strictly (a whole field or nothing).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace recordtext {

// The most sub-identifiers an OID of a recording may have: SNMP's own limit.
inline constexpr size_t MaxOidLength = 128;

// "1.3.6.1" or ".1.3.6.1" (leading zeros read as decimal, as snmpsim reads
// them); "" and "." are the empty OID. False with the reason when it is none.
bool readOid(std::string_view text, std::vector<uint32_t> &ids, std::string &reason);
// "1.3.6.1", without a leading dot.
void appendOid(std::string &out, const std::vector<uint32_t> &ids);

// The whole text as a decimal number within the type's range.
bool readNumber(std::string_view text, int32_t &value);
bool readNumber(std::string_view text, uint32_t &value);
bool readNumber(std::string_view text, uint64_t &value);

// Hex digits, two an octet, either case, no separators.
bool readHex(std::string_view text, std::string &bytes);
// Lower-case, two digits an octet, as snmpsim writes them.
void appendHex(std::string &out, std::string_view bytes);

// The text as it is meant to be shown in a message: printable ASCII kept,
// the rest as \xNN, and at most 40 characters of it.
std::string quoted(std::string_view text);

} // namespace recordtext
