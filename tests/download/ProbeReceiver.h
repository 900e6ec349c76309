#pragma once

#include "download/DownloadItem.h"
#include "platform/MessageChannel.h"
#include "resources/Messages.h"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A main window for probe tests: records every message with a copy of the
// DownloadItem behind wParam and, for WM_FILE_STATUS, the text behind lParam.
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
        if (message == WM_FILE_STATUS || message == WM_FILE_SIZE_PROBED)
            record.item = *reinterpret_cast<const DownloadItem*>(wParam);
        if (message == WM_FILE_STATUS)
            record.text = reinterpret_cast<const char*>(lParam);
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
