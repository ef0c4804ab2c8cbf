// SPDX-License-Identifier: MIT
#pragma once

// The sanitizer builds run several times slower and keep freed memory in
// quarantine: bounds on time scale by SlowBuild, memory checks step aside.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool AddressSanitizer = true;
#else
inline constexpr bool AddressSanitizer = false;
#endif
#else
inline constexpr bool AddressSanitizer = false;
#endif

inline constexpr int SlowBuild = AddressSanitizer ? 4 : 1;
