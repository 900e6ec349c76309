#include "Engines.h"

#include "Field.h"

#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "search/EngineAdder.h"
#include "search/EngineConfig.h"
#include "search/NavigateToMp3.h"
#include "search/SearchMessages.h"
#include "search/SearchQuery.h"
#include "search/UserEngineFolder.h"
#include "search/UserEngineWalk.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const char* KindName(const UserEngine& engine)
{
    return engine.kind == UserEngine::Kind::Feed ? "feed" : "html";
}

UserEngineList LoadAndWarn(const std::string& dir)
{
    UserEngineList list = LoadUserEngines(dir);
    for (const std::string& problem : list.problems)
        std::fprintf(stderr, "skipped\t%s\n", Field(problem).c_str());
    return list;
}

// One engine of a whole search: the built-in ones run as chains of page
// workers, the user's as walks; both report through the receiver below.
struct SearchEngine {
    std::string name;
    std::string host;  // built-in engines: their pages are told apart by host
    std::unique_ptr<CNavigateToMp3> chain;
    std::unique_ptr<CUserEngineWalk> walk;
    std::atomic<int> count{0};
    std::atomic<bool> firstDone{false};
    bool started = false;
    bool ended = false;

    bool Running() const { return chain ? chain->IsRunning() : walk && walk->IsRunning(); }
    bool Read() const
    {
        const std::optional<bool> read = chain ? chain->FirstPageRead() : walk ? walk->FirstPageRead() : std::nullopt;
        return read.value_or(false);
    }
};

class SearchReceiver final : public platform::MessageReceiver {
public:
    explicit SearchReceiver(std::vector<std::unique_ptr<SearchEngine>>& engines) : m_engines(engines)
    {
        platform::SetMainWindow(this);
    }
    ~SearchReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        std::lock_guard lock(m_mutex);
        platform::Dispatch<Mp3Found, PageResult, PageFinished, UserEngineFind, UserEnginePage, UserEngineFirstPage,
                           UserEngineEnded>(
            message, wParam, lParam,
            platform::Overloaded{
                [this](const Mp3Found& found) { Found(static_cast<std::size_t>(found.engine) - 1, found.url.c_str()); },
                [this](const PageResult& page) {
                    for (std::size_t i = 0; i < 2 && i < m_engines.size(); ++i) {
                        if (page.url.find(m_engines[i]->host) != std::string::npos) {
                            Page(i, page.url, page.found);
                            break;
                        }
                    }
                },
                [this](const PageFinished& finished) {
                    if (finished.engine >= 1 && static_cast<std::size_t>(finished.engine) <= m_engines.size())
                        m_engines[static_cast<std::size_t>(finished.engine) - 1]->firstDone = true;
                },
                [this](const UserEngineFind& find) {
                    Found(2 + static_cast<std::size_t>(find.engine), find.url.c_str());
                },
                [this](const UserEnginePage& page) {
                    Page(2 + static_cast<std::size_t>(page.engine), page.url, page.found);
                },
                [this](const UserEngineFirstPage& first) {
                    if (2 + static_cast<std::size_t>(first.engine) < m_engines.size())
                        m_engines[2 + static_cast<std::size_t>(first.engine)]->firstDone = true;
                },
                [](const UserEngineEnded& ended) {
                    if (!ended.problem.empty())
                        std::fprintf(stderr, "ended\t%s\n", Field(ended.problem).c_str());
                },
            });
        return 0;
    }

    void Print(const std::string& line)
    {
        std::lock_guard lock(m_mutex);
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }

private:
    void Found(std::size_t index, const char* url)
    {
        if (index >= m_engines.size())
            return;
        ++m_engines[index]->count;
        std::printf("mp3\t%s\t%s\n", Field(m_engines[index]->name).c_str(), Field(url).c_str());
        std::fflush(stdout);
    }

    void Page(std::size_t index, const std::string& url, bool found)
    {
        if (index >= m_engines.size())
            return;
        std::printf("page\t%s\t%s\t%d\n", Field(m_engines[index]->name).c_str(), Field(url).c_str(), found ? 1 : -1);
        std::fflush(stdout);
    }

    std::vector<std::unique_ptr<SearchEngine>>& m_engines;
    std::mutex m_mutex;
};

}  // namespace

