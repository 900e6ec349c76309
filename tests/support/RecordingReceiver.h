#pragma once

#include "platform/MessageChannel.h"
#include "resources/Messages.h"
#include "search/UserEngineWalk.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// A main window for engine tests: records every message in arrival order,
// copying the text behind wParam of the messages that carry one. Installed as
// the main window in direct mode for its lifetime, so handlers run on the
// sender's thread, one at a time.
class RecordingReceiver final : public platform::MessageReceiver {
public:
    struct Record {
        unsigned message = 0;
        std::string text;      // copied from wParam for WM_MP3_FOUND, WM_PAGE_RESULT and WM_PAGE_CAPPED
        platform::LPARAM lParam = 0;
        std::string name;      // a user engine's found file: the name it is saved under
    };

    RecordingReceiver() { platform::SetMainWindow(this); }
    ~RecordingReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        Record record{message, {}, lParam, {}};
        if ((message == WM_MP3_FOUND || message == WM_PAGE_RESULT || message == WM_PAGE_CAPPED) && wParam != 0)
            record.text = reinterpret_cast<const char*>(wParam);
        // A user engine's walk: the URL, and its file name or whether its page held any.
        if (message == WM_USER_ENGINE_FOUND && wParam != 0) {
            const auto* find = reinterpret_cast<const UserEngineFind*>(wParam);
            record.text = find->url;
            record.name = find->fileName;
        } else if (message == WM_USER_ENGINE_PAGE && wParam != 0) {
            const auto* page = reinterpret_cast<const UserEnginePage*>(wParam);
            record.text = page->url;
            record.lParam = page->found ? 1 : -1;
        }
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

    std::vector<Record> Records(unsigned message) const
    {
        std::vector<Record> out;
        for (const Record& r : Records()) {
            if (r.message == message)
                out.push_back(r);
        }
        return out;
    }

    std::size_t Count(unsigned message) const { return Records(message).size(); }

    bool WaitFor(unsigned message, std::size_t count, std::chrono::milliseconds timeout) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            std::size_t n = 0;
            for (const Record& r : m_records)
                n += r.message == message ? 1 : 0;
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

}  // namespace testing_support
