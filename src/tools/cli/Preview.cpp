#include "Preview.h"
#include "Field.h"

#include "download/PreviewDecoder.h"
#include "platform/Files.h"
#include "platform/WorkerThreads.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <optional>

namespace {

// The longest preview written: a diagnosis needs seconds, and the samples
// are held in memory until the file is written whole.
constexpr std::uint64_t kMaxSeconds = 600;
constexpr std::size_t kDecodeStep = 64u << 10;

struct Options {
    std::string url;
    std::string wav;
    std::uint64_t seconds = 10;
};

std::optional<Options> Parse(const std::vector<std::string>& args)
{
    if (args.empty() || args[0].empty() || args[0].front() == '-')
        return std::nullopt;
    Options options;
    options.url = args[0];
    for (std::size_t i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return std::nullopt;
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == "--wav" && !value.empty()) {
            options.wav = value;
        } else if (name == "--seconds" && !value.empty() && value.size() <= 4 &&
                   value.find_first_not_of("0123456789") == std::string::npos) {
            options.seconds = std::stoull(value);
            if (options.seconds == 0 || options.seconds > kMaxSeconds)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (options.wav.empty())
        return std::nullopt;
    return options;
}

void PutLe(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A canonical 44-byte header for 16-bit PCM, then the samples.
std::string WavFile(const PreviewDecoder::Format& format, const std::string& pcm)
{
    std::string out;
    out.reserve(44 + pcm.size());
    const auto dataSize = static_cast<std::uint32_t>(pcm.size());
    const auto blockAlign = static_cast<std::uint32_t>(format.BytesPerFrame());
    out += "RIFF";
    PutLe(out, 36 + dataSize, 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);  // PCM
    PutLe(out, static_cast<std::uint32_t>(format.channels), 2);
    PutLe(out, static_cast<std::uint32_t>(format.rate), 4);
    PutLe(out, static_cast<std::uint32_t>(format.rate) * blockAlign, 4);
    PutLe(out, blockAlign, 2);
    PutLe(out, 16, 2);
    out += "data";
    PutLe(out, dataSize, 4);
    out += pcm;
    return out;
}

int Fail(const std::string& text)
{
    std::printf("error\t%s\n", Field(text).c_str());
    return 1;
}

int Run(const Options& options)
{
    PreviewDecoder decoder(options.url);
    if (!decoder.Start())
        return Fail(PreviewErrorText(decoder.Error()));
    std::string pcm;
    for (;;) {
        std::size_t step = kDecodeStep;
        if (const PreviewDecoder::Format format = decoder.OutputFormat(); format.rate > 0) {
            const std::uint64_t target = options.seconds * static_cast<std::uint64_t>(format.rate) * format.BytesPerFrame();
            if (pcm.size() >= target) {
                pcm.resize(target);
                break;
            }
            step = static_cast<std::size_t>(std::min<std::uint64_t>(step, target - pcm.size()));
        }
        const PreviewDecoder::State state = decoder.Decode(pcm, step, std::chrono::seconds(1));
        if (state == PreviewDecoder::State::End)
            break;
        if (state == PreviewDecoder::State::Failed)
            return Fail(PreviewErrorText(decoder.Error()));
    }
    const PreviewDecoder::Format format = decoder.OutputFormat();
    std::printf("title\t%s\n", decoder.Title().empty() ? "-" : Field(decoder.Title()).c_str());
    std::printf("rate\t%ld\n", format.rate);
    std::printf("channels\t%d\n", format.channels);
    if (const auto length = decoder.LengthSeconds())
        std::printf("length\t%.3f\n", *length);
    else
        std::printf("length\t-\n");
    std::printf("seconds\t%.3f\n",
                static_cast<double>(pcm.size() / format.BytesPerFrame()) / static_cast<double>(format.rate));
    std::printf("fetched\t%" PRIu64 "\n", decoder.Stream().BytesReceived());
    std::printf("requests\t%d\n", decoder.Stream().Requests());
    // Written beside its name and renamed into place: a failure leaves no
    // partial file and an older file of that name as it was.
    if (!platform::WriteFileAtomically(options.wav, WavFile(format, pcm)))
        return Fail("cannot write " + options.wav);
    return 0;
}

}  // namespace

int RunPreviewCommand(const std::vector<std::string>& args)
{
    const std::optional<Options> options = Parse(args);
    if (!options)
        return 2;
    const int status = Run(*options);
    std::fflush(stdout);
    // The stream's worker stops with the decoder; it is let go before the
    // process ends.
    platform::BeginShutdown();
    platform::WaitForWorkers(std::chrono::seconds(2));
    return status;
}
