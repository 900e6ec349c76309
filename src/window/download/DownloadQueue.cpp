// The pages view's queue of downloads, the popup's Retry and the download
// list kept between runs: rows beyond the number of simultaneous downloads
// wait as "Queued"; every change of state is saved at once, byte counts at
// most once a second; the next start restores the list.
#include "window/PagesView.h"

#include "download/HttpDownload.h"
#include "platform/MessageBox.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "settings/SettingsStore.h"
#include "resources/StringTable.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"

#include <algorithm>
#include <limits>

namespace {

// How often byte counts reach the saved list.
constexpr int kSaveIntervalMs = 1000;

DownloadRecord::State StateOf(const DownloadSlot& entry)
{
    if (entry.failed)
        return DownloadRecord::State::Failed;
    if (entry.queued)
        return DownloadRecord::State::Queued;
    if (entry.paused)
        return DownloadRecord::State::Paused;
    return DownloadRecord::State::Running;
}

}  // namespace

std::string CPagesView::MusicFolder() const
{
    // A folder without its trailing separator would put the file beside it.
    std::string folder = m_strMusicDir;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

DownloadSlot* CPagesView::SlotOf(int slot)
{
    if (slot < 0 || slot >= kDownloadSlots)
        return nullptr;
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    return entry.inUse ? &entry : nullptr;
}

bool CPagesView::LaunchDownload(int slot, bool paused)
{
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    auto control = std::make_shared<DownloadControl>();
    if (paused)
        control->RequestPause();
    DownloadOptions options;
    options.limiter = m_pRateLimiter;
    const bool started = platform::AfxBeginThread(
        [item = entry.item, musicDir = MusicFolder(), control, options] {
            return DownloadThreadProc(item, musicDir, control, options);
        });
    if (!started)
        return false;
    entry.worker = std::move(control);
    entry.running = !paused;
    entry.paused = paused;
    entry.queued = false;
    entry.failed = false;
    return true;
}

int CPagesView::RunningDownloads() const
{
    return static_cast<int>(std::count_if(m_downloadSlots.begin(), m_downloadSlots.end(), [](const DownloadSlot& e) {
        return e.inUse && e.worker && e.running && !e.failed;
    }));
}

void CPagesView::StartQueuedDownloads()
{
    for (int row = 0; row < m_lstDownloads->GetItemCount() && RunningDownloads() < m_nSimultaneousDownloads; ++row) {
        const int slot = GetRowSlot(row);
        if (slot < 0 || !m_downloadSlots[static_cast<std::size_t>(slot)].queued)
            continue;
        if (LaunchDownload(slot, false))
            m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, "0");
    }
}

// The save runs once the current event is handled: a burst of changes (50
// rows started in one go) costs one write and one flush to the disk.
void CPagesView::DownloadsChanged()
{
    StartQueuedDownloads();
    // A download that ended may have put its file into the folder.
    UpdateFoundFileStates(true);
    m_bDownloadListDirty = true;
    if (m_bDownloadSaveQueued)
        return;
    m_bDownloadSaveQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_bDownloadSaveQueued = false;
        if (m_bDownloadListDirty)
            SaveDownloadList();
    });
}

void CPagesView::SaveDownloadList()
{
    if (!m_pDownloadStore || m_bDownloadListFrozen)
        return;
    std::vector<DownloadRecord> records;
    for (int row = 0; row < m_lstDownloads->GetItemCount(); ++row) {
        const int slot = GetRowSlot(row);
        if (slot < 0 || !m_downloadSlots[static_cast<std::size_t>(slot)].inUse)
            continue;
        DownloadRecord record = m_downloadSlots[static_cast<std::size_t>(slot)].record;
        record.state = StateOf(m_downloadSlots[static_cast<std::size_t>(slot)]);
        record.nSlot = slot;
        records.push_back(std::move(record));
    }
    m_pDownloadStore->SaveInBackground(std::move(records));
    m_bDownloadListDirty = false;
}

