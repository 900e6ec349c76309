#include "search/UserEngineWalk.h"

#include "download/FileNameFromUrl.h"
#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/SearchMessages.h"
#include "search/FeedReader.h"
#include "search/FetchBody.h"
#include "search/HtmlDocument.h"
#include "search/LinkExtractor.h"
#include "search/NavigateToMp3.h"
#include "search/SearchQuery.h"
#include "settings/LanguagePack.h"

#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

namespace {

std::mutex g_liveMutex;
std::condition_variable g_liveChanged;
int g_liveWalks = 0;

}  // namespace

struct CUserEngineWalk::State {
    std::atomic<bool> running{false};
    std::atomic<int> firstPageRead{-1};
};

namespace {

struct Found {
    std::string url;
    std::string fileName;
};

class Walker {
public:
    Walker(int number, const UserEngine& engine, std::stop_token stop, std::shared_ptr<CUserEngineWalk::State> state)
        : m_number(number), m_engine(engine), m_stop(std::move(stop)), m_state(std::move(state))
    {
    }

    void Run(const std::string& terms)
    {
        const std::optional<std::string> first = ExpandTemplate(m_engine, terms, 0);
        if (first) {
            if (m_engine.kind == UserEngine::Kind::Feed)
                WalkFeed(*first);
            else if (m_engine.PagesByTemplate())
                WalkNumberedPages(terms);
            else
                WalkLinkedPages(*first);
        }
        if (m_state->firstPageRead.load() < 0)
            m_state->firstPageRead.store(0);
        if (!m_firstReported)
            platform::Send(UserEngineFirstPage{m_number}, m_stop);
        m_state->running.store(false);
        platform::Send(UserEngineEnded{m_number, m_problem}, m_stop);
    }

private:
    // Reports one page's files and the page itself; true when it held any.
    bool Report(const std::string& url, const std::vector<Found>& files)
    {
        for (const Found& file : files) {
            if (m_stop.stop_requested())
                return false;
            const platform::LRESULT sound = platform::Send(UserEngineFind{m_number, file.url, file.fileName}, m_stop);
            platform::WaitForCompletion(sound, m_stop);
        }
        platform::Send(UserEnginePage{m_number, url, !files.empty()}, m_stop);
        if (!m_firstReported) {
            m_firstReported = true;
            platform::Send(UserEngineFirstPage{m_number}, m_stop);
        }
        return !files.empty();
    }

    // The page's MP3 links, and its links for the next-page rule.
    std::vector<Found> ReadHtml(const std::string& url, std::vector<std::string>& links, std::string& pageUrl)
    {
        CHtmlDocument document(m_stop);
        const bool fetched = document.Fetch(url);
        SetFirstPage(fetched && document.StatusCode() == 200);
        links = document.GetLinks(CNavigateToMp3::kMaxLinksPerPage);
        pageUrl = document.PageUrl().empty() ? url : document.PageUrl();
        if (document.LinksCapped())
            platform::Send(PageCapped{url}, m_stop);
        std::vector<Found> files;
        for (const std::string& link : links) {
            if (IsMp3Link(link))
                files.push_back({link, FileNameFromUrl(link)});
        }
        return files;
    }

    void SetFirstPage(bool read)
    {
        int unknown = -1;
        m_state->firstPageRead.compare_exchange_strong(unknown, read ? 1 : 0);
    }

    void WalkNumberedPages(const std::string& terms)
    {
        std::set<std::string> seen;
        for (int page = 0; page < CUserEngineWalk::kMaxPages && !m_stop.stop_requested(); ++page) {
            const std::optional<std::string> url = ExpandTemplate(m_engine, terms, page);
            if (!url)
                return;
            std::vector<std::string> links;
            std::string pageUrl;
            const std::vector<Found> files = ReadHtml(*url, links, pageUrl);
            bool fresh = false;
            for (const Found& file : files)
                fresh = seen.insert(file.url).second || fresh;
            Report(*url, files);
            // A site that answers every page number with the same results
            // (or none) ends the walk here.
            if (!fresh)
                return;
        }
    }

