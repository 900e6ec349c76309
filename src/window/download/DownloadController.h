#pragma once

#include "download/DownloadItem.h"
#include "download/DownloadNotices.h"
#include "download/DownloadListStore.h"
#include "download/DownloadSlot.h"
#include "download/RateLimiter.h"

#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class CDownloadsModel;
class ProbeQueue;
struct ResumeState;

// The downloads' state and rules, apart from any widget: the 500-slot ring,
// the queue beyond the number of simultaneous downloads, the shared rate
// limiter, the download list kept between runs and the probes of found
// files. It writes every change of a download's row into the list's model;
// the pages view turns commands into calls, the frame's handlers turn the
// workers' messages into calls.
class CDownloadController final {
public:
    using Slots = std::array<DownloadSlot, kDownloadSlots>;

    // What the controller asks of its owner.
    struct Owner {
        // The download list has changed: a found file's state may follow it.
        std::function<void()> listChanged;
        // The music folder as the user set it (a trailing separator or not).
        std::function<std::string()> musicDir;
    };

    CDownloadController(CDownloadsModel& model, Owner owner);
    // Transfers still running are let go (their part files stay): none
    // keeps reporting for a list that is gone.
    ~CDownloadController();
    CDownloadController(const CDownloadController&) = delete;
    CDownloadController& operator=(const CDownloadController&) = delete;

    // --- slots
    // The found file a new download fetches, as its row shows it.
    struct Source {
        std::string name;
        std::string size;
        // The row's name is the file's name (a podcast's address may lack ".mp3").
        bool nameIsFileName = false;
    };
    // Takes the next free slot from the ring position, adds the row and
    // starts (or queues) the worker for `item`, which gets its slot and file
    // name; false when nothing was started.
    bool StartDownload(DownloadItem& item, const Source& source);
    // The row of download slot `slot`, or -1.
    int FindRowBySlot(int slot) const;
    // The slot of a download row; -1 for row -1 or a number outside the table.
    int GetRowSlot(int row) const;
    // Ends a download for good and forgets it: the slot is free again.
    void FreeSlot(int slot);
    const Slots& AllSlots() const { return m_downloadSlots; }
    const DownloadSlot& Slot(int slot) const { return m_downloadSlots.at(static_cast<std::size_t>(slot)); }
    int RunningDownloads() const;

    // --- the commands on one slot (or all rows)
    void Pause(int slot);
    void PauseAll();
    void Resume(int slot);
    // Clear ends the transfer for good and removes its row.
    void Clear(int slot);
    void ClearAll();
    void Retry(int slot);

    // --- the queue and the saved list
    // Starts queued rows in list order while fewer than the limit run.
    void StartQueuedDownloads();
    // After a change of state: queued rows move up and the list is saved.
    void DownloadsChanged();
    void SaveDownloadList();
    void RestoreDownloads(const std::string& listPath = DownloadListStore::DefaultPath());
    // At the window's end: the list is saved and the transfers end, keeping
    // their part files for the next start.
    void StopDownloadsForExit();

    // After a change of language: every row's figures and states are drawn
    // again in the new one.
    void ShowStatesInLanguage();

    // --- limits: both take effect at once
    int SimultaneousDownloads() const { return m_nSimultaneousDownloads; }
    int SpeedLimitKBps() const { return m_nSpeedLimitKBps; }
    void SetLimits(int simultaneous, int speedLimitKBps);

    ProbeQueue& Probes() { return *m_pProbes; }

    // --- what the workers report (slot -1: no item)
    void OnSize(int slot, std::uint64_t length);
    void OnProgress(int slot, std::int64_t received);
    void OnTimeLeft(int slot, std::uint64_t seconds, std::uint64_t received, std::uint64_t length);
    void OnRate(int slot, double bytesPerSecond);
    void OnDone(int slot);
    // Without a slot the newest row is the declined one.
    void OnDeclined(std::optional<int> slot);
    // Marks the row failed; false when there is no row (or no text) for it.
    // The caller then tells the found file and calls DownloadsChanged().
    bool OnFailed(int slot, const char* text);
    // The row counts the wait down, once a second, until the next try reports.
    void OnRetrying(int slot, const RetryNotice& notice);
    void OnValidators(int slot, const ResumeState& validators);
    // The download went on at `url`; the address left is tried again by a
    // Retry, after the others, where `leftMayWork`.
    void OnSource(int slot, const std::string& url, bool leftMayWork = false);

private:
    std::string MusicFolder() const;
    // The slot's entry while its row is in the list, else null.
    DownloadSlot* InUse(int slot);
    // Starts the slot's worker, paused from the start where asked.
    bool LaunchDownload(int slot, bool paused);
    // The row of `slot`; `what` (when not empty) is shown when there is none.
    int RowOrSay(int slot, const std::string& what) const;
    // The slot's row is paused or failed: figures still on their way are dropped.
    bool StandsStill(int slot);
    // Removes `row` and frees its slot.
    void RemoveRow(int row, int slot);
    // Pauses one slot's transfer (or its wait for a place after a resume).
    void PauseSlot(int slot);
    // Beyond the limit a download waits its turn; a file already in the folder
    // is asked about now, not when its turn comes. False when the user keeps
    // the file: the row is gone then.
    bool Queue(int slot);
    // The row's wait before a retry, in whole seconds left.
    void ShowRetryCountdowns();
    void StopCountdown(int slot) { m_retryCountdowns.erase(slot); }

    CDownloadsModel& m_model;
    Owner m_owner;
    Slots m_downloadSlots{};
    int m_nNextSlot = -1;  // the ring position
    int m_nSimultaneousDownloads = 4;
    int m_nSpeedLimitKBps = 0;  // 0: none
    std::shared_ptr<RateLimiter> m_pRateLimiter;
    std::unique_ptr<ProbeQueue> m_pProbes;
    std::unique_ptr<DownloadListStore> m_pDownloadStore;
    bool m_bDownloadListDirty = false;   // byte counts changed since the last save
    bool m_bDownloadListFrozen = false;  // the window ends: the saved list stays as it is
    QTimer m_saveSoon;                   // a save after the current event, 250 ms after the last at least
    std::chrono::steady_clock::time_point m_lastSave;
    QTimer m_saveTimer;                  // byte counts, at most once a second
    struct RetryCountdown {
        std::chrono::steady_clock::time_point nextTry;
        RetryNotice notice;
    };
    std::map<int, RetryCountdown> m_retryCountdowns;  // by slot
    QTimer m_countdownTimer;
};
