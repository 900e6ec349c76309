#pragma once

#include "download/DownloadSlot.h"
#include "platform/MessageChannel.h"
#include "search/EngineReports.h"
#include "search/OpenSearchDescription.h"
#include "search/SearchEngine.h"
#include "search/SearchMessages.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_set>
#include <vector>

class CEnginesModel;
class CFoundFilesModel;
class QFileSystemWatcher;
class QTimer;
struct DownloadItem;
struct FileSizeProbed;
struct FileStatus;

// A search's state and rules, apart from any widget: the engines of the
// search under way and the order they start in, the search's id and stop
// source, the found files and the engine list (their models), the counts of
// found and available files, the found files' probes and what the library
// and the download list say of each found file. The view turns Find/Stop
// into calls; the frame's handlers turn the workers' messages into calls.
//
// Where its parts live:
//   window/search/SearchController.cpp   a search: start, stop, reports, probes
//   window/search/FoundFileStates.cpp    the library's and the download list's states
//   window/search/UserEngineRows.cpp     the user's engines as rows, read on a worker
class CSearchController final {
public:
    // What the controller asks of its owner (the view shows it).
    struct Owner {
        std::function<void(const std::string&)> statusText;
        // The "Files" and "Available" counts.
        std::function<void(int found, int available)> counts;
        std::function<void()> progressStep;
        std::function<void(int)> progressPos;
        // A file was found: its sound, if sounds are on.
        std::function<void()> fileFound;
        // The Find toggle follows whether a search runs.
        std::function<void(bool)> searchingChanged;
        std::function<std::string()> musicDir;
        // A found file's probe, until `stop` is stopped.
        std::function<void(const DownloadItem&, std::stop_token stop)> probe;
        // The download list's rows as they are now.
        std::function<const std::array<DownloadSlot, kDownloadSlots>&()> downloadSlots;
    };

    // Rows one search adds at most: enough for any real search, and a bound
    // on the rows, probes and memory a flood of links can cost.
    static constexpr int kMaxFoundFiles = 50000;
    // The user's engines' rows follow the built-in sites' three.
    static constexpr int kFirstUserEngineRow = 3;

    // The models are made as children of `modelParent`, which the views
    // showing them share.
    CSearchController(QObject* modelParent, Owner owner);
    ~CSearchController();
    CSearchController(const CSearchController&) = delete;
    CSearchController& operator=(const CSearchController&) = delete;

    CFoundFilesModel& Files() const { return *m_pFiles; }
    CEnginesModel& EngineRows() const { return *m_pEngineRows; }

    // --- a search
    // Starts a search for `keys`; one under way is replaced. The found files
    // of the last search go.
    void Start(const SearchKeys& keys);
    // Stops every engine of the search under way; the rows found stay.
    void Stop();
    bool IsSearching() const { return m_bSearching; }
    const SearchKeys& Keys() const { return m_keys; }
    // The id every found file's probe and download record carries; a record
    // of an earlier search names another row.
    std::uint64_t SearchId() const { return m_nSearchId; }
    int FoundCount() const { return m_nFoundFiles; }
    int AvailableCount() const { return m_nAvailableFiles; }
    void SetMaxFoundFiles(int rows) { m_nMaxFoundFiles = rows; }

    // --- what the engines and the probes report
    void OnReport(const EngineReport& report);
    void OnFetchStep();
    void OnFileStatus(const FileStatus& status);
    void OnFileSizeProbed(const FileSizeProbed& probed);

    // --- the user's engines: read on a worker, shown once no search uses them
    void LoadUserEngineRows(const std::string& dir);
    void OnUserEnginesRead(UserEnginesRead read);
    bool UserEngineRowsPending() const { return m_nUserEngineReading != m_nUserEngineRowsShown; }
    const std::vector<UserEngine>& UserEngines() const { return m_userEngines; }

    // --- what the library and the download list say of the found files:
    // all rows after a change of either, one row when it is added.
    void UpdateFoundFileStates(bool rereadFolder);
    void UpdateFoundFileStates(std::unordered_set<std::string> libraryNames);
    void UpdateFoundFileState(int row);
    // Follows the music folder's changes (it may have been set anew).
    void WatchMusicFolder();
    const std::unordered_set<std::string>& LibraryNames() const { return m_libraryNames; }

private:
    // The engine list's row of engine `index` of the search.
    static int RowOf(int index) { return index < 2 ? index : index + 1; }
    bool Known(int engine) const { return engine >= 0 && static_cast<std::size_t>(engine) < m_engines.size(); }
    void SetEngines(std::vector<std::unique_ptr<CSearchEngine>> engines);
    void StartEngine(std::size_t index);
    void StartNextEngine(int after);
    void AddFoundFile(const EngineFileFound& found);
    void OnPageRead(const EnginePageRead& page);
    void OnEngineEnded(const EngineEnded& ended);
    // The toggle returns to "Find It!" by itself once no engine has more to do.
    void EndIfDone();
    void ReleaseEngines();
    void SetSearching(bool searching);
    bool IsStale(std::uint64_t searchId) const { return searchId != 0 && searchId != m_nSearchId; }
    void ShowUserEngineRows(UserEngineList list);
    void ResetEngineRows();

    Owner m_owner;
    CFoundFilesModel* m_pFiles = nullptr;       // a child of the model parent
    CEnginesModel* m_pEngineRows = nullptr;     // a child of the model parent

    // The engines in the order they start, made anew when the user's change
    // (never during a search), and the search under way.
    SearchKeys m_keys;
    bool m_bSearching = false;
    std::vector<std::unique_ptr<CSearchEngine>> m_engines;
    std::vector<bool> m_engineStarted;
    std::vector<int> m_engineCounts;
    int m_nFoundFiles = 0;
    int m_nAvailableFiles = 0;
    int m_nMaxFoundFiles = kMaxFoundFiles;
    // Emptying the list for a new search stops this, so the probes of the
    // old rows fall silent, and bumps the id that every row's record carries.
    std::stop_source m_filesStop;
    std::uint64_t m_nSearchId = 1;

    // The user's engines as the engines folder held them. A reading that
    // arrives while a search runs waits for it to end.
    std::vector<UserEngine> m_userEngines;
    int m_nUserEngineReading = 0;
    int m_nUserEngineRowsShown = 0;
    std::optional<UserEnginesRead> m_pendingUserEngines;

    // The music folder's *.mp3 names, and the watcher that keeps them.
    std::unordered_set<std::string> m_libraryNames;
    std::unique_ptr<QFileSystemWatcher> m_pMusicWatcher;
    std::unique_ptr<QTimer> m_pLibraryRescan;  // gathers the watcher's bursts
};