void CPagesView::RestoreDownloads()
{
    m_pDownloadStore = std::make_unique<DownloadListStore>(DownloadListStore::DefaultPath());
    if (m_pDownloadSaveTimer == nullptr) {
        m_pDownloadSaveTimer = new QTimer(this);
        connect(m_pDownloadSaveTimer, &QTimer::timeout, this, [this] {
            if (m_bDownloadListDirty)
                SaveDownloadList();
        });
        m_pDownloadSaveTimer->start(kSaveIntervalMs);
    }
    std::vector<DownloadRecord> records;
    std::string setAside;
    if (m_pDownloadStore->Load(records, &setAside) == DownloadListStore::LoadResult::Damaged) {
        platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_DOWNLOAD_LIST_DAMAGED), setAside));
        return;
    }
    for (DownloadRecord& record : records) {
        if (!IsSafeDownloadName(record.strFileName))
            continue;
        int slot = record.nSlot;
        if (slot < 0 || slot >= kDownloadSlots || m_downloadSlots[static_cast<std::size_t>(slot)].inUse) {
            slot = -1;
            for (int i = 0; i < kDownloadSlots && slot < 0; ++i)
                slot = m_downloadSlots[static_cast<std::size_t>(i)].inUse ? -1 : i;
            if (slot < 0)
                break;
        }
        std::string status = "0";
        if (record.state == DownloadRecord::State::Failed)
            status = record.strStatus;
        else if (record.state == DownloadRecord::State::Paused)
            status = LoadLanguageString(IDS_PAUSED);
        else
            status = LoadLanguageString(IDS_QUEUED);
        CDownloadsModel::Download download;
        download.slot = slot;
        download.fileName = record.strFileName;
        download.size = record.strSize;
        download.received = static_cast<std::int64_t>(record.nReceived);
        if (record.validators.nLength > 0)
            download.range = static_cast<std::int64_t>(record.validators.nLength);
        download.timeLeft = status;
        m_pDownloads->AddDownload(download);

        DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
        entry = DownloadSlot{};
        entry.inUse = true;
        entry.item.nItem = -1;
        entry.item.nSlot = slot;
        entry.item.strUrl = record.strUrl;
        entry.item.strFileName = record.strFileName;
        // A restored row belongs to no found-files list: its status texts go nowhere.
        entry.item.nSearchId = std::numeric_limits<std::uint64_t>::max();
        record.nSlot = slot;
        entry.record = record;
        switch (record.state) {
        case DownloadRecord::State::Failed: entry.failed = true; break;
        case DownloadRecord::State::Paused: LaunchDownload(slot, true); break;
        default: entry.queued = true; break;  // running ones start in list order below
        }
        m_nNextSlot = std::max(m_nNextSlot, slot);
    }
    DownloadsChanged();
}

void CPagesView::StopDownloadsForExit()
{
    SaveDownloadList();
    // The window's last list is on the disk before the window goes.
    if (m_pDownloadStore)
        m_pDownloadStore->Flush();
    m_bDownloadListFrozen = true;
    if (m_pDownloadSaveTimer != nullptr)
        m_pDownloadSaveTimer->stop();
    for (DownloadSlot& entry : m_downloadSlots) {
        if (entry.worker)
            entry.worker->Stop();
        entry = DownloadSlot{};
    }
    m_lstDownloads->DeleteAllItems();
}

void CPagesView::OnRetryDownload()
{
    const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_RESUME, IDS_RESUME_NOT_HANDLED);
    if (slot == -1)
        return;
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    if (!entry.inUse || !entry.failed)
        return;
    const int row = m_lstDownloads->GetFirstSelectedItem();
    entry.failed = false;
    entry.worker.reset();
    entry.record.strStatus.clear();
    if (RunningDownloads() >= m_nSimultaneousDownloads) {
        entry.queued = true;
        m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, LoadLanguageString(IDS_QUEUED));
    } else if (LaunchDownload(slot, false)) {
        m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, "0");
    } else {
        entry.failed = true;
    }
    DownloadsChanged();
}

platform::LRESULT CPagesView::OnDownloadRetryItem(platform::WPARAM, platform::LPARAM)
{
    OnRetryDownload();
    return 0;
}

void CPagesView::ApplyDownloadLimits()
{
    m_nSimultaneousDownloads = std::clamp(m_nSimultaneousDownloads, 1, Settings::kMaxSimultaneousDownloads);
    m_nSpeedLimitKBps = std::clamp(m_nSpeedLimitKBps, 0, Settings::kMaxSpeedLimitKBps);
    if (!m_pRateLimiter)
        m_pRateLimiter = std::make_shared<RateLimiter>();
    m_pRateLimiter->SetLimit(static_cast<std::uint64_t>(m_nSpeedLimitKBps) * 1024);
    if (m_lstDownloads != nullptr)
        StartQueuedDownloads();
}
