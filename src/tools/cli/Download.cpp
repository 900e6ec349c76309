#include "Download.h"
#include "Field.h"

#include "download/DownloadControl.h"
#include "download/DownloadMessages.h"
#include "download/TransferFigures.h"
#include "download/HttpDownload.h"
#include "platform/LoginPrompt.h"
#include "platform/MessageBox.h"
#include "platform/MessageChannel.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

std::optional<std::uint64_t> Number(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(text);
}

// The longest pause --resume-after accepts: a script's typo must not leave a
// download, and the connection it holds, waiting for years.
constexpr std::uint64_t kResumeAfterMaxMs = 10 * 60 * 1000;

struct Options {
    std::string url;
    std::string musicDir;
    bool replace = false;
    std::optional<platform::Credentials> login;
    std::optional<std::uint64_t> pauseAt;
    std::optional<std::uint64_t> resumeAfterMs;
    int retries = 5;
    std::uint64_t retryWaitMs = 2000;
    std::uint64_t limitKBps = 0;
    std::vector<std::string> mirrors;  // the file's other addresses, in turn
};

std::optional<Options> Parse(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return std::nullopt;
    Options options;
    options.url = args[0];
    options.musicDir = args[1];
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return std::nullopt;
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == "--replace" && (value == "yes" || value == "no")) {
            options.replace = value == "yes";
        } else if (name == "--login" && value.find(':') != std::string::npos) {
            const std::size_t colon = value.find(':');
            options.login = platform::Credentials{value.substr(0, colon), value.substr(colon + 1)};
        } else if (name == "--pause-at" && Number(value)) {
            options.pauseAt = Number(value);
        } else if (name == "--resume-after" && Number(value) && *Number(value) <= kResumeAfterMaxMs) {
            options.resumeAfterMs = Number(value);
        } else if (name == "--retries" && Number(value) && *Number(value) <= 100) {
            options.retries = static_cast<int>(*Number(value));
        } else if (name == "--retry-wait-ms" && Number(value) && *Number(value) <= 3600000) {
            options.retryWaitMs = *Number(value);
        } else if (name == "--limit-rate" && Number(value) && *Number(value) <= 100000000) {
            options.limitKBps = *Number(value);
        } else if (name == "--mirror" && !value.empty() && options.mirrors.size() < kMaxOtherSources) {
            options.mirrors.push_back(value);
        } else {
            return std::nullopt;
        }
    }
    if (options.url.empty() || options.musicDir.empty() || options.pauseAt.has_value() != options.resumeAfterMs.has_value())
        return std::nullopt;
    if (options.musicDir.back() != '/')
        options.musicDir += '/';
    return options;
}

// The main window of the command line: prints each message of the download
// as one record.
class DownloadPrinter final : public platform::MessageReceiver {
public:
    DownloadPrinter() { platform::SetMainWindow(this); }
    ~DownloadPrinter() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        using ull = unsigned long long;
        platform::Dispatch<FileStatus, DownloadSize, DownloadProgress, DownloadRate, DownloadTimeLeft, DownloadDeclined,
                           DownloadDone, DownloadFailed, DownloadFinished, DownloadResumed, DownloadRestarted,
                           DownloadChecked, DownloadRetrying, DownloadSource>(
            message, wParam, lParam,
            platform::Overloaded{
                [](const FileStatus& m) { std::printf("status\t%s\n", Field(m.text).c_str()); },
                [](const DownloadSize& m) { std::printf("size\t%llu\n", static_cast<ull>(m.length)); },
                [](const DownloadProgress& m) { std::printf("progress\t%llu\n", static_cast<ull>(m.bytes)); },
                [](const DownloadRate& m) { std::printf("rate\t%s\n", Field(FormatRateText(m.bytesPerSecond)).c_str()); },
                [](const DownloadTimeLeft& m) {
                    std::printf("left\t%s\n", Field(FormatTimeLeftText(m.seconds, m.received, m.length)).c_str());
                },
                [](const DownloadDeclined&) { std::printf("declined\n"); },
                [this](const DownloadDone&) {
                    m_bDone = true;
                    std::printf("done\n");
                },
                [](const DownloadFailed& m) { std::printf("error\t%s\n", Field(m.text).c_str()); },
                [](const DownloadFinished& m) { std::printf("finished\t%d\n", m.failed ? 1 : 0); },
                [](const DownloadResumed& m) { std::printf("resume\t%llu\n", static_cast<ull>(m.from)); },
                [](const DownloadRestarted& m) { std::printf("restart\t%s\n", Field(m.reason).c_str()); },
                [](const DownloadChecked&) { std::printf("check\tok\n"); },
                [](const DownloadSource& m) { std::printf("source\t%s\n", Field(m.url).c_str()); },
                [](const DownloadRetrying& m) {
                    const RetryNotice& notice = m.notice;
                    std::printf("retry\t%d\t%d\t%llu\t%s\n", notice.nTry, notice.nOf, static_cast<ull>(notice.nWaitMs),
                                Field(notice.strCause).c_str());
                },
            });
        std::fflush(stdout);
        return 0;
    }

    bool Done() const { return m_bDone; }

