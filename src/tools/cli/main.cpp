// tunorva-cli: runs the search engine core without the window, for scripts,
// tests and checking an engine by hand. Output is one record per line with
// TAB-separated fields.

#include "Download.h"
#include "Engines.h"
#include "Field.h"
#include "Probe.h"
#include "Preview.h"

#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "search/EngineConfig.h"
#include "search/HtmlDocument.h"
#include "search/LinkExtractor.h"
#include "search/NavigateToMp3.h"
#include "search/SearchMessages.h"
#include "search/SearchQuery.h"
#include "search/UserEngineFolder.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: tunorva-cli [--engines FILE] [--engines-dir DIR] COMMAND ARGS\n"
    "  query ARTIST SONG     the search type and both engines' first-page URLs\n"
    "  links FILE PAGE-URL   the links of a saved page, resolved against PAGE-URL\n"
    "                        (or the page's <base>)\n"
    "  fetch URL             fetch one result page and list its links\n"
    "  walk URL              walk the result pages from URL, printing each report\n"
    "  download URL MUSIC-DIR [--replace yes|no] [--login USER:PASSWORD]\n"
    "                        [--pause-at BYTES --resume-after MS (at most 600000)]\n"
    "                        [--retries N] [--retry-wait-ms MS] [--limit-rate KBPS]\n"
    "                        [--mirror URL (the same file elsewhere, at most 16)]...\n"
    "                        download one file into MUSIC-DIR as the window would;\n"
    "                        run again, it resumes from the part file left there\n"
    "  probe URL...          probe each file as a found file's row is probed: records\n"
    "                        size, mp3, bitrate, vbr, rate, length, title, artist,\n"
    "                        album, head (SHA-256 of the bytes asked for), requests\n"
    "  engines               list every engine: engine, name, builtin|html|feed, template\n"
    "  search ARTIST SONG    search every engine in the window's order\n"
    "  add-engine ADDRESS|FILE [--replace]\n"
    "                        add an engine from a site, a feed or a description file\n"
    "  preview URL --wav FILE [--seconds N]\n"
    "                        decode the first N seconds (10; at most 600) of an MP3\n"
    "                        as the window's preview plays it, into a WAV file\n"
    "--engines-dir DIR replaces the folder of the user's own engines.\n"
    "Engines.ini is read from the settings folder (the program folder of a portable\n"
    "copy, $XDG_CONFIG_HOME/Tunorva when installed) unless --engines names a file.\n"
    "Exit status: 0 done, 1 the file or page could not be read (or the download\n"
    "failed or was declined), 2 bad arguments.\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// One record per link: the target as written, the URL it resolves to against
// `baseUrl` ("-" for a link that is never fetched) and whether it is an MP3
// file; then the next page among the resolved links.
void PrintLinks(const std::string& baseUrl, const std::string& pageUrl, const std::vector<std::string>& targets)
{
    std::vector<std::string> resolvedLinks;
    for (const std::string& target : targets) {
        const std::string resolved = ResolveLink(baseUrl, target);
        std::printf("link\t%s\t%s\t%s\n", Field(target).c_str(), resolved.empty() ? "-" : Field(resolved).c_str(),
                    IsMp3Link(resolved) ? "mp3" : "-");
        if (!resolved.empty())
            resolvedLinks.push_back(resolved);
    }
    const auto next = FindNextPageLink(pageUrl, resolvedLinks, kPageKey);
    std::printf("next\t%s\n", next ? Field(resolvedLinks[*next]).c_str() : "-");
}

// The main window of the command line: counts fetch steps and prints what a
// search reports, on whichever worker sends it (one at a time).
class ConsoleReceiver final : public platform::MessageReceiver {
public:
    explicit ConsoleReceiver(bool printSearch) : m_printSearch(printSearch) { platform::SetMainWindow(this); }
    ~ConsoleReceiver() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        if (message == WM_FETCH_STEP) {
            ++m_steps;
            return 0;
        }
        if (!m_printSearch)
            return 0;
        platform::Dispatch<Mp3Found, PageResult, PageFinished>(
            message, wParam, lParam,
            platform::Overloaded{
                [](const Mp3Found& found) { std::printf("mp3\t%s\n", Field(found.url).c_str()); },
                [](const PageResult& page) {
                    std::printf("page\t%s\t%ld\n", Field(page.url).c_str(), page.found ? 1L : -1L);
                },
                [](const PageFinished&) { std::printf("finished\n"); },
            });
        std::fflush(stdout);
        return 0;
    }

    int Steps() const { return m_steps; }

