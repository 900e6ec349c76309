#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stop_token>

// One speed limit shared by every running transfer: each read takes its
// bytes' share of time, and a reader that is ahead of the limit waits.
// Thread-safe; the limit can change while transfers run.
class RateLimiter final {
public:
    // Bytes per second; 0: no limit.
    void SetLimit(std::uint64_t bytesPerSecond);

    // Accounts for `bytes` just read and waits until reading them was within
    // the limit. Returns early when `stop` is requested or the program ends.
    void Take(std::size_t bytes, std::stop_token stop);

private:
    using Clock = std::chrono::steady_clock;
    mutable std::mutex m_mutex;
    std::uint64_t m_nLimit = 0;
    Clock::time_point m_nextFree{};
};
