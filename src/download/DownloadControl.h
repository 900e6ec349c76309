#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <stop_token>

// What a download shares with the list that started it: the pause request,
// the request to end the transfer, and whether the worker has returned. The
// list sets and releases the requests; the worker takes them itself at its
// pause points, never by being stopped from outside.
class DownloadControl final {
public:
    // --- the list's side (any thread)
    void RequestPause();
    void Release();
    // Ends the transfer: a paused worker wakes up, the worker closes its
    // connection, deletes its partial file and reports nothing more.
    void Abort();
    // Ends the transfer as Abort does, but the part file stays for the next
    // start (the window closes with the transfer in its saved list).
    void Stop();
    bool KeepsPartFile() const { return m_bKeepPart; }
    // Pauses the transfer at its first pause point at or after `bytes`
    // received, as if RequestPause had been called then.
    void PauseAt(std::uint64_t bytes);
    // Told on the worker's thread each time the worker has stopped at a pause.
    void SetOnPaused(std::function<void(std::uint64_t bytesReceived)> onPaused);

    bool IsPauseRequested() const;
    bool IsAborted() const { return m_stop.stop_requested(); }
    bool HasEnded() const { return m_bEnded; }

    // Stopped when the transfer is aborted: messages sent with it are dropped.
    std::stop_token Token() const { return m_stop.get_token(); }

    // --- the worker's side
    // A pause point: waits while a pause is requested. False when the
    // transfer is to end (aborted, or the process shuts down).
    bool PausePoint(std::uint64_t bytesReceived);
    // Waits `ms` milliseconds before a retry. False when the transfer is to
    // end meanwhile (aborted, or the process shuts down).
    bool WaitFor(std::uint64_t ms);
    void MarkEnded() { m_bEnded = true; }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bPaused = false;
    std::uint64_t m_nPauseAt = std::numeric_limits<std::uint64_t>::max();
    std::function<void(std::uint64_t)> m_onPaused;
    std::stop_source m_stop;
    std::atomic<bool> m_bEnded{false};
    std::atomic<bool> m_bKeepPart{false};
};
