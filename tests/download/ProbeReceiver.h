#pragma once

#include "download/DownloadItem.h"
#include "download/DownloadNotices.h"
#include "platform/MessageChannel.h"
#include "resources/Messages.h"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A main window for probe and download tests: records every message with a
// copy of the DownloadItem behind wParam and the text behind lParam of the
// messages that carry one.
class ProbeReceiver final : public platform::MessageReceiver {
public:
    struct Record {
        unsigned message = 0;
        DownloadItem item;
        std::string text;
        platform::WPARAM wParam = 0;
        platform::LPARAM lParam = 0;
    };

    ProbeReceiver() { platform::SetMainWindow(this); }
    ~ProbeReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        Record record{message, {}, {}, wParam, lParam};
        const bool hasItem = message != WM_PROBE_FINISHED && message != WM_DOWNLOAD_FINISHED;
        if (hasItem && wParam != 0)
            record.item = *reinterpret_cast<const DownloadItem*>(wParam);
        const bool hasText = message == WM_FILE_STATUS || message == WM_DOWNLOAD_RATE ||
                             message == WM_DOWNLOAD_TIME_LEFT || message == WM_DOWNLOAD_FAILED ||
                             message == WM_DOWNLOAD_RESTARTED;
        if (hasText && lParam != 0)
            record.text = reinterpret_cast<const char*>(lParam);
        if (message == WM_DOWNLOAD_RETRYING && lParam != 0)
            record.text = reinterpret_cast<const RetryNotice*>(lParam)->strText;
        if (onMessage)
            onMessage(record);
        std::lock_guard lock(m_mutex);
        m_records.push_back(std::move(record));
        m_changed.notify_all();
        return 0;
    }

    std::vector<Record> Records() const
    {
        std::lock_guard lock(m_mutex);
        return m_records;
    }

    // Waits until `count` records satisfy `match`.
    template <typename Match>
    bool WaitFor(Match match, std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            std::size_t n = 0;
            for (const Record& r : m_records)
                n += match(r) ? 1 : 0;
            return n >= count;
        });
    }

    // Runs on the sender's thread before the message is recorded.
    std::function<void(const Record&)> onMessage;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Record> m_records;
};

// The probe uses the system's proxy settings; a proxy from the environment
// would send the tests' requests elsewhere, so they go direct.
inline void ClearProxyEnvironment()
{
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    setenv("no_proxy", "*", 1);
}
