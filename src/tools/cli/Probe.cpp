#include "Probe.h"
#include "Field.h"

#include "download/DownloadMessages.h"
#include "download/HttpDownloadInfo.h"
#include "platform/MessageChannel.h"

#include <cstdio>
#include <optional>

namespace {

// Takes what the probe reports, on the probe's own thread.
class ProbeRecorder final : public platform::MessageReceiver {
public:
    ProbeRecorder() { platform::SetMainWindow(this); }
    ~ProbeRecorder() override { platform::ClearMainWindow(this); }

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        platform::Dispatch<FileSizeProbed>(message, wParam, lParam,
                                           [this](const FileSizeProbed& probed) { m_probed = probed; });
        return 0;
    }

    const std::optional<FileSizeProbed>& Probed() const { return m_probed; }

private:
    std::optional<FileSizeProbed> m_probed;
};

const char* YesNo(bool value)
{
    return value ? "yes" : "no";
}

std::string NumberOrDash(long long value)
{
    return value > 0 ? std::to_string(value) : "-";
}

}  // namespace

int RunProbeCommand(const std::vector<std::string>& args)
{
    if (args.empty())
        return 2;
    for (const std::string& url : args) {
        if (url.empty() || url[0] == '-')
            return 2;
    }
    int status = 0;
    for (const std::string& url : args) {
        ProbeRecorder recorder;
        CHttpDownloadInfo info;
        info.m_item.strUrl = url;
        info.m_strUrl = url;
        info.m_bHeadDigest = true;
        info.Start();
        const std::optional<FileSizeProbed>& probed = recorder.Probed();
        const Mp3Head head = probed ? probed->head : Mp3Head{};
        const bool audio = head.known && head.mp3;
        char length[32] = "-";
        if (audio && head.seconds > 0)
            std::snprintf(length, sizeof length, "%.3f", head.seconds);
        std::printf("size\t%s\n", probed && probed->sizeKnown ? std::to_string(probed->size).c_str() : "-");
        std::printf("mp3\t%s\n", YesNo(audio));
        std::printf("bitrate\t%s\n", NumberOrDash(audio ? head.bitrate : 0).c_str());
        std::printf("vbr\t%s\n", YesNo(audio && head.vbr));
        std::printf("rate\t%s\n", NumberOrDash(audio ? head.rate : 0).c_str());
        std::printf("length\t%s\n", length);
        std::printf("title\t%s\n", Field(head.title).c_str());
        std::printf("artist\t%s\n", Field(head.artist).c_str());
        std::printf("album\t%s\n", Field(head.album).c_str());
        std::printf("head\t%s\n", head.digest.empty() ? "-" : head.digest.c_str());
        std::printf("requests\t%d\n", info.m_nRequests);
        std::fflush(stdout);
        if (!probed)
            status = 1;
    }
    return status;
}
