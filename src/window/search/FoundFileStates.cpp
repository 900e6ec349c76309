// The found files' Status column knows the library: a file whose cleaned name
// is already in the music folder says "In library", one whose URL is in the
// download list says "Downloading", "Queued" or "Failed". The probe's own
// text is kept beside the cell and shows again when none of these holds.
#include "window/search/SearchController.h"

#include "platform/Files.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/library/PlayList.h"
#include "window/search/FoundFilesModel.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <array>
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
using Slots = std::array<DownloadSlot, kDownloadSlots>;

DownloadStates DownloadStatesByUrl(const Slots& table)
{
    DownloadStates states;
    for (const DownloadSlot& slot : table) {
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
    explicit OneDownloadState(const Slots& table) : m_slots(table) {}
    unsigned StateOf(const FoundFile& file) const
    {
        unsigned best = 0;
        for (const DownloadSlot& slot : m_slots) {
            if (slot.inUse && slot.item.strUrl == file.url)
                best = Stronger(best, SlotStateText(slot));
        }
        return best;
    }

private:
    const Slots& m_slots;
};

class AllDownloadStates {
public:
    explicit AllDownloadStates(const Slots& table) : m_states(DownloadStatesByUrl(table)) {}
    unsigned StateOf(const FoundFile& file) const
    {
        if (m_states.empty())
            return 0;
        const auto it = m_states.find(file.url);
        return it != m_states.end() ? it->second : 0;
    }

private:
    DownloadStates m_states;
};

// The state the library or the download list gives a row, 0 for none.
template <typename Downloads>
unsigned StateOf(const FoundFile& file, const Downloads& downloads, const std::unordered_set<std::string>& libraryNames)
{
    // A download of the URL says more than a file of the name: it may be
    // the very download that is replacing that file.
    unsigned id = downloads.StateOf(file);
    if (id == 0 && !libraryNames.empty() && libraryNames.count(file.fileName) != 0)
        id = IDS_STATUS_IN_LIBRARY;
    return id;
}

}  // namespace

void CSearchController::UpdateFoundFileStates(bool rereadFolder)
{
    if (rereadFolder) {
        UpdateFoundFileStates(ListMusicFolder(m_owner.musicDir()).names);
        return;
    }
    const AllDownloadStates downloads(m_owner.downloadSlots());
    for (int row = 0; row < m_pFiles->Count(); ++row)
        m_pFiles->SetState(row, StateOf(*m_pFiles->File(row), downloads, m_libraryNames));
}

void CSearchController::UpdateFoundFileStates(std::unordered_set<std::string> libraryNames)
{
    WatchMusicFolder();
    m_libraryNames = std::move(libraryNames);
    UpdateFoundFileStates(false);
}

void CSearchController::UpdateFoundFileState(int row)
{
    // The folder is read once before the first row needs it, then follows
    // the watcher and the download list.
    if (m_pMusicWatcher == nullptr)
        UpdateFoundFileStates(true);
    if (const FoundFile* file = m_pFiles->File(row))
        m_pFiles->SetState(row, StateOf(*file, OneDownloadState(m_owner.downloadSlots()), m_libraryNames));
}

void CSearchController::WatchMusicFolder()
{
    if (m_pMusicWatcher == nullptr) {
        m_pMusicWatcher = std::make_unique<QFileSystemWatcher>();
        m_pLibraryRescan = std::make_unique<QTimer>();
        m_pLibraryRescan->setSingleShot(true);
        m_pLibraryRescan->setInterval(kRescanDelayMs);
        QObject::connect(m_pLibraryRescan.get(), &QTimer::timeout, m_pLibraryRescan.get(),
                         [this] { UpdateFoundFileStates(true); });
        QObject::connect(m_pMusicWatcher.get(), &QFileSystemWatcher::directoryChanged, m_pLibraryRescan.get(),
                         [this] {
                             if (!m_pLibraryRescan->isActive())
                                 m_pLibraryRescan->start();
                         });
    }
    const QString folder = QString::fromStdString(m_owner.musicDir());
    const QStringList watched = m_pMusicWatcher->directories();
    if (watched.size() == 1 && watched.front() == folder)
        return;
    if (!watched.isEmpty())
        m_pMusicWatcher->removePaths(watched);
    // A folder that does not exist yet is looked at again at the next change.
    m_pMusicWatcher->addPath(folder);
}
