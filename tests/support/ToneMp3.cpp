#include "ToneMp3.h"

#include "TempDir.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {
namespace {

int RunQuietly(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::string Khz(int rate)
{
    char text[16];
    std::snprintf(text, sizeof text, "%g", rate / 1000.0);
    return text;
}

std::uint64_t TagEnd(const std::string& mp3)
{
    if (mp3.size() < 10 || mp3.compare(0, 3, "ID3") != 0)
        return 0;
    const auto b = [&mp3](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(mp3[i])); };
    return 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
}

}  // namespace

bool LameAvailable()
{
    return RunQuietly({"lame", "--version"}) == 0;
}

std::string EncodeToneMp3(const ToneMp3& tone)
{
    TempDir dir;
    std::string raw;
    const long frames = std::lround(tone.seconds * tone.rate);
    raw.reserve(static_cast<std::size_t>(frames * tone.channels * 2));
    for (long i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / tone.rate;
        const auto sample = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(2.0 * M_PI * 440.0 * t)));
        for (int c = 0; c < tone.channels; ++c) {
            raw += static_cast<char>(sample & 0xFF);
            raw += static_cast<char>((sample >> 8) & 0xFF);
        }
    }
    dir.Write("tone.raw", raw);
    std::vector<std::string> args = {"lame",  "--quiet", "-r", "-s", Khz(tone.rate), "--resample", Khz(tone.rate),
                                     "--bitwidth", "16", "--signed", "--little-endian", "-m",
                                     tone.channels == 1 ? "m" : "j"};
    if (tone.vbrQuality >= 0) {
        args.insert(args.end(), {"-V", std::to_string(tone.vbrQuality)});
    } else {
        args.insert(args.end(), {"--cbr", "-b", std::to_string(tone.kbps)});
    }
    if (!tone.infoTag)
        args.push_back("-t");
    if (!tone.title.empty() || !tone.artist.empty())
        args.insert(args.end(), {"--id3v2-only", "--tt", tone.title, "--ta", tone.artist});
    if (tone.tagPadding > 0)
        args.insert(args.end(), {"--pad-id3v2-size", std::to_string(tone.tagPadding)});
    args.insert(args.end(), {dir.File("tone.raw"), dir.File("tone.mp3")});
    if (RunQuietly(args) != 0)
        return {};
    std::ifstream in(dir.File("tone.mp3"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string RepeatMp3Audio(const std::string& mp3, int times)
{
    const std::uint64_t tagEnd = TagEnd(mp3);
    const std::string audio = mp3.substr(tagEnd);
    std::string out = mp3.substr(0, tagEnd);
    out.reserve(out.size() + audio.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        out += audio;
    return out;
}

ScriptedReply ServeRange(const HttpExchange& request, const std::string& body)
{
    const std::string range = request.Header("Range");
    if (range.empty())
        return ScriptedReply{HttpResponse(200, body)};
    std::uint64_t from = 0;
    std::uint64_t to = body.size() - 1;
    if (std::sscanf(range.c_str(), "bytes=%" SCNu64 "-%" SCNu64, &from, &to) < 1 || from >= body.size())
        return ScriptedReply{HttpResponse(416, "")};
    to = std::min<std::uint64_t>(to, body.size() - 1);
    const std::string header = "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" +
                               std::to_string(body.size()) + "\r\n";
    return ScriptedReply{HttpResponse(206, body.substr(from, to - from + 1), header)};
}

double Rms(const std::string& pcm)
{
    const std::size_t count = pcm.size() / 2;
    if (count == 0)
        return 0.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto lo = static_cast<unsigned char>(pcm[2 * i]);
        const auto hi = static_cast<unsigned char>(pcm[2 * i + 1]);
        const auto sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
        const double v = sample / 32768.0;
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

}  // namespace testing_support
