// The play-list page: the music folder's MP3 files, played with the desktop's
// application, renamed and deleted. The folder is the only model; every
// command re-reads it. Names and sizes are listed at once; the tags are read
// on a worker and filled in as they come.
#include "window/library/PlayList.h"

#include "window/download/ListCtrlEx.h"
#include "window/library/PlayListModel.h"
#include "window/library/RenameDlg.h"
#include "platform/CaseInsensitive.h"
#include "window/desktop/DesktopServices.h"
#include "platform/Files.h"
#include "platform/WorkerThreads.h"
#include "library/TagCache.h"
#include "library/TagScan.h"
#include "resources/Messages.h"
#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"
#include "window/PagesView.h"
#include "window/search/SearchController.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTextEdit>

#include <cerrno>
#include <chrono>
#include <optional>

namespace {

// The window gets the tags read so far at least once a frame, and never more
// rows at a time than it fills well within one.
constexpr std::chrono::milliseconds kTagBatchInterval{16};
constexpr std::size_t kTagBatchRows = 200;
// The rows of a large folder go in slices of a quarter of a frame each, so
// painting and input still fit into every frame.
constexpr qint64 kRowSliceMs = 4;
// A folder of up to this many entries is listed on the window's thread.
constexpr std::size_t kListedAtOnce = 500;
constexpr int kRowsRemovedAtOnce = 500;

}  // namespace

std::string ProposedName(const std::string& fileName)
{
    std::size_t at = fileName.find(".mp3");
    if (at == std::string::npos) {
        for (std::size_t i = 0; i + 4 <= fileName.size(); ++i) {
            if (platform::EqualsNoCase(std::string_view(fileName).substr(i, 4), ".mp3")) {
                at = i;
                break;
            }
        }
    }
    if (at == std::string::npos)
        return fileName;
    return fileName.substr(0, at) + fileName.substr(at + 4);
}

std::string RefusedNewName(const std::string& newName)
{
    // Without a separator the name cannot leave the folder: "..mp3" and the
    // like are ordinary names there.
    if (newName.find('/') != std::string::npos)
        return "a file name can not hold a folder separator (/)";
    if (newName.find('\0') != std::string::npos)
        return platform::ErrorText(EINVAL);
    return {};
}

unsigned PlayFailureMessage(int shellResult)
{
    switch (shellResult) {
    case platform::SE_ERR_OOM: return IDS_SHELL_OUT_OF_MEMORY;
    case platform::SE_ERR_FNF: return IDS_SHELL_FILE_NOT_FOUND;
    case platform::SE_ERR_PNF: return IDS_SHELL_PATH_NOT_FOUND;
    case platform::SE_ERR_ACCESSDENIED: return IDS_SHELL_ACCESS_DENIED;
    case platform::SE_ERR_BAD_FORMAT: return IDS_SHELL_BAD_FORMAT;
    case platform::SE_ERR_SHARE:
    case platform::SE_ERR_ASSOCINCOMPLETE: return IDS_SHELL_SHARE;
    // Nothing can open the type: said in so many words, with the file's path.
    case platform::SE_ERR_NOASSOC: return IDS_PLAY_NO_PROGRAM;
    default: return 0;
    }
}

void CPagesView::RefreshPlayList()
{
    // Tags still coming for the old rows would land on the new ones, and so
    // would the slices or the listing of an earlier refresh.
    StopPlayListTags();
    const std::uint64_t fill = ++m_nPlayListFill;
    // The rows stay and are written over: emptying a list of thousands of
    // rows at once would hold the window for longer than a frame.
    m_lstPlayList->clearSelection();
    m_nPlayListRowsWritten = 0;
    m_playListPending.clear();
    m_nPlayListPendingNext = 0;
    m_playListNames.clear();
    // A folder of a few hundred files is listed and shown at once. Listing a
    // larger one (a stat a file) would hold the window, so a worker lists it
    // and its rows go in a slice a frame.
    if (platform::CountFolderEntries(m_strMusicDir, kListedAtOnce + 1) <= kListedAtOnce) {
        OnPlayListListed(PlayListListed{fill, ListMusicFolder(m_strMusicDir)});
        return;
    }
    const std::stop_token stop = m_playListTagsStop.get_token();
    platform::AfxBeginThread([folder = m_strMusicDir, fill, stop]() -> unsigned {
        platform::Send(PlayListListed{fill, ListMusicFolder(folder)}, stop);
        return 0;
    });
}

