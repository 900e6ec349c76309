#pragma once

#include "platform/MessageChannel.h"
#include "resources/Messages.h"
#include "search/SearchMessages.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

// A main window for engine tests: records every message in arrival order,
// with the URL and number of the search messages that carry them. Installed as
// the main window in direct mode for its lifetime, so handlers run on the
// sender's thread, one at a time.
class RecordingReceiver final : public platform::MessageReceiver {
public:
    struct Record {
        unsigned message = 0;
        std::string text;      // the URL of a found file or a page; why a user engine's walk ended early
        platform::LPARAM value = 0;  // a page: 1 with MP3 links, else -1; otherwise the engine's number
        std::string name;      // a user engine's found file: the name it is saved under
    };

    RecordingReceiver() { platform::SetMainWindow(this); }
    ~RecordingReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        Record record{message, {}, 0, {}};
        platform::Dispatch<Mp3Found, PageResult, PageCapped, PageFinished, UserEngineFind, UserEnginePage,
                           UserEngineFirstPage, UserEngineEnded>(
            message, wParam, lParam,
            platform::Overloaded{
                [&](const Mp3Found& m) { record = {message, m.url, m.engine, {}}; },
                [&](const PageResult& m) { record = {message, m.url, m.found ? 1 : -1, {}}; },
                [&](const PageCapped& m) { record = {message, m.url, 0, {}}; },
                [&](const PageFinished& m) { record = {message, {}, m.engine, {}}; },
                [&](const UserEngineFind& m) { record = {message, m.url, m.engine, m.fileName}; },
                [&](const UserEnginePage& m) { record = {message, m.url, m.found ? 1 : -1, {}}; },
                [&](const UserEngineFirstPage& m) { record = {message, {}, m.engine, {}}; },
                [&](const UserEngineEnded& m) { record = {message, m.problem, m.engine, {}}; },
            });
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
