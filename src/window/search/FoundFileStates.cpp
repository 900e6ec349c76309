// The found files' Status column knows the library: a file whose cleaned name
// is already in the music folder says "In library", one whose URL is in the
// download list says "Downloading", "Queued" or "Failed". The probe's own
// text is kept beside the cell and shows again when none of these holds.
#include "window/PagesView.h"

#include "window/download/DownloadController.h"

#include "platform/Files.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/library/PlayList.h"
#include "window/search/FoundFilesModel.h"

#include <QFileSystemWatcher>

#include <optional>
#include <unordered_map>

namespace {

// The watcher's events come in bursts while a file is written; one re-read
// of the folder per burst is enough.
constexpr int kRescanDelayMs = 250;

// When two rows of the download list hold the same URL, the one that is
// doing something says most.
int Rank(unsigned id)
{
    return id == IDS_STATUS_DOWNLOADING ? 3 : id == IDS_STATUS_QUEUED ? 2 : 1;
}

// The state that says more of two, 0 standing for none.
unsigned Stronger(unsigned known, unsigned id)
{
    return known == 0 || Rank(id) > Rank(known) ? id : known;
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
    for (const DownloadSlot& slot : view.Downloads().AllSlots()) {
        if (!slot.inUse || slot.item.strUrl.empty())
            continue;
        unsigned& known = states[slot.item.strUrl];
        known = Stronger(known, SlotStateText(slot));
    }
    return states;
}

// The state the download list gives one URL, 0 when no row holds it: what
// the map above says of it, without building the map for a single row.
class OneDownloadState {
public:
    explicit OneDownloadState(const CPagesView& view) : m_view(view) {}
    unsigned StateOf(const CFoundFilesModel& files, int row) const
    {
        unsigned best = 0;
        std::optional<QString> url;  // read from the row once a download is in the list
        for (const DownloadSlot& slot : m_view.Downloads().AllSlots()) {
            if (!slot.inUse)
                continue;
            if (!url)
                url = files.Text(row, CFoundFilesModel::Url);
            if (QString::fromStdString(slot.item.strUrl) != *url)
                continue;
            best = Stronger(best, SlotStateText(slot));
        }
        return best;
    }

private:
    const CPagesView& m_view;
};

class AllDownloadStates {
public:
    explicit AllDownloadStates(const CPagesView& view) : m_states(DownloadStatesByUrl(view)) {}
    unsigned StateOf(const CFoundFilesModel& files, int row) const
    {
        if (m_states.empty())
            return 0;
        const auto it = m_states.find(files.Text(row, CFoundFilesModel::Url).toStdString());
        return it != m_states.end() ? it->second : 0;
    }

private:
    DownloadStates m_states;
};

// The state the library or the download list gives a row, 0 for none.
template <typename Downloads>
unsigned StateOf(const CFoundFilesModel& files, int row, const Downloads& downloads,
                 const std::unordered_set<std::string>& libraryNames)
{
    // A download of the URL says more than a file of the name: it may be
    // the very download that is replacing that file.
    unsigned id = downloads.StateOf(files, row);
    if (id == 0 && !libraryNames.empty() &&
        libraryNames.count(files.Text(row, CFoundFilesModel::Name).toStdString()) != 0)
        id = IDS_STATUS_IN_LIBRARY;
    return id;
}

}  // namespace

void CPagesView::UpdateFoundFileStates(bool rereadFolder)
{
    if (m_pFoundFiles == nullptr)
        return;
    if (rereadFolder) {
        UpdateFoundFileStates(ListMusicFolder(m_strMusicDir).names);
        return;
    }
    const AllDownloadStates downloads(*this);
    for (int row = 0; row < m_pFoundFiles->Count(); ++row)
        m_pFoundFiles->SetState(row, StateOf(*m_pFoundFiles, row, downloads, m_libraryNames));
}

void CPagesView::UpdateFoundFileStates(std::unordered_set<std::string> libraryNames)
{
    if (m_pFoundFiles == nullptr)
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
    if (m_pFoundFiles != nullptr && row >= 0 && row < m_pFoundFiles->Count())
        m_pFoundFiles->SetState(row, StateOf(*m_pFoundFiles, row, OneDownloadState(*this), m_libraryNames));
}

void CPagesView::SetProbeStatus(int row, const std::string& text)
{
    if (m_pFoundFiles == nullptr || row < 0 || row >= m_pFoundFiles->Count())
        return;
    if (m_pMusicWatcher == nullptr)
        UpdateFoundFileStates(true);
    // Kept in the row and shown unless the row's state says more.
    m_pFoundFiles->SetProbeStatus(row, text);
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
