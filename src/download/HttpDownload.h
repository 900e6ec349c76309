#pragma once

#include "download/DownloadControl.h"
#include "download/DownloadItem.h"
#include "download/FileStatusReporter.h"
#include "download/Mp3Check.h"
#include "download/PartFile.h"
#include "download/RateLimiter.h"
#include "download/ResumeState.h"
#include "download/RetryPolicy.h"
#include "download/TransferFigures.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// How a download treats failures and shares the speed limit.
struct DownloadOptions {
    RetryPolicy retry;
    std::shared_ptr<RateLimiter> limiter;  // none: no limit
    // The user has already said Yes to replacing the local file (when the
    // download was queued): the question is not asked again.
    bool replaceConfirmed = false;
};

// One download: parses the file's URL, asks before replacing a local file,
// writes the body into a hidden part file in the music folder, and renames it
// into place once it is complete and checked to be MP3. A failed try is tried
// again after a wait and resumes where the part file ends; a failed download
// keeps its part file and the server's validators, so that a later run asks
// only for the missing bytes. Reports status texts, the length, progress,
// rate, time left, the waits and the end to the main frame. A download worker
// builds one on its own stack, runs Start and destroys it. The list pauses,
// resumes and ends it through `control`.
class CHttpDownload final {
public:
    explicit CHttpDownload(std::shared_ptr<DownloadControl> control, DownloadOptions options = {});
    ~CHttpDownload();
    CHttpDownload(const CHttpDownload&) = delete;
    CHttpDownload& operator=(const CHttpDownload&) = delete;

    // Parsing, the replace question and the part file; then Transfer.
    bool Start();
    // The tries, each with its connection, request, password step, length
    // and read loop; then the check and the rename.
    void Transfer();
    void CloseHandles();

    std::string m_strUrl;
    std::string m_strLocalPath;   // music folder + the item's file name
    std::string m_strPartPath;    // where the bytes go until the end
    std::string m_strUserName;    // the login given in the password step
    std::string m_strPassword;
    DownloadItem m_item;          // its slot goes with every message
    std::string m_strError;
    std::string m_strServer;
    std::string m_strObject;
    std::uint16_t m_nPort = 0;
    std::uint32_t m_dwServiceType = 0;
    std::unique_ptr<platform::HttpFile> m_pFile;
    PartFile m_file;
    ResumeState m_state;          // validators of the file being fetched

    // How many logins a server may refuse before the download gives up.
    static constexpr int kMaxLoginAttempts = 3;
    // How much of a refused login's body is read before it is thrown away.
    static constexpr std::size_t kLoginBodyMax = 64 * 1024;
    // Body bytes taken per read; figures and pause points still go by
    // 1024-byte blocks.
    static constexpr std::size_t kReadSize = 64 * 1024;
    static constexpr std::size_t kBlockSize = 1024;
    // The first bytes looked at for plainly not being audio.
    static constexpr std::size_t kEarlyCheckSize = 64 * 1024;
    // Start-overs one download accepts before it gives up on a server whose
    // answers never fit its part file.
    static constexpr int kMaxRestarts = 3;
    // The part file's last bytes a new address must send back unchanged
    // before it may add to the file: mirrors are found by size and head, so
    // only the bytes themselves show that two addresses serve one file.
    static constexpr std::uint64_t kConfirmBytes = 64 * 1024;

private:
    // NextSource: this server will not give the file (m_pending says why);
    // another of its addresses may. AskForMore: the answer's range came
    // whole and the part file grew, but the file is said to be longer.
    enum class TryEnd { Ended, Retry, Restart, NextSource, AskForMore };
    // A failure that another try may cure: the cause shown during the wait,
    // and the failure reported when no try is left.
    struct PendingFailure {
        unsigned textId = 0;
        int errorCode = 0;
        std::string cause;
        std::optional<std::uint64_t> retryAfterMs;
        std::string text;  // the whole failure text, where it is not textId's
    };

