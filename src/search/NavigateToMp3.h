#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

// A search over one engine's result pages, run as a chain of page workers:
// each worker fetches its page, reports the page's MP3 links, starts the
// worker of the next page and then reports its page as done.
//
// The same class is the per-engine handle the window keeps and the per-page
// state a worker builds. A handle owns the stop source of the chains it
// starts: releasing it (or calling Stop) stops them cooperatively. A stopped
// worker sends no further request and every message it would still send is
// dropped before it reaches the window.
class CNavigateToMp3 final {
public:
    // Page workers of a handle's chains that have not yet reported their
    // page as finished; shared by every worker of those chains.
    using PendingPages = std::shared_ptr<std::atomic<int>>;
    struct Chain;
    using ChainPtr = std::shared_ptr<Chain>;

    // A handle with a stop source of its own.
    CNavigateToMp3();
    // The state of one page of `chain`, stopped by `stopToken`.
    CNavigateToMp3(std::stop_token stopToken, PendingPages pending, ChainPtr chain);
    ~CNavigateToMp3();
    CNavigateToMp3(const CNavigateToMp3&) = delete;
    CNavigateToMp3& operator=(const CNavigateToMp3&) = delete;

    // Starts a page worker on `url`; an empty URL does nothing. The chain's
    // Mp3Found and PageFinished (search/SearchMessages.h) carry `engine`, so
    // a receiver that runs several engines can tell them apart.
    void StartNavigation(const std::string& url, int engine = 0);
    // Stops every chain this handle started.
    void Stop();
    // True while a chain this handle started still has a page to report. The
    // worker of a chain's last page counts until it sends WM_PAGE_FINISHED, so
    // the window's handler of that message already sees the chain as ended.
    bool IsRunning() const;
    // Whether the first page of the chain started last could be fetched and
    // came as a page (status 200), not an error page;
    // nothing while that page is still on its way.
    std::optional<bool> FirstPageRead() const;

    // Links taken from one page at most; a real result page holds a few
    // hundred, so the cap only bounds a page that would flood the window.
    static constexpr std::size_t kMaxLinksPerPage = 5000;

    // Waits until no page worker of any chain runs; true when none does.
    // Shut-down stops the chains first, so their Temp files are gone by then.
    static bool WaitForPageWorkers(std::chrono::milliseconds timeout);

    static unsigned PageWorkerProc(const std::string& url, std::stop_token stopToken, PendingPages pending,
                                   ChainPtr chain);
    void NavigatePage(const std::string& url);

    int m_nFound = -1;
    std::string m_strPageKey = "start";

private:
    static void StartPageWorker(const std::string& url, std::stop_token stopToken, PendingPages pending,
                                ChainPtr chain);

    std::stop_source m_stopSource;
    std::stop_token m_stopToken;
    PendingPages m_pending;
    ChainPtr m_chain;
};
