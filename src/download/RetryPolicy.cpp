#include "download/RetryPolicy.h"

#include <algorithm>
#include <charconv>
#include <ctime>

std::uint64_t RetryPolicy::WaitMs(int retry, std::optional<std::uint64_t> retryAfterMs) const
{
    // A server that asks for longer than the bound is tried again at the bound.
    if (retryAfterMs)
        return std::min(*retryAfterMs, kMaxRetryAfterMs);
    const int doublings = std::clamp(retry - 1, 0, 20);
    return std::min<std::uint64_t>(nFirstWaitMs << doublings, 3600000);
}

bool IsRetriableTransferError(int curlCode)
{
    switch (curlCode) {
    case 7:   // could not connect (refused)
    case 16:  // HTTP/2 framing broken
    case 18:  // body cut short
    case 28:  // timed out
    case 35:  // TLS handshake broken off
    case 52:  // the server answered nothing
    case 55:  // sending failed
    case 56:  // receiving failed (reset)
    case 92:  // HTTP/2 stream broken
        return true;
    default:
        return false;
    }
}

bool IsRetriableStatus(int status)
{
    return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

std::optional<std::uint64_t> ParseRetryAfter(const std::string& value, std::time_t now)
{
    if (value.empty())
        return std::nullopt;
    if (value.find_first_not_of("0123456789") == std::string::npos) {
        std::uint64_t seconds = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error != std::errc{} || seconds > 86400u * 365)
            return std::nullopt;
        return seconds * 1000;
    }
    std::tm tm{};
    const char* end = ::strptime(value.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (end == nullptr || *end != '\0')
        return std::nullopt;
    const std::time_t at = ::timegm(&tm);
    return at <= now ? 0 : static_cast<std::uint64_t>(at - now) * 1000;
}
