#include "Engines.h"

#include "Field.h"

#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "search/EngineAdder.h"
#include "search/EngineConfig.h"
#include "search/EngineReports.h"
#include "search/SearchEngines.h"
#include "search/UserEngineFolder.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>

namespace {

UserEngineList LoadAndWarn(const std::string& dir)
{
    UserEngineList list = LoadUserEngines(dir);
    for (const std::string& problem : list.problems)
        std::fprintf(stderr, "skipped\t%s\n", Field(problem).c_str());
    return list;
}

// A whole search's engines as the window runs them, and what each has
// reported; every engine is heard through the same typed reports.
class SearchReceiver final : public platform::MessageReceiver {
public:
    explicit SearchReceiver(const std::vector<std::unique_ptr<CSearchEngine>>& engines)
        : m_engines(engines), m_counts(engines.size(), 0), m_firstDone(engines.size(), false)
    {
        platform::SetMainWindow(this);
    }
    ~SearchReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        const std::optional<EngineReport> report = ReadEngineReport(message, wParam, lParam);
        if (!report)
            return 0;
        std::lock_guard lock(m_mutex);
        std::visit(platform::Overloaded{
                       [this](const EngineFileFound& found) {
                           if (!Known(found.engine))
                               return;
                           ++m_counts[static_cast<std::size_t>(found.engine)];
                           Line("mp3\t" + Field(NameOf(found.engine)) + "\t" + Field(found.url) + "\n");
                       },
                       [this](const EnginePageRead& page) {
                           if (Known(page.engine))
                               Line("page\t" + Field(NameOf(page.engine)) + "\t" + Field(page.url) + "\t" +
                                    (page.found ? "1" : "-1") + "\n");
                       },
                       [this](const EnginePageDone& done) {
                           if (Known(done.engine))
                               m_firstDone[static_cast<std::size_t>(done.engine)] = true;
                       },
                       [](const EngineEnded& ended) {
                           if (!ended.problem.empty())
                               std::fprintf(stderr, "ended\t%s\n", Field(ended.problem).c_str());
                       },
                   },
                   *report);
        return 0;
    }

    void Print(const std::string& line)
    {
        std::lock_guard lock(m_mutex);
        Line(line);
    }
    int Count(std::size_t engine) const
    {
        std::lock_guard lock(m_mutex);
        return m_counts[engine];
    }
    bool FirstPageDone(std::size_t engine) const
    {
        std::lock_guard lock(m_mutex);
        return m_firstDone[engine];
    }

private:
    bool Known(int engine) const { return engine >= 0 && static_cast<std::size_t>(engine) < m_engines.size(); }
    const std::string& NameOf(int engine) const { return m_engines[static_cast<std::size_t>(engine)]->Name(); }
    static void Line(const std::string& line)
    {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }

    const std::vector<std::unique_ptr<CSearchEngine>>& m_engines;
    std::vector<int> m_counts;
    std::vector<bool> m_firstDone;
    mutable std::mutex m_mutex;
};

}  // namespace

int RunEnginesCommand(const std::string& enginesDir)
{
    for (const auto& engine : MakeSearchEngines(LoadAndWarn(enginesDir).engines))
        std::printf("engine\t%s\t%s\t%s\n", Field(engine->Name()).c_str(), KindName(engine->EngineKind()),
                    Field(engine->Template()).c_str());
    return 0;
}

int RunSearchCommand(const std::string& enginesDir, const std::vector<std::string>& args)
{
    if (args.size() != 2 || (args[0].empty() && args[1].empty()))
        return 2;
    const SearchKeys keys{args[0], args[1]};
    const std::vector<std::unique_ptr<CSearchEngine>> engines = MakeSearchEngines(LoadAndWarn(enginesDir).engines);
    SearchReceiver receiver(engines);
    std::vector<bool> started(engines.size(), false);
    std::vector<bool> ended(engines.size(), false);
    // Each engine starts once the one before it has finished its first page
    // (or ended without one), as in the window.
    const auto start = [&](std::size_t index) {
        started[index] = true;
        engines[index]->Start(keys);
    };
    start(0);
    bool anyRead = false;
    for (;;) {
        bool allEnded = true;
        for (std::size_t i = 0; i < engines.size(); ++i) {
            CSearchEngine& engine = *engines[i];
            if (!started[i]) {
                allEnded = false;
                continue;
            }
            if (i + 1 < engines.size() && !started[i + 1] && (receiver.FirstPageDone(i) || !engine.IsRunning()))
                start(i + 1);
            if (!ended[i] && !engine.IsRunning()) {
                ended[i] = true;
                anyRead = anyRead || engine.FirstPageRead().value_or(false);
                receiver.Print("engine\t" + Field(engine.Name()) + "\t" + std::to_string(receiver.Count(i)) + "\n");
            }
            allEnded = allEnded && ended[i];
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