private:
    bool m_bDone = false;
};

// Message boxes go to standard error; the replace question gets --replace.
class Answers final : public platform::MessageBoxResponder, public platform::LoginResponder {
public:
    explicit Answers(const Options& options) : m_options(options)
    {
        m_previousBox = platform::SetMessageBoxResponder(this);
        m_previousLogin = platform::SetLoginResponder(this);
    }
    ~Answers() override
    {
        platform::SetMessageBoxResponder(m_previousBox);
        platform::SetLoginResponder(m_previousLogin);
    }

    int Show(const std::string& text, unsigned type) override
    {
        std::fprintf(stderr, "message\t%s\n", Field(text).c_str());
        if ((type & 0xF) == platform::MB_YESNO)
            return m_options.replace ? platform::IDYES : platform::IDNO;
        return platform::IDOK;
    }

    bool Ask(const std::string&, bool, platform::Credentials& out) override
    {
        if (!m_options.login)
            return false;
        out = *m_options.login;
        return true;
    }

private:
    const Options& m_options;
    platform::MessageBoxResponder* m_previousBox = nullptr;
    platform::LoginResponder* m_previousLogin = nullptr;
};

}  // namespace

int RunDownloadCommand(const std::vector<std::string>& args)
{
    const std::optional<Options> options = Parse(args);
    if (!options)
        return 2;

    DownloadPrinter printer;
    Answers answers(*options);
    auto control = std::make_shared<DownloadControl>();

    // The resume comes from another thread, as the list's command would.
    std::mutex mutex;
    std::condition_variable resumeAt;
    bool finished = false;
    std::thread resumer;
    if (options->pauseAt) {
        control->PauseAt(*options->pauseAt);
        control->SetOnPaused([&, delay = std::chrono::milliseconds(*options->resumeAfterMs)](std::uint64_t) {
            control->SetOnPaused({});
            resumer = std::thread([&, delay] {
                std::unique_lock lock(mutex);
                resumeAt.wait_for(lock, delay, [&] { return finished; });
                control->Release();
            });
        });
    }

    DownloadItem item;
    item.strUrl = options->url;
    item.strFileName = DownloadFileName(options->url);
    item.strOtherSources = options->mirrors;
    DownloadOptions download;
    download.retry.nRetries = options->retries;
    download.retry.nFirstWaitMs = options->retryWaitMs;
    if (options->limitKBps > 0) {
        download.limiter = std::make_shared<RateLimiter>();
        download.limiter->SetLimit(options->limitKBps * 1024);
    }
    DownloadThreadProc(item, options->musicDir, control, std::move(download));

    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    resumeAt.notify_all();
    if (resumer.joinable())
        resumer.join();
    return printer.Done() ? 0 : 1;
}
