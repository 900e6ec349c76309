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

// An address longer than this is one hardly any server takes (their request
// lines end near 8 KiB); it is neither downloaded nor kept.
inline constexpr std::size_t kMaxAddressBytes = 8 * 1024;
// The other addresses one download keeps: enough to outlast a few dead
// mirrors, few enough that thousands of links to one file stay small.
inline constexpr std::size_t kMaxOtherSources = 16;

// Keeps the first kMaxOtherSources of `sources` that are neither empty nor
// longer than kMaxAddressBytes.
inline void BoundOtherSources(std::vector<std::string>& sources)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < sources.size() && kept < kMaxOtherSources; ++i) {
        if (!sources[i].empty() && sources[i].size() <= kMaxAddressBytes) {
            if (kept != i)
                sources[kept] = std::move(sources[i]);
            ++kept;
        }
    }
    sources.resize(kept);
}
