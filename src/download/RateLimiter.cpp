#include "download/RateLimiter.h"

#include "platform/WorkerThreads.h"

#include <algorithm>
#include <thread>

void RateLimiter::SetLimit(std::uint64_t bytesPerSecond)
{
    std::lock_guard lock(m_mutex);
    m_nLimit = bytesPerSecond;
    m_nextFree = Clock::now();
}


void RateLimiter::Take(std::size_t bytes, std::stop_token stop)
{
    Clock::time_point until;
    {
        std::lock_guard lock(m_mutex);
        if (m_nLimit == 0)
            return;
        const Clock::time_point now = Clock::now();
        // Time nobody used is not saved up for a burst later.
        m_nextFree = std::max(m_nextFree, now);
        m_nextFree += std::chrono::microseconds(bytes * 1000000 / m_nLimit);
        until = m_nextFree;
    }
    // Short slices, so that a clear or the program's end is not held up.
    while (Clock::now() < until && !stop.stop_requested() && !platform::IsShuttingDown())
        std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(100)));
}
