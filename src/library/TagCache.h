#pragma once

#include "library/TrackTags.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

// What a file's tags were when it was last read, keyed by its path, size and
// modification time, kept in one file between runs so that an unchanged
// folder is not read again. A changed size or time is a miss.
class TagCache final {
public:
    // Entries beyond this many are not loaded; a file that grew past it
    // (by hand) loses the rest rather than slowing every start.
    static constexpr std::size_t kMaxEntries = 200000;

    explicit TagCache(std::string filePath);

    // Reads the file; a missing or damaged file leaves the cache empty, a
    // damaged line is skipped.
    void Load();
    // Writes every entry to a new file that then replaces the old one; false
    // when it could not be written (the old file stays).
    bool Save() const;

    std::optional<TrackTags> Find(const std::string& path, std::uint64_t size, std::int64_t mtimeNs) const;
    void Put(const std::string& path, std::uint64_t size, std::int64_t mtimeNs, const TrackTags& tags);
    // Drops the entries of files directly in `folder` (ending with '/') whose
    // names are not kept, so that deleted and renamed songs do not pile up.
    template <typename KeepFn>
    void PruneFolder(const std::string& folder, KeepFn keep);
    std::size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        std::uint64_t size = 0;
        std::int64_t mtimeNs = 0;
        TrackTags tags;
    };
    std::string m_filePath;
    std::unordered_map<std::string, Entry> m_entries;
};

template <typename KeepFn>
void TagCache::PruneFolder(const std::string& folder, KeepFn keep)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        const std::string& path = it->first;
        const bool inFolder = path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path.find('/', folder.size()) == std::string::npos;
        if (inFolder && !keep(path.substr(folder.size())))
            it = m_entries.erase(it);
        else
            ++it;
    }
}
