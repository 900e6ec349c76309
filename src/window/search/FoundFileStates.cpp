// The found files' Status column knows the library: a file whose cleaned name
// is already in the music folder says "In library", one whose URL is in the
// download list says "Downloading", "Queued" or "Failed". The probe's own
// text is kept beside the cell and shows again when none of these holds.
#include "window/PagesView.h"

#include "platform/Files.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/download/ListCtrlEx.h"
#include "window/library/PlayList.h"

#include <QFileSystemWatcher>
#include <QTableWidgetItem>

#include <unordered_map>

namespace {

constexpr int kStatusColumn = 1;
constexpr int kNameColumn = 2;
constexpr int kUrlColumn = 4;
// The status text as the probe last set it.
constexpr int kProbeStatusRole = Qt::UserRole + 2;
// The watcher's events come in bursts while a file is written; one re-read
// of the folder per burst is enough.
constexpr int kRescanDelayMs = 250;

// When two rows of the download list hold the same URL, the one that is
// doing something says most.
int Rank(unsigned id)
{
    return id == IDS_STATUS_DOWNLOADING ? 3 : id == IDS_STATUS_QUEUED ? 2 : 1;
}

unsigned SlotStateText(const DownloadSlot& slot)
{
    if (slot.failed)
        return IDS_STATUS_FAILED;
    if (slot.queued)
        return IDS_STATUS_QUEUED;
    return IDS_STATUS_DOWNLOADING;
}

using DownloadStates = std::unordered_map<std::string, unsigned>;

DownloadStates DownloadStatesByUrl(const CPagesView& view)
{
    DownloadStates states;
    for (const DownloadSlot& slot : view.m_downloadSlots) {
        if (!slot.inUse || slot.item.strUrl.empty())
            continue;
        const unsigned id = SlotStateText(slot);
        auto [it, added] = states.emplace(slot.item.strUrl, id);
        if (!added && Rank(id) > Rank(it->second))
            it->second = id;
    }
    return states;
}

void ShowState(CListCtrlEx& list, int row, const DownloadStates& downloads,
               const std::unordered_set<std::string>& libraryNames)
{
    QTableWidgetItem* cell = list.item(row, kStatusColumn);
    if (cell == nullptr)
        return;
    if (!cell->data(kProbeStatusRole).isValid())
        cell->setData(kProbeStatusRole, cell->text());
    // A download of the URL says more than a file of the name: it may be
    // the very download that is replacing that file.
    unsigned id = 0;
    if (const auto it = downloads.find(list.GetItemText(row, kUrlColumn)); it != downloads.end())
        id = it->second;
    else if (libraryNames.count(list.GetItemText(row, kNameColumn)) != 0)
        id = IDS_STATUS_IN_LIBRARY;
    const QString text =
        id != 0 ? QString::fromStdString(LoadLanguageString(id)) : cell->data(kProbeStatusRole).toString();
    if (cell->text() != text)
        cell->setText(text);
}

}  // namespace

void CPagesView::UpdateFoundFileStates(bool rereadFolder)
{
    if (m_lstFiles == nullptr)
        return;
    if (rereadFolder) {
        UpdateFoundFileStates(ListMusicFolder(m_strMusicDir).names);
        return;
    }
    const DownloadStates downloads = DownloadStatesByUrl(*this);
    for (int row = 0; row < m_lstFiles->GetItemCount(); ++row)
        ShowState(*m_lstFiles, row, downloads, m_libraryNames);
}

void CPagesView::UpdateFoundFileStates(std::unordered_set<std::string> libraryNames)
{
    if (m_lstFiles == nullptr)
        return;
    WatchMusicFolder();
    m_libraryNames = std::move(libraryNames);
    UpdateFoundFileStates(false);
}

void CPagesView::UpdateFoundFileState(int row)
{
    // The folder is read once before the first row needs it, then follows
    // the watcher and the download list.
    if (m_pMusicWatcher == nullptr)
        UpdateFoundFileStates(true);
    if (m_lstFiles != nullptr && row >= 0 && row < m_lstFiles->GetItemCount())
        ShowState(*m_lstFiles, row, DownloadStatesByUrl(*this), m_libraryNames);
}

void CPagesView::WatchMusicFolder()
{
    if (m_pMusicWatcher == nullptr) {
        m_pMusicWatcher = new QFileSystemWatcher(this);
        m_pLibraryRescan = new QTimer(this);
        m_pLibraryRescan->setSingleShot(true);
        m_pLibraryRescan->setInterval(kRescanDelayMs);
        connect(m_pLibraryRescan, &QTimer::timeout, this, [this] { UpdateFoundFileStates(true); });
        connect(m_pMusicWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
            if (!m_pLibraryRescan->isActive())
                m_pLibraryRescan->start();
        });
    }
    const QString folder = QString::fromStdString(m_strMusicDir);
    const QStringList watched = m_pMusicWatcher->directories();
    if (watched.size() == 1 && watched.front() == folder)
        return;
    if (!watched.isEmpty())
        m_pMusicWatcher->removePaths(watched);
    // A folder that does not exist yet is looked at again at the next change.
    m_pMusicWatcher->addPath(folder);
}
