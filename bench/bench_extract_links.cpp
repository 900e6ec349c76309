// Link extraction speed on a 1 MiB result page and on 1 MiB hostile pages:
// unclosed anchor tags, and one tag of a hundred thousand attributes.
#include "search/LinkExtractor.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPageSize = 1024 * 1024;

// Rows of a result page as the engines send them: tables, text, a file
// link, a details link and now and then a paging link.
std::string RealisticPage()
{
    std::string page = "<html><head><title>Results</title><style>td{font:12px Arial}</style></head><body>\n"
                       "<TABLE WIDTH=\"100%\" BORDER=0 CELLPADDING=2>\n";
    for (int row = 0; page.size() < kPageSize; ++row) {
        const std::string n = std::to_string(row);
        page += "<TR><TD CLASS=\"r\"><FONT SIZE=2>" + n + ".</FONT></TD><TD><A HREF=\"http://files" + n +
                ".example.net/music/Artist_-_Title_" + n + ".mp3\" TARGET=\"_blank\">Artist - Title " + n +
                ".mp3</A><BR><SPAN CLASS=\"d\">4.2 MB, 128 kbps, 4:31 &nbsp; found on files" + n +
                ".example.net</SPAN> <a class=\"x\" href='details.asp?id=" + n + "'>details</a></TD></TR>\n";
        if (row % 20 == 0) {
            page += "<p align=center><a href=\"http://engine.example/index.asp?s=artist&start=" + n +
                    "\">Next &gt;&gt;</a></p>\n";
        }
    }
    page.resize(kPageSize);
    return page;
}

std::string HostilePage()
{
    std::string page;
    while (page.size() < kPageSize)
        page += "<a ";
    page.resize(kPageSize);
    return page;
}

std::string CrowdedTagPage()
{
    std::string page = "<a";
    for (int i = 0; page.size() < kPageSize; ++i)
        page += " b" + std::to_string(i);
    return page + " href='x.mp3'>";
}

void Run(benchmark::State& state, const std::string& page)
{
    std::vector<std::string> links;
    for (auto _ : state) {
        links.clear();
        ExtractLinks(page.data(), page.size(), links);
        benchmark::DoNotOptimize(links.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
    state.counters["links"] = static_cast<double>(links.size());
}

void BM_ExtractLinksRealistic(benchmark::State& state)
{
    static const std::string page = RealisticPage();
    Run(state, page);
}

void BM_ExtractLinksHostile(benchmark::State& state)
{
    static const std::string page = HostilePage();
    Run(state, page);
}

}  // namespace

void BM_ExtractLinksCrowdedTag(benchmark::State& state)
{
    static const std::string page = CrowdedTagPage();
    Run(state, page);
}

// Making a realistic page's links absolute, as every result page's links are
// before they reach the window.
void BM_ResolveLinksRealistic(benchmark::State& state)
{
    static const std::string page = RealisticPage();
    std::vector<std::string> targets;
    ExtractLinks(page.data(), page.size(), targets);
    std::vector<std::string> links;
    for (auto _ : state) {
        links = ResolveLinks("http://engine.example/index.asp?s=artist&start=1", targets);
        benchmark::DoNotOptimize(links.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(targets.size()));
}

BENCHMARK(BM_ExtractLinksRealistic);
BENCHMARK(BM_ResolveLinksRealistic);
BENCHMARK(BM_ExtractLinksCrowdedTag);
BENCHMARK(BM_ExtractLinksHostile);
