#pragma once

#include "download/ResumeState.h"

#include <cstdint>
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
};

// The download list kept in the user's data folder, so that a closed or
// killed window finds its transfers again. The file is replaced atomically
// (written, flushed to the disk, renamed), so a kill at any moment leaves
// the old list or the new one.
class DownloadListStore final {
public:
    explicit DownloadListStore(std::string path) : m_strPath(std::move(path)) {}

    // $XDG_DATA_HOME/Tunorva/downloads.list, by default under
    // ~/.local/share/Tunorva/.
    static std::string DefaultPath();

    enum class LoadResult { Loaded, Missing, Damaged };
    // A damaged file is renamed aside (".bad", or ".bad.N" where that is
    // taken) and `setAside` names it; `records` then stays empty.
    LoadResult Load(std::vector<DownloadRecord>& records, std::string* setAside = nullptr) const;
    bool Save(const std::vector<DownloadRecord>& records) const;

    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

std::string SerializeDownloadList(const std::vector<DownloadRecord>& records);
// False when the text is not a whole list written by SerializeDownloadList.
bool ParseDownloadList(const std::string& text, std::vector<DownloadRecord>& records);
