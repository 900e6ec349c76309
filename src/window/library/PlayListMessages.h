#pragma once

#include "library/TagScan.h"
#include "resources/Messages.h"
#include "window/library/PlayList.h"

#include <cstdint>
#include <vector>

// What the play list's workers hand to the view. Each names the refresh it
// belongs to, so that an older one's is ignored.

// A batch of read tags; `scan` is the scan's number.
struct PlayListTags {
    static constexpr unsigned kMessage = WM_PLAYLIST_TAGS;
    std::uint64_t scan = 0;
    std::vector<TagScanRow> rows;
};

// A large music folder, listed; `fill` is the listing's number.
struct PlayListListed {
    static constexpr unsigned kMessage = WM_PLAYLIST_LISTED;
    std::uint64_t fill = 0;
    MusicFolderListing listing;
};