    void WalkLinkedPages(std::string url)
    {
        std::set<std::string> sent;
        for (int page = 0; page < CUserEngineWalk::kMaxPages && !m_stop.stop_requested(); ++page) {
            sent.insert(url.substr(0, url.find('#')));
            std::vector<std::string> links;
            std::string pageUrl;
            const std::vector<Found> files = ReadHtml(url, links, pageUrl);
            Report(url, files);
            const auto next = FindNextPageLink(url, links, kPageKey);
            if (!next || !sent.insert(links[*next].substr(0, links[*next].find('#'))).second)
                return;
            url = links[*next];
        }
    }

    void WalkFeed(std::string url)
    {
        std::set<std::string> sent;
        for (int page = 0; page < CUserEngineWalk::kMaxPages && !m_stop.stop_requested(); ++page) {
            sent.insert(url);
            const FetchedBody body = FetchBody(url, kMaxFeedBytes, m_stop);
            SetFirstPage(body.fetched && body.status == 200);
            FeedPage feed;
            if (m_stop.stop_requested())
                return;
            if (!body.fetched)
                feed.problem = FeedProblem::NoAnswer;
            else if (body.status != 200)
                feed.problem = FeedProblem::HttpStatus;
            else if (body.capped)
                feed.problem = FeedProblem::TooLarge;
            else
                feed = ParseFeed(body.body, body.pageUrl);
            std::vector<Found> files;
            for (FeedFile& file : feed.files)
                files.push_back({std::move(file.url), std::move(file.fileName)});
            Report(url, files);
            // A page that came but is no feed Tunorva can read would
            // otherwise end the walk without a word.
            if (feed.problem != FeedProblem::None) {
                m_problem = AfxFormatString2(LoadLanguageString(IDS_FEED_NOT_READ), m_engine.shortName,
                                             FeedProblemText(feed.problem, body.status));
                return;
            }
            if (feed.next.empty() || !sent.insert(feed.next).second)
                return;
            url = feed.next;
        }
    }

    int m_number;
    const UserEngine& m_engine;
    std::stop_token m_stop;
    std::shared_ptr<CUserEngineWalk::State> m_state;
    bool m_firstReported = false;
    std::string m_problem;
};

}  // namespace

CUserEngineWalk::CUserEngineWalk(int number, UserEngine engine)
    : m_number(number), m_engine(std::move(engine)), m_state(std::make_shared<State>())
{
}

CUserEngineWalk::~CUserEngineWalk()
{
    Stop();
}

bool CUserEngineWalk::Start(const std::string& artist, const std::string& song)
{
    m_state->running.store(true);
    const std::string terms = SearchTermsOf(artist, song);
    {
        std::lock_guard lock(g_liveMutex);
        ++g_liveWalks;
    }
    const auto ended = [] {
        std::lock_guard lock(g_liveMutex);
        if (--g_liveWalks == 0)
            g_liveChanged.notify_all();
    };
    if (!platform::AfxBeginThread(
            [number = m_number, engine = m_engine, stop = m_stopSource.get_token(), state = m_state, terms, ended] {
                Walker(number, engine, stop, state).Run(terms);
                ended();
                return 0u;
            })) {
        m_state->running.store(false);
        ended();
        return false;
    }
    return true;
}

bool CUserEngineWalk::WaitForWalks(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(g_liveMutex);
    return g_liveChanged.wait_for(lock, timeout, [] { return g_liveWalks == 0; });
}

void CUserEngineWalk::Stop()
{
    m_stopSource.request_stop();
}

bool CUserEngineWalk::IsRunning() const
{
    return m_state->running.load();
}

std::optional<bool> CUserEngineWalk::FirstPageRead() const
{
    const int value = m_state->firstPageRead.load();
    if (value < 0)
        return std::nullopt;
    return value == 1;
}
