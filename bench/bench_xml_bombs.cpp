// Descriptions and feeds built to make the XML parser slow, each at or under
// the size cap it is read with: the time to read one, as adding an engine or
// walking a feed would. Every case should stay well under a second.
//   cmake -B build -DTUNORVA_BENCH=ON && cmake --build build --target bench_xml_bombs
//   build/bench/bench_xml_bombs
#include "search/FeedReader.h"
#include "search/OpenSearchDescription.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string Attributes(std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += " a" + std::to_string(i) + "=\"\"";
    return out;
}

// One <Url> with `count` attributes: 40,000 make the 429 KB file of the
// field, 93,000 fill the 1 MiB cap.
std::string AttributeBomb(std::size_t count)
{
    return "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\"><ShortName>Bomb</ShortName>"
           "<Url type=\"text/html\" template=\"http://s/?q={searchTerms}\"" +
           Attributes(count) + "/></OpenSearchDescription>";
}

// A feed as large as a feed may be, of items with `attributes` attributes.
std::string FullFeedOfItems(std::size_t attributes)
{
    const std::string item = "<item><enclosure url=\"http://c/1.mp3\"" + Attributes(attributes) + "/></item>";
    std::string feed = "<rss><channel><title>Wide</title>";
    while (feed.size() + item.size() + 32 < kMaxFeedBytes)
        feed += item;
    return feed + "</channel></rss>";
}

// Elements nested as deep as they go, each declaring namespaces.
std::string DeepNamespaces()
{
    std::string open;
    std::string close;
    std::string declarations;
    for (int i = 0; i < 200; ++i)
        declarations += " xmlns:n" + std::to_string(i) + "=\"urn:" + std::to_string(i) + "\"";
    for (int depth = 0; depth < 250; ++depth) {
        open += "<e" + declarations + ">";
        close.insert(0, "</e>");
    }
    return "<rss><channel>" + open + close + "</channel></rss>";
}

void BM_DescriptionAttributeBomb(benchmark::State& state)
{
    const std::string bytes = AttributeBomb(static_cast<std::size_t>(state.range(0)));
    state.SetLabel(std::to_string(bytes.size() / 1024) + " KiB");
    for (auto _ : state) {
        const DescriptionResult result = ParseOpenSearchDescription(bytes);
        benchmark::DoNotOptimize(result.problem);
    }
}
BENCHMARK(BM_DescriptionAttributeBomb)->Arg(40000)->Arg(93000)->Unit(benchmark::kMillisecond);

void BM_FeedAttributeBomb(benchmark::State& state)
{
    const std::string bytes = "<rss><channel><item><enclosure" + Attributes(static_cast<std::size_t>(state.range(0))) +
                              "/></item></channel></rss>";
    state.SetLabel(std::to_string(bytes.size() / 1024) + " KiB");
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseFeed(bytes, "http://c/").problem);
}
BENCHMARK(BM_FeedAttributeBomb)->Arg(40000)->Arg(93000)->Unit(benchmark::kMillisecond);

// 250 attributes an item: at the limit for one element, far over it for the
// whole feed. 2 is what real enclosures carry: the cost of a real feed that large.
void BM_FeedOfItemsAtTheCap(benchmark::State& state)
{
    const std::string bytes = FullFeedOfItems(static_cast<std::size_t>(state.range(0)));
    state.SetLabel(std::to_string(bytes.size() / (1024 * 1024)) + " MiB");
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseFeed(bytes, "http://c/").files.size());
}
BENCHMARK(BM_FeedOfItemsAtTheCap)->Arg(250)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_FeedOfDeepNamespaces(benchmark::State& state)
{
    const std::string bytes = DeepNamespaces();
    state.SetLabel(std::to_string(bytes.size() / 1024) + " KiB");
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseFeed(bytes, "http://c/").ok);
}
BENCHMARK(BM_FeedOfDeepNamespaces)->Unit(benchmark::kMillisecond);

}  // namespace
