#pragma once

#include "download/DownloadControl.h"
#include "download/DownloadItem.h"
#include "download/DownloadListStore.h"

#include <memory>

// One entry of the download controller's table of slots. A slot is in use while
// the download list has a row for it; a queued or failed row's slot has no
// worker.
struct DownloadSlot {
    std::shared_ptr<DownloadControl> worker;
    bool running = false;
    bool paused = false;
    bool inUse = false;
    bool queued = false;  // waits for a free place among the running ones
    bool failed = false;  // the worker has ended with a failure; Retry starts another
    bool replaceConfirmed = false;  // asked when queued: Yes to replacing the local file
    DownloadItem item;    // what a new worker for the slot is started with
    DownloadRecord record;
};

inline constexpr int kDownloadSlots = 500;
