#pragma once

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
    // A handle with a stop source of its own.
    CNavigateToMp3();
    // The state of one page of a chain stopped by `stopToken`.
    explicit CNavigateToMp3(std::stop_token stopToken);
    ~CNavigateToMp3();
    CNavigateToMp3(const CNavigateToMp3&) = delete;
    CNavigateToMp3& operator=(const CNavigateToMp3&) = delete;

    // Starts a page worker on `url`; an empty URL does nothing.
    void StartNavigation(const std::string& url);
    // Stops every chain this handle started.
    void Stop();

    static unsigned PageWorkerProc(const std::string& url, std::stop_token stopToken);
    void NavigatePage(const std::string& url);

    int m_nFound = -1;
    std::string m_strPageKey = "start";

private:
    static void StartPageWorker(const std::string& url, std::stop_token stopToken);

    std::stop_source m_stopSource;
    std::stop_token m_stopToken;
};
