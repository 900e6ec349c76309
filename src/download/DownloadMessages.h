#pragma once

#include "download/DownloadNotices.h"
#include "download/Mp3Head.h"
#include "download/ResumeState.h"
#include "resources/Messages.h"

#include <cstdint>
#include <string>

// What probes and downloads report to the window (resources/Messages.h has
// the numbers). A probe's messages name the found file's row and the search
// it belongs to; a download's name its slot, which finds its row.

// A found file's status text.
struct FileStatus {
    static constexpr unsigned kMessage = WM_FILE_STATUS;
    int row = 0;
    std::uint64_t searchId = 0;  // 0: not tied to a search
    std::string text;
    // The probe found the file on its server: the row counts as available.
    bool available = false;
    // The text as string `textId` with "%1" := `info`, so that a row can say
    // it again in another language; 0 for a text of its own.
    unsigned textId = 0;
    std::string info;
    // The probe has nothing more to say of the file: no size is coming.
    bool final = false;
};

// A probe learnt a found file's size and, from its first bytes, what it holds
// (`head.known` when those bytes were read). A server that answers 200 with
// no length and no range gives no size: `sizeKnown` is false and `size` 0,
// and the head is still read from the answer's first bytes.
struct FileSizeProbed {
    static constexpr unsigned kMessage = WM_FILE_SIZE_PROBED;
    int row = 0;
    std::uint64_t searchId = 0;
    std::uint64_t size = 0;
    Mp3Head head;
    bool sizeKnown = true;
};

// A probe's worker has ended.
struct ProbeFinished {
    static constexpr unsigned kMessage = WM_PROBE_FINISHED;
    bool failed = false;
};

struct DownloadSize {
    static constexpr unsigned kMessage = WM_DOWNLOAD_SIZE;
    int slot = 0;
    std::uint64_t length = 0;
};

struct DownloadProgress {
    static constexpr unsigned kMessage = WM_DOWNLOAD_PROGRESS;
    int slot = 0;
    std::uint64_t bytes = 0;
};

// Figures travel as numbers; the receiver formats them in the language in
// force (TransferFigures.h).
struct DownloadRate {
    static constexpr unsigned kMessage = WM_DOWNLOAD_RATE;
    int slot = 0;
    double bytesPerSecond = 0;
};

struct DownloadTimeLeft {
    static constexpr unsigned kMessage = WM_DOWNLOAD_TIME_LEFT;
    int slot = 0;
    std::uint64_t seconds = 0;
    std::uint64_t received = 0;
    std::uint64_t length = 0;
};

struct DownloadDone {
    static constexpr unsigned kMessage = WM_DOWNLOAD_DONE;
    int slot = 0;
};

// The user kept the file already there.
struct DownloadDeclined {
    static constexpr unsigned kMessage = WM_DOWNLOAD_DECLINED;
    int slot = 0;
};

// The row keeps its place and shows the text; so does the found file's row
// (`row`, `searchId`), as its status.
struct DownloadFailed {
    static constexpr unsigned kMessage = WM_DOWNLOAD_FAILED;
    int slot = 0;
    int row = 0;
    std::uint64_t searchId = 0;
    std::string text;
};

// A try failed and the download waits before the next.
struct DownloadRetrying {
    static constexpr unsigned kMessage = WM_DOWNLOAD_RETRYING;
    int slot = 0;
    RetryNotice notice;
};

// The download continues from its part file at byte `from`.
struct DownloadResumed {
    static constexpr unsigned kMessage = WM_DOWNLOAD_RESUMED;
    int slot = 0;
    std::uint64_t from = 0;
};

// The part file is thrown away and the download starts over.
struct DownloadRestarted {
    static constexpr unsigned kMessage = WM_DOWNLOAD_RESTARTED;
    int slot = 0;
    std::string reason;
};

// The finished file passed the MP3 check.
struct DownloadChecked {
    static constexpr unsigned kMessage = WM_DOWNLOAD_CHECKED;
    int slot = 0;
};

// The server's validators are known or have changed.
struct DownloadValidators {
    static constexpr unsigned kMessage = WM_DOWNLOAD_VALIDATORS;
    int slot = 0;
    ResumeState state;
};

// The download failed at its address and goes on from `url`, another
// address of the same file.
struct DownloadSource {
    static constexpr unsigned kMessage = WM_DOWNLOAD_SOURCE;
    int slot = 0;
    std::string url;
    // The address left failed only for passing reasons (its tries were
    // spent): a later Retry may try it again. Otherwise it failed for good.
    bool leftMayWork = false;
};

// A download's worker has ended.
struct DownloadFinished {
    static constexpr unsigned kMessage = WM_DOWNLOAD_FINISHED;
    bool failed = false;
};
