#pragma once

#include "download/DownloadControl.h"

#include <memory>

// One entry of the view's table of download slots. A slot is in use while
// the download list has a row for it; `worker` is null for a free slot.
struct DownloadSlot {
    std::shared_ptr<DownloadControl> worker;
    bool running = false;
    bool paused = false;
};

inline constexpr int kDownloadSlots = 500;