private:
    bool m_printSearch;
    std::atomic<int> m_steps{0};
};

int Query(const std::string& artist, const std::string& song)
{
    const std::string type = DeriveSearchType(artist, song);
    std::printf("type\t%s\n", type.c_str());
    const EngineConfig engines = Engines();
    std::printf("first\t%s\n", Field(BuildEngineUrl(engines.FirstBaseUrl(), type, artist, song)).c_str());
    std::printf("second\t%s\n", Field(BuildEngineUrl(engines.SecondBaseUrl(), type, artist, song)).c_str());
    return 0;
}

int Links(const std::string& file, const std::string& pageUrl)
{
    const auto bytes = platform::ReadWholeFile(file);
    if (!bytes) {
        std::fprintf(stderr, "cannot read %s\n", Field(file).c_str());
        return 1;
    }
    LinkExtractor extractor;
    extractor.Feed(bytes->data(), bytes->size());
    extractor.Finish();
    PrintLinks(DocumentBase(pageUrl, extractor.BaseHref()), pageUrl, extractor.Targets());
    return 0;
}

int Fetch(const std::string& url)
{
    ConsoleReceiver receiver(false);
    CHtmlDocument document;
    const bool fetched = document.Fetch(url);
    const std::vector<std::string>& links = document.GetLinks();
    std::printf("steps\t%d\n", receiver.Steps());
    // The document's links are absolute already.
    PrintLinks(document.PageUrl().empty() ? url : document.PageUrl(), url, links);
    return fetched ? 0 : 1;
}

int Walk(const std::string& url)
{
    ConsoleReceiver receiver(true);
    bool firstPageRead = false;
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation(url);
        // Every page worker starts its successor before it ends, so the count
        // of running workers drops to zero only when the chain is over.
        while (!platform::WaitForWorkers(std::chrono::seconds(1))) {
        }
        firstPageRead = navigator.FirstPageRead().value_or(false);
    }
    return firstPageRead ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string enginesPath = platform::GetAppFolders().configDir + "/Engines.ini";
    if (args.size() >= 2 && args[0] == "--engines") {
        enginesPath = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    std::string enginesDir;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--engines-dir") {
            enginesDir = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            break;
        }
    }
    if (args.empty())
        return Usage();
    if (enginesDir.empty())
        enginesDir = UserEnginesDir();

    platform::InitHttp();
    SetEngines(EngineConfig::Load(enginesPath));

    const std::string& command = args[0];
    if (command == "query" && args.size() == 3)
        return Query(args[1], args[2]);
    if (command == "links" && args.size() == 3)
        return Links(args[1], args[2]);
    if (command == "fetch" && args.size() == 2)
        return Fetch(args[1]);
    if (command == "walk" && args.size() == 2)
        return Walk(args[1]);
    if (command == "engines" && args.size() == 1)
        return RunEnginesCommand(enginesDir);
    if (command == "search") {
        const int status = RunSearchCommand(enginesDir, {args.begin() + 1, args.end()});
        return status == 2 ? Usage() : status;
    }
    if (command == "add-engine") {
        const int status = RunAddEngineCommand(enginesDir, {args.begin() + 1, args.end()});
        return status == 2 ? Usage() : status;
    }
    if (command == "probe") {
        const int status = RunProbeCommand({args.begin() + 1, args.end()});
        return status == 2 ? Usage() : status;
    }
    if (command == "preview") {
        const int status = RunPreviewCommand({args.begin() + 1, args.end()});
        return status == 2 ? Usage() : status;
    }
    if (command == "download") {
        const int status = RunDownloadCommand({args.begin() + 1, args.end()});
        return status == 2 ? Usage() : status;
    }
    return Usage();
}
