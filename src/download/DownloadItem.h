#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Names one found file, and later one download, across threads and messages.
// Every worker keeps its own copy; a message about a file carries the
// fields its receiver needs (download/DownloadMessages.h).
struct DownloadItem {
    int nItem = 0;            // row in the "Files" list when the record was made
    int nSubItem = 0;         // column the user clicked (carried, never read)
    int nSlot = 0;            // download slot 0..499; not used by a probe
    int nProgressColumn = 3;  // column of the download row with the progress bar
    std::string strUrl;
    std::string strFileName;
    // The search whose "Files" list the row belongs to (0: none). A row index
    // alone is ambiguous once the list has been emptied for a new search, so
    // the receiver can check this against the search it shows.
    std::uint64_t nSearchId = 0;
    // Other addresses of the same file (same size, same first bytes): a
    // download that fails at one, after its retries, goes on at the next.
    std::vector<std::string> strOtherSources;
};
