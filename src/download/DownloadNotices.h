#pragma once

#include <cstdint>
#include <string>

// What WM_DOWNLOAD_RETRYING carries: which try comes next, after how long,
// and why the last one failed; `strText` is the row's text for the wait.
struct RetryNotice {
    int nTry = 0;  // 1 for the first try again
    int nOf = 0;
    std::uint64_t nWaitMs = 0;
    std::string strCause;
    std::string strText;
};
