#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// How often and after what waits a failed transfer is tried again.
struct RetryPolicy {
    int nRetries = 5;                // tries after the first; 0: none
    std::uint64_t nFirstWaitMs = 2000;  // doubled for each further try
    // The longest wait a Retry-After gets.
    static constexpr std::uint64_t kMaxRetryAfterMs = 120000;

    // The wait before try `retry` (1 for the first try again): the growing
    // wait, or the server's Retry-After (up to the bound) where it gave one.
    std::uint64_t WaitMs(int retry, std::optional<std::uint64_t> retryAfterMs) const;
};

// True for the libcurl results that say the connection, not the request,
// went wrong: refused, reset, cut short, timed out, answered with nothing.
bool IsRetriableTransferError(int curlCode);
// 408, 429 and every 5xx: the server may answer differently later.
bool IsRetriableStatus(int status);

// Retry-After as seconds or as an HTTP date (against `now`); in milliseconds.
std::optional<std::uint64_t> ParseRetryAfter(const std::string& value, std::time_t now);
