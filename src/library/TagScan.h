#pragma once

#include "library/TrackTags.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

class TagCache;

// One row's tags as the play list receives them: the row it was listed at and
// its file name, so that the receiver can tell a row that has changed since.
struct TagScanRow {
    int row = 0;
    std::string name;
    TrackTags tags;
};

struct TagScanStats {
    std::size_t fromCache = 0;
    std::size_t read = 0;  // files opened and parsed
    bool stopped = false;
};

// Reads the tags of `names` in `folder` (ending with '/') in list order and
// hands them over in batches: a batch goes as soon as `interval` has passed
// since the last one or it holds `maxBatch` rows, so the receiver is fed at
// least once a frame without drowning in calls. `deliver` returning false, or
// `stop`, ends the scan. With a cache, unchanged files come from it, the
// files read are put into it and it is saved at the end of a whole scan.
TagScanStats ScanFolderTags(const std::string& folder, const std::vector<std::string>& names, TagCache* cache,
                            std::stop_token stop, std::chrono::milliseconds interval, std::size_t maxBatch,
                            const std::function<bool(std::vector<TagScanRow>&&)>& deliver);

// The tag cache's file: a subfolder of the user's cache folder, which the
// program's clean-up of temporary files (files directly in it) leaves alone.
std::string TagCacheFile(const std::string& cacheDir);