int RunEnginesCommand(const std::string& enginesDir)
{
    const EngineConfig config = Engines();
    std::printf("engine\t%s\tbuiltin\t%s\n", Field(config.sites[0].name).c_str(),
                Field(config.FirstBaseUrl() +
                      "?sartist={artist}&ssong={song}&searchtype={searchType}&ref=&page=results&search=Search&Start=1")
                    .c_str());
    std::printf("engine\t%s\tbuiltin\t%s\n", Field(config.sites[1].name).c_str(),
                Field(config.SecondBaseUrl() + "?s={artist}&ref=&page=results&resize=&zoektype={searchType}&start=1")
                    .c_str());
    for (const UserEngine& engine : LoadAndWarn(enginesDir).engines)
        std::printf("engine\t%s\t%s\t%s\n", Field(engine.shortName).c_str(), KindName(engine),
                    Field(engine.templ).c_str());
    return 0;
}

int RunSearchCommand(const std::string& enginesDir, const std::vector<std::string>& args)
{
    if (args.size() != 2 || (args[0].empty() && args[1].empty()))
        return 2;
    const std::string& artist = args[0];
    const std::string& song = args[1];
    const EngineConfig config = Engines();
    const std::string type = DeriveSearchType(artist, song);

    std::vector<std::unique_ptr<SearchEngine>> engines;
    for (std::size_t i = 0; i < 2; ++i) {
        auto engine = std::make_unique<SearchEngine>();
        engine->name = config.sites[i].name;
        engine->host = config.sites[i].host;
        engine->chain = std::make_unique<CNavigateToMp3>();
        engines.push_back(std::move(engine));
    }
    const UserEngineList users = LoadAndWarn(enginesDir);
    for (std::size_t i = 0; i < users.engines.size(); ++i) {
        auto engine = std::make_unique<SearchEngine>();
        engine->name = users.engines[i].shortName;
        engine->walk = std::make_unique<CUserEngineWalk>(static_cast<int>(i), users.engines[i]);
        engines.push_back(std::move(engine));
    }

    SearchReceiver receiver(engines);
    // Each engine starts once the one before it has finished its first page,
    // as in the window.
    const auto start = [&](std::size_t index) {
        SearchEngine& engine = *engines[index];
        engine.started = true;
        if (index < 2) {
            const std::string base = index == 0 ? config.FirstBaseUrl() : config.SecondBaseUrl();
            engine.chain->StartNavigation(BuildEngineUrl(base, type, artist, song), static_cast<int>(index) + 1);
        } else {
            engine.walk->Start(artist, song);
        }
    };
    start(0);
    bool anyRead = false;
    for (;;) {
        bool allEnded = true;
        for (std::size_t i = 0; i < engines.size(); ++i) {
            SearchEngine& engine = *engines[i];
            if (!engine.started) {
                allEnded = false;
                continue;
            }
            if (i + 1 < engines.size() && !engines[i + 1]->started && (engine.firstDone || !engine.Running()))
                start(i + 1);
            if (!engine.ended && !engine.Running()) {
                engine.ended = true;
                anyRead = anyRead || engine.Read();
                receiver.Print("engine\t" + Field(engine.name) + "\t" + std::to_string(engine.count.load()) + "\n");
            }
            allEnded = allEnded && engine.ended;
        }
        if (allEnded)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    receiver.Print("finished\n");
    // Every walk has reported its end; its thread may still be unwinding.
    while (!platform::WaitForWorkers(std::chrono::seconds(1))) {
    }
    return anyRead ? 0 : 1;
}

int RunAddEngineCommand(const std::string& enginesDir, const std::vector<std::string>& args)
{
    std::string source;
    bool replace = false;
    for (const std::string& arg : args) {
        if (arg == "--replace")
            replace = true;
        else if (source.empty() && !arg.empty())
            source = arg;
        else
            return 2;
    }
    if (source.empty())
        return 2;
    const AddEngineResult result = AddEngine(source, enginesDir, replace);
    switch (result.status) {
    case AddEngineResult::Status::Added:
        std::printf("added\t%s\t%s\n", Field(result.name).c_str(), Field(result.file).c_str());
        return 0;
    case AddEngineResult::Status::Exists:
        std::printf("error\texists\t%s\t%s\n", Field(result.name).c_str(), Field(result.file).c_str());
        return 1;
    case AddEngineResult::Status::Failed: break;
    }
    std::printf("error\t%s\n", Field(result.error).c_str());
    return 1;
}