    TryEnd TryOnce();
    // Moves on to the next of the item's other sources, keeping the part
    // file; false when none is left. A download that began on https: never
    // goes on at an http: address. `leftMayWork`: the address left failed
    // only for passing reasons.
    bool NextSource(bool leftMayWork = false);
    // This address fails for good with `text`: the download goes on at the
    // next address when there is one, else it fails.
    TryEnd FailAtAddress(std::string text);
    TryEnd FailAtAddress(unsigned textId, int errorCode);
    // The failure of the last address tried, with the addresses passed over.
    void FailWithPending();
    // The answer's first `overlap` bytes against the part file's last ones.
    enum class TailCheck { Same, Differs, Ended, Retry };
    TailCheck ConfirmTail(std::uint64_t from, std::uint64_t overlap);
    // Writes the part file's record (or deletes it when the source has no
    // validator) and tells the list.
    bool RecordSource();
    // A range from `from` where `ranged`, else the whole file.
    platform::HttpRequestOptions RequestOptions(std::uint64_t from, bool ranged);
    // The answer to the request, after any logins; nothing when it is one
    // the try reads on, otherwise how the try ends.
    std::optional<TryEnd> SendWithLogins();
    TryEnd SendFailed();
    void DropRefusalBody();
    // False when the transfer ended at a pause point.
    bool SetUpFigures();
    void ReadHeadOfPartFile();
    TryEnd Retry(unsigned textId, int errorCode, std::string cause = {},
                 std::optional<std::uint64_t> retryAfterMs = std::nullopt);
    // Empties the part file and says why; false when it cannot be emptied.
    bool StartOver(const std::string& reason);
    bool TakeValidators(int status, std::uint64_t from);
    // The answer's ETag and Last-Modified, for the file at m_strUrl.
    ResumeState AnswerValidators() const;
    // A 416 to a range from `from`: the part file is whole, or it is not
    // the file the server has now.
    TryEnd RangeNotSatisfied(std::uint64_t from);
    bool FinishFile();
    void RemovePartFile();
    bool WaitBeforeRetry(int retry);
    bool AbortRequested() const;
    // A pause point followed by the abort test; true when the transfer ends here.
    bool Checkpoint();
    void EndAborted();
    void Fail(unsigned textId, int errorCode);
    void FailKeepingBytes(std::string text);
    void FailBeforeOpen(unsigned textId, const std::string& arg);
    void FailNotAudio(ContentKind kind);
    void EndFailed(std::string text);
    // Sends a message about this download; the worker waits for the window.
    template <class M>
    void Send(const M& message)
    {
        platform::Send(message, m_control->Token());
    }
    bool SendFigures(const FigureMessages& messages);
    enum class BodyEnd { Complete, Ended, Retry, NextSource };
    BodyEnd ReadBody();
    std::optional<BodyEnd> LookAtHead(const char* data, std::size_t size);

    std::shared_ptr<DownloadControl> m_control;
    DownloadOptions m_options;
    PendingFailure m_pending;
    std::string m_strHead;        // the body's first bytes, for the early check
    bool m_bReplace = false;      // the user said Yes to replacing the file
    FileStatusReporter m_status;
    TransferFigures m_figures;
    bool m_bFileOpened = false;
    bool m_bBeganSecure = false;  // the first address was https:
    // The part file's bytes came from another address (or an earlier run of
    // another one): the next answer must first send back its last bytes.
    bool m_bConfirmTail = false;
    std::uint64_t m_nTryStart = 0;  // where this try's bytes begin in the part file
    std::uint64_t m_nBodyEnd = 0;   // where a 206's range ends; 0: no range
    std::string m_strPassedOver;    // why addresses were passed over, for the failure text
};

// The download worker's procedure: copies the item into a local
// CHttpDownload whose local path is `musicDir` (ending in '/') followed by
// the item's file name, runs it, marks `control` ended and returns 0.
unsigned DownloadThreadProc(DownloadItem item, std::string musicDir, std::shared_ptr<DownloadControl> control,
                            DownloadOptions options = {});

// The name a download is saved under: FileNameFromUrl, the same name the
// File Name column shows.
std::string DownloadFileName(const std::string& url);

// True when `name` can be saved as a file of its own inside the music folder.
bool IsSafeDownloadName(const std::string& name);

