#pragma once

#include "download/DownloadItem.h"
#include "download/DownloadMessages.h"
#include "download/TransferFigures.h"
#include "platform/MessageChannel.h"
#include "resources/Messages.h"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A main window for probe and download tests: records every message with
// the row, search or slot it names and its text or number.
class ProbeReceiver final : public platform::MessageReceiver {
public:
    struct Record {
        unsigned message = 0;
        DownloadItem item;  // what the message names: nItem and nSearchId, or nSlot
        std::string text;
        int failed = 0;     // a worker's end: 1 after a failure
        std::uint64_t value = 0;
        Mp3Head head;       // a probed size's head
        bool sizeKnown = true;  // a probed size: false when the server stated none
    };

    ProbeReceiver() { platform::SetMainWindow(this); }
    ~ProbeReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        Record record{message, {}, {}, 0, 0, {}};
        const auto slot = [&](int nSlot) { record.item.nSlot = nSlot; };
        platform::Dispatch<FileStatus, FileSizeProbed, ProbeFinished, DownloadSize, DownloadProgress, DownloadRate,
                           DownloadTimeLeft, DownloadDone, DownloadDeclined, DownloadFailed, DownloadRetrying,
                           DownloadResumed, DownloadRestarted, DownloadChecked, DownloadValidators, DownloadSource,
                           DownloadFinished>(
            message, wParam, lParam,
            platform::Overloaded{
                [&](const FileStatus& m) {
                    record.item.nItem = m.row;
                    record.item.nSearchId = m.searchId;
                    record.text = m.text;
                    record.value = m.available ? 1 : 0;
                },
                [&](const FileSizeProbed& m) {
                    record.item.nItem = m.row;
                    record.item.nSearchId = m.searchId;
                    record.value = m.size;
                    record.head = m.head;
                    record.sizeKnown = m.sizeKnown;
                },
                [&](const ProbeFinished& m) { record.failed = m.failed ? 1 : 0; },
                [&](const DownloadFinished& m) { record.failed = m.failed ? 1 : 0; },
                [&](const DownloadSize& m) { slot(m.slot), record.value = m.length; },
                [&](const DownloadProgress& m) { slot(m.slot), record.value = m.bytes; },
                [&](const DownloadResumed& m) { slot(m.slot), record.value = m.from; },
                [&](const DownloadRate& m) { slot(m.slot), record.text = FormatRateText(m.bytesPerSecond); },
                [&](const DownloadTimeLeft& m) {
                    slot(m.slot), record.text = FormatTimeLeftText(m.seconds, m.received, m.length);
                },
                [&](const DownloadRestarted& m) { slot(m.slot), record.text = m.reason; },
                [&](const DownloadSource& m) { slot(m.slot), record.text = m.url; },
                [&](const DownloadRetrying& m) { slot(m.slot), record.text = m.notice.strText; },
                [&](const DownloadFailed& m) {
                    slot(m.slot);
                    record.item.nItem = m.row;
                    record.item.nSearchId = m.searchId;
                    record.text = m.text;
                },
                [&](const auto& m) { slot(m.slot); },  // done, declined, checked, validators
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
