// What reading one file's head costs a probe worker, as every found file's
// probe reads one: a tagged constant-bitrate file and a VBR file with a Xing
// header, each with the fingerprint alone (the window's probe) and with the
// SHA-256 digest too (the command-line tool's), and a tag longer than the
// head, read by TagLib, with the bytes fetched after it.
#include "download/Mp3Head.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string ReadFile(const char* name)
{
    std::ifstream in(std::string(TUNORVA_BENCH_MP3_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// An ID3v2.3 tag of `size` bytes: a title, then padding.
std::string Tag(std::size_t size)
{
    const std::string title = std::string("\0Waterloo", 9);
    std::string frames = "TIT2" + std::string{0, 0, 0, static_cast<char>(title.size()), 0, 0} + title;
    frames.resize(size - 10, '\0');
    const std::size_t n = frames.size();
    return "ID3" + std::string{3, 0, 0, static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                               static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)} + frames;
}

void ReadHead(benchmark::State& state, const std::string& file, bool withDigest)
{
    const std::string head = file.substr(0, Mp3Head::kBytes);
    if (!Mp3Head::Read(head, {}, file.size()).mp3)
        state.SkipWithError("the head was not read as MP3");
    for (auto _ : state) {
        Mp3Head facts = Mp3Head::Read(head, {}, file.size(), withDigest);
        benchmark::DoNotOptimize(facts);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * head.size()));
}

void BM_TaggedCbr(benchmark::State& state)
{
    static const std::string file = Tag(200) + ReadFile("cbr64.mp3");
    ReadHead(state, file, state.range(0) != 0);
}
BENCHMARK(BM_TaggedCbr)->ArgName("digest")->Arg(0)->Arg(1);

void BM_VbrXing(benchmark::State& state)
{
    static const std::string file = ReadFile("vbr-xing.mp3");
    ReadHead(state, file, state.range(0) != 0);
}
BENCHMARK(BM_VbrXing)->ArgName("digest")->Arg(0)->Arg(1);

void BM_TagLongerThanTheHead(benchmark::State& state)
{
    static const std::string file = Tag(64 * 1024) + ReadFile("cbr64.mp3");
    const std::string head = file.substr(0, Mp3Head::kBytes);
    const std::uint64_t tagEnd = Mp3Head::TagEnd(head);
    const std::string afterTag = file.substr(tagEnd, Mp3Head::kAfterTagBytes);
    const Mp3Head read = Mp3Head::Read(head, afterTag, file.size());
    if (!read.mp3 || read.title != "Waterloo")
        state.SkipWithError("the head and its tag were not read");
    for (auto _ : state) {
        Mp3Head facts = Mp3Head::Read(head, afterTag, file.size());
        benchmark::DoNotOptimize(facts);
    }
}
BENCHMARK(BM_TagLongerThanTheHead);

}  // namespace
