#include "search/NavigateToMp3.h"

#include "platform/Http.h"
#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "search/HtmlDocument.h"
#include "search/LinkExtractor.h"
#include "search/SearchQuery.h"
#include "search/SearchMessages.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <span>

namespace {

// Page workers alive in the process, whichever chain or handle they belong to.
std::mutex g_liveMutex;
std::condition_variable g_liveChanged;
int g_livePageWorkers = 0;

void PageWorkerEnded()
{
    std::lock_guard lock(g_liveMutex);
    if (--g_livePageWorkers == 0)
        g_liveChanged.notify_all();
}

}  // namespace

// What the page workers of one chain share: the requests the chain has sent,
// so that a chain whose next page would repeat one of them ends there (a page
// linking to itself plus a growing "#fragment" would otherwise be fetched for
// ever), whether its first page could be fetched, and the connections its
// pages are fetched over: a page leaves its connection open for the next one
// (the pages of a chain come one after the other, mostly from one server).
struct CNavigateToMp3::Chain {
    std::mutex mutex;
    // Held by the page that uses the connections; the next page's worker
    // starts while the page before it is still closing its request.
    std::mutex fetchMutex;
    platform::HttpConnections connections;
    std::set<std::string> sent;
    std::atomic<int> firstPageRead{-1};
    int engine = 0;

    // The request a URL stands for: the fragment never leaves the program.
    static std::string RequestOf(const std::string& url) { return url.substr(0, url.find('#')); }

    // False when the chain has sent this request before.
    bool Claim(const std::string& url)
    {
        std::lock_guard lock(mutex);
        return sent.insert(RequestOf(url)).second;
    }
};

CNavigateToMp3::CNavigateToMp3()
    : m_stopToken(m_stopSource.get_token()), m_pending(std::make_shared<std::atomic<int>>(0))
{
}

CNavigateToMp3::CNavigateToMp3(std::stop_token stopToken, PendingPages pending, ChainPtr chain)
    : m_stopSource(std::nostopstate)
    , m_stopToken(std::move(stopToken))
    , m_pending(std::move(pending))
    , m_chain(std::move(chain))
{
}

CNavigateToMp3::~CNavigateToMp3()
{
    Stop();
}

void CNavigateToMp3::Stop()
{
    if (m_stopSource.stop_possible())
        m_stopSource.request_stop();
}

bool CNavigateToMp3::IsRunning() const
{
    return m_pending->load() > 0;
}

std::optional<bool> CNavigateToMp3::FirstPageRead() const
{
    if (!m_chain || m_chain->firstPageRead.load() < 0)
        return std::nullopt;
    return m_chain->firstPageRead.load() == 1;
}

void CNavigateToMp3::StartNavigation(const std::string& url, int engine)
{
    if (url.empty())
        return;
    m_chain = std::make_shared<Chain>();
    m_chain->engine = engine;
    m_chain->Claim(url);
    StartPageWorker(url, m_stopToken, m_pending, m_chain);
}

void CNavigateToMp3::StartPageWorker(const std::string& url, std::stop_token stopToken, PendingPages pending,
                                     ChainPtr chain)
{
    // Counted before the thread exists, so the chain never looks ended in between.
    pending->fetch_add(1);
    {
        std::lock_guard lock(g_liveMutex);
        ++g_livePageWorkers;
    }
    if (!platform::AfxBeginThread([url, stopToken, pending, chain] {
            const unsigned result = PageWorkerProc(url, stopToken, pending, chain);
            PageWorkerEnded();
            return result;
        })) {
        pending->fetch_sub(1);
        PageWorkerEnded();
    }
}

bool CNavigateToMp3::WaitForPageWorkers(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(g_liveMutex);
    return g_liveChanged.wait_for(lock, timeout, [] { return g_livePageWorkers == 0; });
}

unsigned CNavigateToMp3::PageWorkerProc(const std::string& url, std::stop_token stopToken, PendingPages pending,
                                        ChainPtr chain)
{
    const std::string pageUrl = url;
    if (pageUrl.empty()) {
        pending->fetch_sub(1);
        return 0;
    }
    bool found = false;
    {
        CNavigateToMp3 page(stopToken, pending, chain);
        page.NavigatePage(pageUrl);
        found = page.m_nFound == 1;
    }
    platform::Send(PageResult{pageUrl, found, chain->engine}, stopToken);
    pending->fetch_sub(1);
    platform::Send(PageFinished{chain->engine}, stopToken);
    return 0;
}

void CNavigateToMp3::NavigatePage(const std::string& url)
{
    // A chain stopped between pages sends nothing more to any server.
    if (m_stopToken.stop_requested())
        return;
    std::lock_guard fetchLock(m_chain->fetchMutex);
    CHtmlDocument document(m_stopToken, &m_chain->connections);
    const bool fetched = document.Fetch(url);
    // Only the chain's first page is still unknown here; later pages leave it.
    // An error page (404, 500) is read for its links like any other, but the
    // walk did not start on the page that was asked for.
    int unknown = -1;
    m_chain->firstPageRead.compare_exchange_strong(unknown, fetched && document.StatusCode() == 200 ? 1 : 0);
    const std::vector<std::string>& links = document.GetLinks(kMaxLinksPerPage);
    if (document.LinksCapped())
        platform::Send(PageCapped{url}, m_stopToken);

    // The links come absolute, resolved as a browser resolves them. They go
    // to the window in runs, one wake-up of the window for many links.
    std::vector<Mp3Found> mp3Links;
    for (const std::string& link : links) {
        if (IsMp3Link(link))
            mp3Links.push_back(Mp3Found{link, m_chain->engine});
    }
    for (std::size_t sent = 0; sent < mp3Links.size();) {
        if (m_stopToken.stop_requested())
            return;
        m_nFound = 1;
        const platform::SendRun run =
            platform::SendEach(std::span<const Mp3Found>(mp3Links).subspan(sent), m_stopToken);
        if (run.handled == 0)
            break;  // no window to take them
        sent += run.handled;
        // The window may hand the found-file sound to a worker; this page
        // waits for it, so the sound still sets the pace of the search.
        platform::WaitForCompletion(run.lastResult, m_stopToken);
    }

    if (m_stopToken.stop_requested())
        return;
    if (const auto next = FindNextPageLink(url, links, m_strPageKey); next && m_chain->Claim(links[*next]))
        StartPageWorker(links[*next], m_stopToken, m_pending, m_chain);
}
