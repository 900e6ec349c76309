#include "search/NavigateToMp3.h"

#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "search/HtmlDocument.h"
#include "search/LinkExtractor.h"
#include "search/SearchQuery.h"
#include "resources/Messages.h"

CNavigateToMp3::CNavigateToMp3()
    : m_stopToken(m_stopSource.get_token()), m_pending(std::make_shared<std::atomic<int>>(0))
{
}

CNavigateToMp3::CNavigateToMp3(std::stop_token stopToken, PendingPages pending)
    : m_stopSource(std::nostopstate), m_stopToken(std::move(stopToken)), m_pending(std::move(pending))
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

void CNavigateToMp3::StartNavigation(const std::string& url)
{
    if (url.empty())
        return;
    StartPageWorker(url, m_stopToken, m_pending);
}

void CNavigateToMp3::StartPageWorker(const std::string& url, std::stop_token stopToken, PendingPages pending)
{
    // Counted before the thread exists, so the chain never looks ended in between.
    pending->fetch_add(1);
    if (!platform::AfxBeginThread([url, stopToken, pending] { return PageWorkerProc(url, stopToken, pending); }))
        pending->fetch_sub(1);
}

unsigned CNavigateToMp3::PageWorkerProc(const std::string& url, std::stop_token stopToken, PendingPages pending)
{
    const std::string pageUrl = url;
    if (pageUrl.empty()) {
        pending->fetch_sub(1);
        return 0;
    }
    bool found = false;
    {
        CNavigateToMp3 page(stopToken, pending);
        page.NavigatePage(pageUrl);
        found = page.m_nFound == 1;
    }
    platform::SendMessage(WM_PAGE_RESULT, reinterpret_cast<platform::WPARAM>(pageUrl.c_str()), found ? 1 : -1,
                          stopToken);
    pending->fetch_sub(1);
    platform::SendMessage(WM_PAGE_FINISHED, 0, 0, stopToken);
    return 0;
}

void CNavigateToMp3::NavigatePage(const std::string& url)
{
    // A chain stopped between pages sends nothing more to any server.
    if (m_stopToken.stop_requested())
        return;
    CHtmlDocument document(m_stopToken);
    document.Fetch(url);
    const std::vector<std::string>& links = document.GetLinks();

    for (const std::string& link : links) {
        if (m_stopToken.stop_requested())
            return;
        const std::string resolved = ResolveLink(url, link);
        if (IsMp3Link(resolved)) {
            m_nFound = 1;
            platform::SendMessage(WM_MP3_FOUND, reinterpret_cast<platform::WPARAM>(resolved.c_str()), 0, m_stopToken);
        }
    }

    if (m_stopToken.stop_requested())
        return;
    if (const auto next = FindNextPageLink(url, links, m_strPageKey))
        StartPageWorker(links[*next], m_stopToken, m_pending);
}
