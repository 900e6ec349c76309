#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a transfer keeps beside its part file so that a later run can ask
// the server for the missing bytes only: the URL it came from and the
// server's validators. Written atomically, so a kill leaves the old state
// or the new one.
struct ResumeState {
    std::string strUrl;
    std::string strETag;          // as the server sent it, quotes included
    std::string strLastModified;  // as the server sent it
    std::uint64_t nLength = 0;    // the whole file's length; 0: not known

    bool HasValidator() const { return !strETag.empty() || !strLastModified.empty(); }
    // The If-Range value: a strong ETag, else the date; "" when neither can
    // be used (a weak ETag never matches a range).
    std::string IfRangeValue() const;
    bool operator==(const ResumeState&) const = default;
};

// Where a download's bytes go until it is complete and checked: a hidden
// file beside the final one, ".<name>.part".
std::string PartFilePath(const std::string& localPath);
// The state kept beside the part file.
std::string ResumeStatePath(const std::string& partPath);

std::string SerializeResumeState(const ResumeState& state);
std::optional<ResumeState> ParseResumeState(const std::string& text);

// A record is a URL and two header values; anything larger was not written
// by us.
inline constexpr std::uintmax_t kMaxResumeStateBytes = 1024 * 1024;

// Nothing when the file is missing, damaged, larger than a record, or not a
// regular file (a symbolic link is not followed).
std::optional<ResumeState> LoadResumeState(const std::string& path);
// Never writes through a symbolic link at `path`: it is replaced.
bool SaveResumeState(const std::string& path, const ResumeState& state);

// Removes what a killed run left in `folder` (ending in '/'): records caught
// half-written, and records whose part file is gone (beside a finished
// song). Once per folder and run; a record a live download is still
// writing is locked and stays.
void RemoveLeftoverRecords(const std::string& folder);

// "bytes first-last/total" of a 206 answer; total 0 when the server sent '*'.
struct ContentRange {
    std::uint64_t nFirst = 0;
    std::uint64_t nLast = 0;
    std::uint64_t nTotal = 0;
};
std::optional<ContentRange> ParseContentRange(const std::string& value);
