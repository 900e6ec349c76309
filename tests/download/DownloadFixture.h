#pragma once

// The download tests' fixture: one download at a time on the test's thread,
// against scripted servers on 127.0.0.1, with the main frame replaced by a
// recording receiver.
#include "download/HttpDownload.h"
#include "platform/LoginPrompt.h"

#include "ProbeReceiver.h"
#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace download_testing {

using namespace testing_support;
namespace fs = std::filesystem;

class ScriptedLogin final : public platform::LoginResponder {
public:
    ScriptedLogin() { m_previous = platform::SetLoginResponder(this); }
    ~ScriptedLogin() override { platform::SetLoginResponder(m_previous); }
    bool Ask(const std::string& server, bool forProxy, platform::Credentials& out) override
    {
        ++asked;
        askedBy.push_back((forProxy ? "proxy " : "server ") + server);
        if (!login)
            return false;
        out = *login;
        return true;
    }
    std::optional<platform::Credentials> login;
    std::atomic<int> asked{0};
    std::vector<std::string> askedBy;  // "server host:port" or "proxy host:port"

private:
    platform::LoginResponder* m_previous = nullptr;
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override { ClearProxyEnvironment(); }

    // Downloads `url` into the test's folder on this thread. What the main
    // frame saw, one line a message; the connection steps, progress, rate and
    // time left are left out unless `everything` is set.
    std::vector<std::string> Download(const std::string& url, std::shared_ptr<DownloadControl> control = nullptr,
                                      bool everything = false)
    {
        if (!control)
            control = std::make_shared<DownloadControl>();
        DownloadItem item;
        item.nSlot = 7;
        item.strUrl = url;
        item.strFileName = DownloadFileName(url);
        item.strOtherSources = m_otherSources;
        ProbeReceiver receiver;
        DownloadThreadProc(item, m_dir.Str() + "/", control, m_options);
        EXPECT_TRUE(control->HasEnded());
        m_records = receiver.Records();
        std::vector<std::string> seen;
        for (const auto& r : m_records) {
            // A status text names the found file's row, not the download's slot.
            if (r.message != WM_DOWNLOAD_FINISHED && r.message != WM_FILE_STATUS) {
                EXPECT_EQ(r.item.nSlot, 7) << r.message;
            }
            switch (r.message) {
            case WM_FILE_STATUS:
                if (everything || (r.text.rfind("Resol", 0) != 0 && r.text.rfind("Connect", 0) != 0))
                    seen.push_back(r.text);
                break;
            case WM_DOWNLOAD_SIZE: seen.push_back("size " + std::to_string(r.value)); break;
            case WM_DOWNLOAD_PROGRESS:
                if (everything)
                    seen.push_back("progress " + std::to_string(r.value));
                break;
            case WM_DOWNLOAD_RATE:
            case WM_DOWNLOAD_TIME_LEFT:
                if (everything)
                    seen.push_back(r.text);
                break;
            case WM_DOWNLOAD_DECLINED: seen.push_back("declined"); break;
            case WM_DOWNLOAD_DONE: seen.push_back("done"); break;
            case WM_DOWNLOAD_FAILED: seen.push_back("failed " + r.text); break;
            case WM_DOWNLOAD_CHECKED: seen.push_back("checked"); break;
            case WM_DOWNLOAD_RESUMED: seen.push_back("resume " + std::to_string(r.value)); break;
            case WM_DOWNLOAD_RESTARTED: seen.push_back("restart " + r.text); break;
            case WM_DOWNLOAD_RETRYING: seen.push_back(r.text); break;
            case WM_DOWNLOAD_VALIDATORS: break;
            case WM_DOWNLOAD_SOURCE: seen.push_back("source " + r.text); break;
            case WM_DOWNLOAD_FINISHED: seen.push_back("finished " + std::to_string(r.failed)); break;
            default: seen.push_back("message " + std::to_string(r.message));
            }
        }
        return seen;
    }

    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    TempDir m_dir;
    ScriptedResponder m_boxes;
    // No retries unless a test asks for them: each failure shows at once.
    DownloadOptions m_options{RetryPolicy{0, 10}, nullptr};
    std::vector<ProbeReceiver::Record> m_records;
    std::vector<std::string> m_otherSources;  // the item's other addresses
};

}  // namespace download_testing
