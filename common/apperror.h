// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>

// A failure the user must see. The message is finished text (UTF-8); the
// application's one top-level handler shows it, nobody else catches it.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const std::string &message) : std::runtime_error(message) {}
};

// printf-style formatting for the message templates of messages.h.
template<typename... Args>
std::string formatMessage(const char *templ, Args &&...args)
{
    if constexpr (sizeof...(Args) == 0) {
        return templ;
    } else {
        const int n = std::snprintf(nullptr, 0, templ, std::forward<Args>(args)...);
        std::string out(n > 0 ? size_t(n) : 0, '\0');
        if (n > 0)
            std::snprintf(out.data(), out.size() + 1, templ, std::forward<Args>(args)...);
        return out;
    }
}

template<typename... Args>
[[noreturn]] void throwMessage(const char *templ, Args &&...args)
{
    throw AppError(formatMessage(templ, std::forward<Args>(args)...));
}