platform::LRESULT CPagesView::OnPlayListListed(const PlayListListed& message)
{
    if (message.fill != m_nPlayListFill)
        return 0;
    const MusicFolderListing& listing = message.listing;
    m_playListPending = listing.files;
    m_nPlayListPendingNext = 0;
    m_playListNames.reserve(m_playListPending.size());
    // A file renamed or deleted here changes what the found files say.
    Search().UpdateFoundFileStates(listing.names);
    // A small folder is in before the refresh returns; a large one's first
    // slice waits for the next turn of the event loop, as the others do.
    if (!FillPlayListSlice()) {
        const std::uint64_t fill = m_nPlayListFill;
        QTimer::singleShot(1, Qt::PreciseTimer, this, [this, fill] { ContinuePlayListFill(fill); });
    }
    return 1;
}

void CPagesView::ContinuePlayListFill(std::uint64_t fill)
{
    // A refresh since started a listing of its own.
    if (fill != m_nPlayListFill)
        return;
    // A timer, not a zero-time call: those would run back to back ahead of
    // painting and the user's input.
    if (!FillPlayListSlice())
        QTimer::singleShot(1, Qt::PreciseTimer, this, [this, fill] { ContinuePlayListFill(fill); });
}

bool CPagesView::FillPlayListSlice()
{
    QElapsedTimer slice;
    slice.start();
    const auto sliceUsed = [&slice] { return slice.elapsed() >= kRowSliceMs; };
    m_lstPlayList->setUpdatesEnabled(false);
    // Each entry goes to the top, so the list ends in the reverse of the
    // listing's order; taking the listing from the back builds the same list.
    const std::size_t count = m_playListPending.size();
    int rows = m_pPlayList->Count();
    while (m_nPlayListPendingNext < count) {
        const platform::FoundFile& file = m_playListPending[count - 1 - m_nPlayListPendingNext++];
        if (file.isDirectory)
            continue;
        const int row = m_nPlayListRowsWritten++;
        m_pPlayList->SetFile(row, file.name, file.size);
        rows = std::max(rows, row + 1);
        m_playListNames.push_back(file.name);
        if (m_nPlayListPendingNext % 8 == 0 && sliceUsed())
            break;
    }
    // Rows beyond the new listing go from the end, a slice at a time.
    while (m_nPlayListPendingNext == count && rows > m_nPlayListRowsWritten && !sliceUsed()) {
        const int keep = std::max(m_nPlayListRowsWritten, rows - kRowsRemovedAtOnce);
        m_pPlayList->RemoveRows(keep, rows - keep);
        rows = keep;
    }
    m_lstPlayList->setUpdatesEnabled(true);
    if (m_nPlayListPendingNext < count || rows > m_nPlayListRowsWritten)
        return false;
    m_playListPending.clear();
    // Names and sizes show now; the tags follow from a worker.
    StartPlayListTags(std::move(m_playListNames));
    m_playListNames.clear();
    return true;
}

void CPagesView::StopPlayListTags()
{
    m_playListTagsStop.request_stop();
    m_playListTagsStop = std::stop_source();
    ++m_nPlayListScan;
}

void CPagesView::StartPlayListTags(std::vector<std::string> names)
{
    StopPlayListTags();
    if (names.empty())
        return;
    const std::uint64_t scan = m_nPlayListScan;
    const std::stop_token stop = m_playListTagsStop.get_token();
    platform::AfxBeginThread([folder = m_strMusicDir, names = std::move(names), cacheFile = m_strTagCacheFile,
                              scan, stop]() -> unsigned {
        std::optional<TagCache> cache;
        if (!cacheFile.empty())
            cache.emplace(cacheFile);
        ScanFolderTags(folder, names, cache ? &*cache : nullptr, stop, kTagBatchInterval, kTagBatchRows,
                       [&](std::vector<TagScanRow>&& batch) {
                           // Waits for the window, so a slow window slows the
                           // reading rather than piling batches up.
                           return platform::Send(PlayListTags{scan, std::move(batch)}, stop) != 0;
                       });
        return 0;
    });
}

platform::LRESULT CPagesView::OnPlayListTags(const PlayListTags& message)
{
    if (message.scan != m_nPlayListScan)
        return 0;
    const std::vector<TagScanRow>& batch = message.rows;
    for (const TagScanRow& entry : batch) {
        // The rows are as the scan listed them unless something removed one
        // since (a delete without a refresh); then the names tell.
        int row = entry.row;
        if (row >= m_pPlayList->Count() || m_pPlayList->FileNameOf(row) != entry.name)
            row = m_pPlayList->RowOfName(entry.name);
        if (row >= 0)
            m_pPlayList->SetTags(row, entry.tags);
    }
    return 1;
}

