#include "download/DownloadControl.h"

#include "platform/WorkerThreads.h"

#include <algorithm>
#include <chrono>

void DownloadControl::RequestPause()
{
    std::lock_guard lock(m_mutex);
    m_bPaused = true;
}

void DownloadControl::Release()
{
    {
        std::lock_guard lock(m_mutex);
        m_bPaused = false;
    }
    m_changed.notify_all();
}

void DownloadControl::Abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop.request_stop();
    }
    m_changed.notify_all();
}

void DownloadControl::Stop()
{
    m_bKeepPart = true;
    Abort();
}

void DownloadControl::PauseAt(std::uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_nPauseAt = bytes;
}

void DownloadControl::SetOnPaused(std::function<void(std::uint64_t)> onPaused)
{
    std::lock_guard lock(m_mutex);
    m_onPaused = std::move(onPaused);
}

bool DownloadControl::IsPauseRequested() const
{
    std::lock_guard lock(m_mutex);
    return m_bPaused;
}

bool DownloadControl::PausePoint(std::uint64_t bytesReceived)
{
    std::unique_lock lock(m_mutex);
    if (bytesReceived >= m_nPauseAt) {
        m_nPauseAt = std::numeric_limits<std::uint64_t>::max();
        m_bPaused = true;
    }
    if (m_bPaused && !m_stop.stop_requested() && m_onPaused) {
        const auto onPaused = m_onPaused;
        lock.unlock();
        onPaused(bytesReceived);
        lock.lock();
    }
    // Shut-down has no hand on this condition, so the wait looks at it now
    // and then; a paused transfer must not hold the process's end.
    while (m_bPaused && !m_stop.stop_requested() && !platform::IsShuttingDown())
        m_changed.wait_for(lock, std::chrono::milliseconds(100));
    return !m_stop.stop_requested() && !platform::IsShuttingDown();
}

bool DownloadControl::WaitFor(std::uint64_t ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock lock(m_mutex);
    while (!m_stop.stop_requested() && !platform::IsShuttingDown() && std::chrono::steady_clock::now() < until)
        m_changed.wait_until(lock, std::min(until, std::chrono::steady_clock::now() + std::chrono::milliseconds(100)));
    return !m_stop.stop_requested() && !platform::IsShuttingDown();
}
