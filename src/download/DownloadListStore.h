#pragma once

#include "download/ResumeState.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One row of the download list as it is kept between runs.
struct DownloadRecord {
    enum class State { Running, Queued, Paused, Failed };
    std::string strUrl;
    std::string strFileName;
    std::string strSize;      // the "File Size" column's text
    std::string strStatus;    // a failed row's text
    std::uint64_t nReceived = 0;
    State state = State::Running;
    ResumeState validators;   // ETag, Last-Modified and length
    int nSlot = -1;
    std::vector<std::string> otherSources;  // the same file's other addresses, tried in turn
};

// The download list kept in the user's data folder, so that a closed or
// killed window finds its transfers again. The file is replaced atomically
// (written, flushed to the disk, renamed), so a kill at any moment leaves
// the old list or the new one.
class DownloadListStore final {
public:
    explicit DownloadListStore(std::string path);
    // Waits for a list still being written (see Flush).
    ~DownloadListStore();
    DownloadListStore(const DownloadListStore&) = delete;
    DownloadListStore& operator=(const DownloadListStore&) = delete;

    // $XDG_DATA_HOME/Tunorva/downloads.list, by default under
    // ~/.local/share/Tunorva/.
    static std::string DefaultPath();

    // 500 rows of the longest addresses fit within this (a row's other
    // addresses take only the room left); a larger file (or one that is not
    // a regular file) is not read and counts as damaged.
    static constexpr std::uintmax_t kMaxDownloadListBytes = 16 * 1024 * 1024;

    enum class LoadResult { Loaded, Missing, Damaged };
    // A damaged file is renamed aside (".bad", or ".bad.N" where that is
    // taken) and `setAside` names it; `records` then stays empty.
    LoadResult Load(std::vector<DownloadRecord>& records, std::string* setAside = nullptr) const;
    bool Save(const std::vector<DownloadRecord>& records) const;

    // Hands the list to a writer thread and returns at once, so that the
    // window never waits for the disk (a flush can take long while downloads
    // fill the cache). Lists are written in the order given; one handed over
    // while another is still pending replaces it, and one the same as the
    // last written is not written again. Without a thread to be had the list
    // is written at once.
    void SaveInBackground(std::vector<DownloadRecord> records);
    // The bytes SaveInBackground has written so far.
    std::uint64_t BytesWritten() const;
    // Waits until every list handed over is on the disk, at most `timeout`;
    // true when it is.
    bool Flush(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    const std::string& Path() const { return m_strPath; }

    struct Writer;

private:
    std::string m_strPath;
    std::shared_ptr<Writer> m_pWriter;
};

std::string SerializeDownloadList(const std::vector<DownloadRecord>& records);
// False when the text is not a whole list written by SerializeDownloadList.
bool ParseDownloadList(const std::string& text, std::vector<DownloadRecord>& records);
