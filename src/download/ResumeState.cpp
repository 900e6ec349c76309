#include "download/ResumeState.h"

#include "platform/Files.h"

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>

#include <charconv>
#include <sstream>

namespace {

std::optional<std::uint64_t> ParseNumber(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// A value is one line: a line break in a header value would forge a field.
bool IsOneLine(const std::string& value)
{
    return value.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

std::string ResumeState::IfRangeValue() const
{
    if (!strETag.empty() && strETag.rfind("W/", 0) != 0)
        return strETag;
    return strLastModified;
}

std::string PartFilePath(const std::string& localPath)
{
    const std::size_t slash = localPath.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    return localPath.substr(0, nameAt) + "." + localPath.substr(nameAt) + ".part";
}

std::string ResumeStatePath(const std::string& partPath)
{
    return partPath + ".info";
}

std::string SerializeResumeState(const ResumeState& state)
{
    return "url=" + state.strUrl + "\netag=" + state.strETag + "\nlast-modified=" + state.strLastModified +
           "\nlength=" + std::to_string(state.nLength) + "\n";
}

std::optional<ResumeState> ParseResumeState(const std::string& text)
{
    ResumeState state;
    bool hasUrl = false;
    bool hasLength = false;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        const std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "url") {
            state.strUrl = std::move(value);
            hasUrl = true;
        } else if (key == "etag") {
            state.strETag = std::move(value);
        } else if (key == "last-modified") {
            state.strLastModified = std::move(value);
        } else if (key == "length") {
            const auto length = ParseNumber(value);
            if (!length)
                return std::nullopt;
            state.nLength = *length;
            hasLength = true;
        }
    }
    if (!hasUrl || !hasLength || state.strUrl.empty())
        return std::nullopt;
    return state;
}

std::optional<ResumeState> LoadResumeState(const std::string& path)
{
    // Only a regular file of a record's size is read: a FIFO or a link to a
    // device there would hang or flood the download, and is no record.
    const auto text = platform::ReadSmallRegularFile(path, kMaxResumeStateBytes, nullptr, platform::LinkPolicy::Refuse);
    if (!text)
        return std::nullopt;
    return ParseResumeState(*text);
}

bool SaveResumeState(const std::string& path, const ResumeState& state)
{
    if (!IsOneLine(state.strUrl) || !IsOneLine(state.strETag) || !IsOneLine(state.strLastModified))
        return false;
    // The record sits in the music folder: a link planted in its place must
    // not carry the URL and validators anywhere else.
    return platform::WriteFileAtomicallyNoFollow(path, SerializeResumeState(state));
}

void RemoveLeftoverRecords(const std::string& folder)
{
    // Once per folder and run: a record is never without its part file
    // while a download lives, so what the sweep finds is a killed run's.
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(folder).second)
            return;
    }
    platform::RemoveStaleTempFiles(folder);
    const std::string suffix = ".part.info";
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= suffix.size() + 1 || name[0] != '.' ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string record = folder + name;
        const std::string part = record.substr(0, record.size() - ResumeStatePath("").size());
        struct stat info{};
        if (::lstat(part.c_str(), &info) != 0 && errno == ENOENT)
            platform::DeleteFile(record);
    }
}

std::optional<ContentRange> ParseContentRange(const std::string& value)
{
    std::string_view text = value;
    if (text.rfind("bytes ", 0) != 0)
        return std::nullopt;
    text.remove_prefix(6);
    const std::size_t dash = text.find('-');
    const std::size_t slash = text.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
        return std::nullopt;
    const auto first = ParseNumber(text.substr(0, dash));
    const auto last = ParseNumber(text.substr(dash + 1, slash - dash - 1));
    const std::string_view totalText = text.substr(slash + 1);
    const auto total = totalText == "*" ? std::optional<std::uint64_t>(0) : ParseNumber(totalText);
    if (!first || !last || !total || *last < *first || (*total != 0 && *last >= *total))
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}