MusicFolderListing ListMusicFolder(const std::string& folder)
{
    MusicFolderListing listing;
    listing.files = platform::FindFiles(folder + "*.mp3");
    listing.names.reserve(listing.files.size());
    for (const platform::FoundFile& file : listing.files) {
        if (!file.isDirectory)
            listing.names.insert(file.name);
    }
    return listing;
}

std::string CPagesView::PlayListFileName(int row) const
{
    return m_pPlayList->FileNameOf(row);
}

void CPagesView::OnRefresh()
{
    RefreshPlayList();
}

void CPagesView::OnPlayFile()
{
    const int row = m_lstPlayList->GetFirstSelectedItem();
    if (row < 0) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_FILE_TO_PLAY));
        return;
    }
    const std::string path = m_strMusicDir + PlayListFileName(row);
    const unsigned message = PlayFailureMessage(platform::ShellExecuteOpen(path));
    if (message == IDS_PLAY_NO_PROGRAM)
        platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(message), path));
    else if (message != 0)
        platform::AfxMessageBox(LoadLanguageString(message));
}

void CPagesView::OnDeleteFile()
{
    const int row = m_lstPlayList->GetFirstSelectedItem();
    if (row < 0) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_FILE_TO_DELETE));
        return;
    }
    const std::string name = PlayListFileName(row);
    const std::string path = m_strMusicDir + name;
    platform::RemoveResult result = platform::MoveFileToTrash(path);
    // A file that no trash can take is deleted for good only when the user
    // says so; "No" leaves it where it is, without a further message.
    if (result == platform::RemoveResult::NoTrash) {
        const std::string question = AfxFormatString1(LoadLanguageString(IDS_TRASH_FAILED_DELETE), name);
        if (platform::AfxMessageBox(question, platform::MB_YESNO) != platform::IDYES) {
            RefreshPlayList();
            return;
        }
        result = platform::DeleteFile(path) ? platform::RemoveResult::Deleted : platform::RemoveResult::Failed;
    }
    if (result != platform::RemoveResult::Failed)
        m_lstPlayList->DeleteItem(row);
    else
        platform::AfxMessageBox(LoadLanguageString(IDS_THE_FILE) + name + LoadLanguageString(IDS_CAN_NOT_BE_DELETED));
    RefreshPlayList();
}

void CPagesView::OnRenameFile()
{
    const int row = m_lstPlayList->GetFirstSelectedItem();
    if (row < 0) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_FILE_TO_RENAME));
        return;
    }
    const std::string name = PlayListFileName(row);
    const std::string source = m_strMusicDir + name;
    CRenameDlg dlg(this);
    dlg.m_strNewName = ProposedName(name);
    if (dlg.DoModal() == platform::IDOK) {
        const std::string target = m_strMusicDir + dlg.m_strNewName + ".mp3";
        std::string cause = RefusedNewName(dlg.m_strNewName);
        // OK on the unchanged name leaves the file as it is.
        if (cause.empty() && target != source) {
            if (const int error = platform::RenameNoReplace(source, target); error != 0)
                cause = platform::ErrorText(error);
        }
        if (!cause.empty())
            platform::AfxMessageBox(LoadLanguageString(IDS_THE_FILE) + source + LoadLanguageString(IDS_RENAME_FAILED_BECAUSE) + cause);
    }
    RefreshPlayList();
}

bool CPagesView::TakesAccelerator(unsigned id, const QWidget* focus) const
{
    // Space previews only on the found-files list; elsewhere it stays a blank or a press.
    if (id == ID_ACCEL_PREVIEW)
        return m_lstFiles != nullptr && focus == m_lstFiles && m_lstFiles->isVisible();
    if (id != ID_ACCEL_DELETE && id != ID_ACCEL_RENAME)
        return true;
    // Delete and F2 change files: they reach the play list only while it is
    // showing, and never from a box the user is typing in.
    if (m_lstPlayList == nullptr || m_lstPlayList->isHidden())
        return false;
    // A keyword box has the focus as a whole, its edit part standing in.
    if (const auto* combo = qobject_cast<const QComboBox*>(focus); combo != nullptr && combo->isEditable())
        return false;
    return qobject_cast<const QLineEdit*>(focus) == nullptr && qobject_cast<const QTextEdit*>(focus) == nullptr &&
           qobject_cast<const QAbstractSpinBox*>(focus) == nullptr;
}
