// 50 downloads of 8 MiB through the real window (offscreen), four at a time
// (the others queued), from a loopback server that holds the file in memory.
//
// Runs 5 times, each run in a process of its own, and prints for each run:
//   all done     the first start -> the download list is empty again
//   identical    how many of the 50 files are byte for byte what was sent
//   stall        the longest gap between two ticks of a 10 ms heartbeat timer
//                on the user-interface thread, with the part of it that thread
//                spent working, and the most work it did between two ticks
//   starts       the 50 starts, each its own event as 50 clicks would be: all
//                of them and the longest one
//   window CPU   the user-interface thread's CPU time from the first start to
//                the end, in all and per WM_DOWNLOAD_PROGRESS it handled
//   peak-rss     the process's peak resident memory (the server's 8 MiB included)
// and then the longest stall of the 5 runs. --once: one run in this process.
//
// Run: build with -DTUNORVA_BENCH=ON (Release), then bench/bench_download_window.
#include "BenchServer.h"
#include "UiStall.h"

#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"
#include "platform/Files.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"
#include "resources/Messages.h"
#include "window/desktop/Sound.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "window/settings/SplashDlg.h"
#include "window/MainFrame.h"
#include "window/PagesView.h"
#include "window/TunorvaApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

constexpr int kDownloads = 50;
constexpr std::size_t kSize = 8u << 20;

class SilentSound final : public platform::SoundBackend {
public:
    bool PlayFile(const std::string&) override { return false; }
    bool PlayEvent(const std::string&) override { return false; }
};

constexpr int kRuns = 5;

// Stands in front of the frame on the message channel and counts the
// progress messages that reach the window's thread.
class ProgressCounter final : public platform::MessageReceiver {
public:
    explicit ProgressCounter(CMainFrame* frame)
        : m_frame(frame)
    {
    }
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        if (message == WM_DOWNLOAD_PROGRESS)
            ++progress;
        return m_frame->OnMessage(message, wParam, lParam);
    }
    long long progress = 0;

private:
    CMainFrame* m_frame;
};

// Runs this program `kRuns` times with --once, passes their output on and
// adds the longest stall of all runs.
int RunSeveral(const char* self)
{
    long long longest = -1;
    int failed = 0;
    for (int run = 1; run <= kRuns; ++run) {
        std::printf("run %d of %d\n", run, kRuns);
        std::fflush(stdout);
        const std::string command = std::string("'") + self + "' --once";
        FILE* child = ::popen(command.c_str(), "r");
        if (child == nullptr)
            return 1;
        char line[512];
        while (std::fgets(line, sizeof line, child) != nullptr) {
            std::fputs(line, stdout);
            long long stall = 0;
            if (std::sscanf(line, "longest UI stall %lld", &stall) == 1)
                longest = std::max(longest, stall);
        }
        failed += ::pclose(child) != 0 ? 1 : 0;
    }
    std::printf("longest UI stall of %d runs %lld ms\n", kRuns, longest);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--once") != 0)
        return RunSeveral(argv[0]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::InitHttp();
    QApplication qapp(argc, argv);

    QTemporaryDir programDir;
    const std::string dir = programDir.path().toStdString();
    std::filesystem::create_directories(dir + "/Temp");
    std::filesystem::create_directories(dir + "/Music");
    platform::SetProgramDirForTesting(dir);

    const std::string body = BenchServer::Mp3Body(kSize, [](std::size_t i) { return static_cast<char>((i * 31) >> 7); });
    BenchServer server(body);
    // The saved download list goes to the run's own folder.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "/data"));

    SilentSound silence;
    platform::SetSoundBackend(&silence);
    CSplashDlg::SetSkipForTesting(true);
    CTunorvaApp app;
    if (!app.InitInstance())
        return 1;
    CPagesView* view = app.MainWindow()->m_wndView;
    view->m_strMusicDir = dir + "/Music/";
    // Four at a time; the others wait in the list as "Queued".
    view->Downloads().SetLimits(4, view->Downloads().SpeedLimitKBps());
    view->ShowDownloadPage();
    ProgressCounter counter(app.MainWindow());
    platform::SetMainWindow(&counter, app.MainWindow());
    for (int i = 0; i < kDownloads; ++i) {
        const std::string name = "file-" + std::to_string(i) + ".mp3";
        view->m_lstFiles->AddItem(i, 5, 5, {"HTTP", "Avaliable", name, std::to_string(kSize), server.Url("/" + name)});
    }

    UiStallMeter stall;
    qint64 doneMs = -1;
    int started = 0;
    QTimer heartbeat;
    heartbeat.setInterval(10);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = stall.Tick();
        if ((started == kDownloads && view->m_lstDownloads->GetItemCount() == 0) || now > 120000) {
            doneMs = now;
            qapp.quit();
        }
    });
    stall.Start();
    heartbeat.start();
    QElapsedTimer starting;
    qint64 startsMs = 0;
    qint64 longestStartNs = 0;
    std::function<void()> startNext = [&] {
        QElapsedTimer one;
        one.start();
        view->m_lstFiles->clearSelection();
        view->m_lstFiles->SelectItem(started);
        view->OnDownloadFile();
        longestStartNs = std::max(longestStartNs, one.nsecsElapsed());
        if (++started < kDownloads)
            QTimer::singleShot(0, startNext);
        else
            startsMs = starting.elapsed();
    };
    starting.start();
    QTimer::singleShot(0, startNext);
    qapp.exec();

    int identical = 0;
    for (int i = 0; i < kDownloads; ++i) {
        std::ifstream in(dir + "/Music/file-" + std::to_string(i) + ".mp3", std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        identical += content == body ? 1 : 0;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("downloads                  %d x %zu MiB\n", kDownloads, kSize >> 20);
    std::printf("all done                   %lld ms (%.0f MiB/s in all)\n", static_cast<long long>(doneMs),
                doneMs > 0 ? kDownloads * 8.0 * 1000 / static_cast<double>(doneMs) : 0.0);
    std::printf("identical files            %d of %d\n", identical, kDownloads);
    std::printf("longest UI stall           %lld ms (window busy %.1f ms of it; most work between ticks %.1f ms)\n",
                static_cast<long long>(stall.LongestMs()), stall.BusyInLongestMs(), stall.MostBusyMs());
    std::printf("starts                     %d in %lld ms, the longest %.2f ms\n", kDownloads,
                static_cast<long long>(startsMs), static_cast<double>(longestStartNs) / 1e6);
    std::printf("window CPU                 %.0f ms, %lld progress messages\n", stall.CpuMs(), counter.progress);
    std::printf("window CPU per progress message: %.4f ms\n",
                counter.progress > 0 ? stall.CpuMs() / static_cast<double>(counter.progress) : 0.0);
    std::printf("peak resident memory       %ld MB\n", usage.ru_maxrss / 1024);

    // The frame takes its messages back, so that closing it lets waiting workers go.
    platform::SetMainWindow(app.MainWindow(), app.MainWindow());
    app.MainWindow()->OnCmdMsg(ID_APP_EXIT);
    platform::BeginShutdown();
    platform::WaitForWorkers(std::chrono::seconds(5));
    std::fflush(stdout);
    std::_Exit(identical == kDownloads ? 0 : 1);
}
