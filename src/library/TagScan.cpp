#include "library/TagScan.h"

#include "library/TagCache.h"

#include <sys/stat.h>

#include <mutex>
#include <unordered_set>

namespace {

// Scans may overlap: a refresh starts a new one while the last is still
// inside a large damaged file. Only the cache file is shared, so only its
// load and save take turns; neither scan waits for the other's reading.
std::mutex g_cacheFileMutex;

}  // namespace

TagScanStats ScanFolderTags(const std::string& folder, const std::vector<std::string>& names, TagCache* cache,
                            std::stop_token stop, std::chrono::milliseconds interval, std::size_t maxBatch,
                            const std::function<bool(std::vector<TagScanRow>&&)>& deliver)
{
    using Clock = std::chrono::steady_clock;
    TagScanStats stats;
    if (cache != nullptr) {
        const std::lock_guard lock(g_cacheFileMutex);
        cache->Load();
    }
    std::vector<TagScanRow> batch;
    Clock::time_point lastSent = Clock::now();
    const auto send = [&] {
        if (batch.empty())
            return true;
        const bool more = deliver(std::move(batch));
        batch.clear();
        lastSent = Clock::now();
        return more;
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (stop.stop_requested()) {
            stats.stopped = true;
            return stats;
        }
        const std::string path = folder + names[i];
        TagScanRow row{static_cast<int>(i), names[i], {}};
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            const auto size = static_cast<std::uint64_t>(info.st_size);
            const std::int64_t mtimeNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
            std::optional<TrackTags> known = cache != nullptr ? cache->Find(path, size, mtimeNs) : std::nullopt;
            if (known) {
                row.tags = std::move(*known);
                ++stats.fromCache;
            } else {
                row.tags = ReadTrackTags(path);
                ++stats.read;
                if (cache != nullptr)
                    cache->Put(path, size, mtimeNs, row.tags);
            }
        }
        batch.push_back(std::move(row));
        if ((batch.size() >= maxBatch || Clock::now() - lastSent >= interval) && !send()) {
            stats.stopped = true;
            return stats;
        }
    }
    if (!send() || stop.stop_requested()) {
        stats.stopped = true;
        return stats;
    }
    if (cache != nullptr) {
        const std::unordered_set<std::string> listed(names.begin(), names.end());
        cache->PruneFolder(folder, [&](const std::string& name) { return listed.count(name) != 0; });
        const std::lock_guard lock(g_cacheFileMutex);
        cache->Save();
    }
    return stats;
}

std::string TagCacheFile(const std::string& cacheDir)
{
    std::string dir = cacheDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir + "Library/tags.txt";
}
