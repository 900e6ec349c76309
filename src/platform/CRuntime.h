#pragma once

#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// atoi: leading white space, an optional sign, then the leading digits; text
// without digits gives 0. Values beyond the 32-bit range stop at INT_MAX or
// INT_MIN instead of being undefined, as the Windows run-time library does.
inline int Atoi(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// A length header's value: leading blanks, then the leading digits as an
// unsigned 64-bit number (saturating); text without digits gives 0.
inline std::uint64_t ParseLength(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return UINT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}

// A Content-Length as a download can use it, read as ParseLength reads it:
// nothing when it is above 2^63-1, which no file reaches and which would turn
// negative in a message's signed parameter; such a length counts as unknown.
inline std::optional<std::uint64_t> ParseContentLength(std::string_view text)
{
    const std::uint64_t value = ParseLength(text);
    if (value > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt;
    return value;
}

}  // namespace platform
