// The play-list page: the music folder's MP3 files, played with the desktop's
// application, renamed and deleted. The folder is the only model; every
// command re-reads it. Names and sizes are listed at once; the tags are read
// on a worker and filled in as they come.
#include "window/library/PlayList.h"

#include "window/download/ListCtrlEx.h"
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

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidgetItem>
#include <QTextEdit>

#include <cerrno>
#include <chrono>
#include <optional>

namespace {

constexpr int kNameColumn = 1;
// The name as the folder listing gave it, byte for byte: a name that is not
// UTF-8 shows with replacement marks but still names its file.
constexpr int kRawNameRole = Qt::UserRole + 1;
// Title, Artist, Album, Length and Bitrate follow from here.
constexpr int kTitleColumn = 3;
// The window gets the tags read so far at least once a frame, and never more
// rows at a time than it fills well within one.
constexpr std::chrono::milliseconds kTagBatchInterval{16};
constexpr std::size_t kTagBatchRows = 400;

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
    // Nothing can open the type: the text about an unusable program comes nearest.
    case platform::SE_ERR_NOASSOC: return IDS_SHELL_BAD_FORMAT;
    default: return 0;
    }
}

void CPagesView::RefreshPlayList()
{
    // Tags still coming for the old rows would land on the new ones.
    StopPlayListTags();
    m_lstPlayList->DeleteAllItems();
    const std::vector<platform::FoundFile> files = platform::FindFiles(m_strMusicDir + "*.mp3");
    std::vector<std::string> names;
    names.reserve(files.size());
    m_lstPlayList->setUpdatesEnabled(false);
    // Each entry goes to the top, so the list ends in the reverse of the
    // listing's order; appending from the back builds the same list faster.
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        if (it->isDirectory)
            continue;
        const int row = m_lstPlayList->AddItem(m_lstPlayList->GetItemCount(), 3, IMG_AUDIO_FILE,
                                               {"Audio", it->name, std::to_string(it->size)});
        if (QTableWidgetItem* cell = m_lstPlayList->item(row, kNameColumn))
            cell->setData(kRawNameRole, QByteArray::fromStdString(it->name));
        names.push_back(it->name);
    }
    m_lstPlayList->setUpdatesEnabled(true);
    // Names and sizes show now; the tags follow from a worker.
    StartPlayListTags(std::move(names));
    // A file renamed or deleted here changes what the found files say.
    UpdateFoundFileStates(true);
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
                           return platform::SendMessage(WM_PLAYLIST_TAGS, scan,
                                                        reinterpret_cast<platform::LPARAM>(&batch), stop) != 0;
                       });
        return 0;
    });
}

platform::LRESULT CPagesView::OnPlayListTags(platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (wParam != m_nPlayListScan || lParam == 0)
        return 0;
    const auto& batch = *reinterpret_cast<const std::vector<TagScanRow>*>(lParam);
    for (const TagScanRow& entry : batch) {
        // The rows are as the scan listed them unless something removed one
        // since (a delete without a refresh); then the names tell.
        if (entry.row >= m_lstPlayList->GetItemCount() || PlayListFileName(entry.row) != entry.name)
            continue;
        const TrackTags& tags = entry.tags;
        m_lstPlayList->SetItemText(entry.row, kTitleColumn, tags.title);
        m_lstPlayList->SetItemText(entry.row, kTitleColumn + 1, tags.artist);
        m_lstPlayList->SetItemText(entry.row, kTitleColumn + 2, tags.album);
        m_lstPlayList->SetItemText(entry.row, kTitleColumn + 3, FormatLength(tags.lengthSeconds));
        m_lstPlayList->SetItemText(entry.row, kTitleColumn + 4, FormatBitrate(tags.bitrateKbps));
    }
    return 1;
}

std::string CPagesView::PlayListFileName(int row) const
{
    if (const QTableWidgetItem* cell = m_lstPlayList->item(row, kNameColumn)) {
        const QVariant raw = cell->data(kRawNameRole);
        if (raw.isValid())
            return raw.toByteArray().toStdString();
    }
    return m_lstPlayList->GetItemText(row, kNameColumn);
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
    if (const unsigned message = PlayFailureMessage(platform::ShellExecuteOpen(path)); message != 0)
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
            platform::AfxMessageBox(LoadLanguageString(IDS_THE_FILE) + source + "not found, becuase " + cause);
    }
    RefreshPlayList();
}

bool CPagesView::TakesAccelerator(unsigned id, const QWidget* focus) const
{
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
