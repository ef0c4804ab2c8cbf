// SPDX-License-Identifier: MIT
#pragma once

// What the program and norvane-mibcheck say to each other, one line each.
// To the checker, on its standard input, the files in the order Net-SNMP
// notes them: "use PATH" (noted only) or "check PATH" (noted and parsed).
// From the checker, on its standard output, as it goes: "checking PATH" as
// it turns to a file, "parsing PATH" and "parsed PATH" around each file
// Net-SNMP reads (imports too), "checked PATH" once the file is read with
// all it imports, and at a fatal end "failed time", "failed memory" or
// "failed crash". Exit status 0 after the last file.
//
//   norvane-mibcheck --seconds N --megabytes M

#include <string_view>

namespace mibcheck {
inline constexpr std::string_view Use = "use ";
inline constexpr std::string_view Check = "check ";
inline constexpr std::string_view Checking = "checking ";
inline constexpr std::string_view Parsing = "parsing ";
inline constexpr std::string_view Parsed = "parsed ";
inline constexpr std::string_view Checked = "checked ";
inline constexpr std::string_view FailedTime = "failed time";
inline constexpr std::string_view FailedMemory = "failed memory";
inline constexpr std::string_view FailedCrash = "failed crash";
inline constexpr int FailedExit = 3;
} // namespace mibcheck
