// A whole search through the real window against the local demo engine with
// 2 x 50 result pages of 20 MP3 links: 2,000 rows and 2,000 probes; once with
// pages answered at once (loopback), once with each page answered after
// 50 ms, as a real engine takes its time.
//
// Prints, for each, from one run:
//   walk       Find pressed -> the last page reported finished (the toggle
//              returns to "Find It!" in that very handler)
//   bare       a plain sequential libcurl loop fetching the 50 pages of the
//              first engine's chain, for comparison with the walk
//   probes     Find pressed -> every probe has answered
//   stall      the longest gap between two ticks of a 10 ms heartbeat timer
//              on the user-interface thread
//   per page   (walk - bare) / pages: what the window adds to each page
//   peak-rss   the process's peak resident memory over both runs (the demo
//              engine runs in a process of its own)
//
// Run: build with -DTUNORVA_BENCH=ON (Release), then bench/bench_search_window.
#include "window/download/ListCtrlEx.h"
#include "platform/Files.h"
#include "platform/Http.h"
#include "window/desktop/Sound.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "search/LinkExtractor.h"
#include "search/SearchQuery.h"
#include "window/settings/SplashDlg.h"
#include "window/HistoryCombo.h"
#include "window/MainFrame.h"
#include "window/PagesView.h"
#include "window/TunorvaApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

constexpr int kPages = 50;
constexpr int kPerPage = 20;
constexpr int kRows = 2 * kPages * kPerPage;
// A real engine takes its time over each result page.
constexpr int kRealisticDelayMs = 50;

class SilentSound final : public platform::SoundBackend {
public:
    bool PlayFile(const std::string&) override { return false; }
    bool PlayEvent(const std::string&) override { return false; }
};

size_t Collect(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

std::string Get(CURL* curl, const std::string& url)
{
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(curl);
    return body;
}

// The page URLs of the first engine's chain, as the navigator walks them.
std::vector<std::string> ChainUrls(CURL* curl, std::string url)
{
    std::vector<std::string> urls;
    while (!url.empty() && urls.size() < 1000) {
        urls.push_back(url);
        const std::string body = Get(curl, url);
        std::vector<std::string> links;
        ExtractLinks(body.data(), body.size(), links);
        const auto next = FindNextPageLink(url, links, "start");
        url = next ? links[*next] : std::string();
    }
    return urls;
}

struct Figures {
    std::size_t pages = 0;
    int rows = 0;
    qint64 walkMs = -1;
    qint64 bareMs = -1;
    qint64 probesMs = -1;
    qint64 stallMs = 0;
};

// One whole search against a demo engine that answers each result page
// `pageDelayMs` late.
bool RunSearch(QApplication& qapp, int pageDelayMs, Figures& figures)
{
    QTemporaryDir programDir;
    std::filesystem::create_directories(programDir.path().toStdString() + "/Temp");
    platform::SetProgramDirForTesting(programDir.path().toStdString());
    const QString ini = programDir.filePath(QStringLiteral("Engines.ini"));

    QProcess demo;
    demo.start(QStringLiteral(TUNORVA_DEMO_ENGINE),
               {"--port1", "0", "--port2", "0", "--pages", QString::number(kPages), "--per-page",
                QString::number(kPerPage), "--page-delay", QString::number(pageDelayMs), "--engines-ini", ini,
                "--quiet"});
    for (int i = 0; i < 100 && !QFile::exists(ini); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!QFile::exists(ini)) {
        std::fprintf(stderr, "the demo engine did not start\n");
        return false;
    }
    SetEngines(EngineConfig::Load(ini.toStdString()));

    // The bare loop: the same pages, one after the other, each on a connection
    // of its own as each page worker has (the demo engine's server answers a
    // reused connection some 25 ms late, which would flatter nobody).
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    const auto urls = ChainUrls(curl, BuildEngineUrl(Engines().FirstBaseUrl(), "or", "abba", ""));
    QElapsedTimer bare;
    bare.start();
    for (const std::string& url : urls)
        Get(curl, url);
    figures.bareMs = bare.elapsed();
    figures.pages = urls.size();
    curl_easy_cleanup(curl);

    bool ok = false;
    {
        CTunorvaApp app;
        if (!app.InitInstance())
            return false;
        CPagesView* view = app.MainWindow()->m_wndView;
        view->m_bPlaySound = 0;
        view->m_cboArtist->setEditText(QStringLiteral("abba"));

        QElapsedTimer clock;
        qint64 lastTick = 0;
        QTimer heartbeat;
        heartbeat.setInterval(10);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            figures.stallMs = std::max(figures.stallMs, now - lastTick);
            lastTick = now;
            if (figures.walkMs < 0 && view->m_btnFind->text() == QLatin1String("Find It!"))
                figures.walkMs = now;
            if (figures.probesMs < 0 && view->m_stcAvailableCount->text().toInt() >= kRows)
                figures.probesMs = now;
            if ((figures.walkMs >= 0 && figures.probesMs >= 0) || now > 120000)
                qapp.quit();
        });
        clock.start();
        heartbeat.start();
        view->OnCmdMsg(IDC_FIND);
        qapp.exec();
        figures.rows = view->m_lstFiles->GetItemCount();
        ok = figures.walkMs >= 0 && figures.probesMs >= 0;
        app.MainWindow()->OnCmdMsg(ID_APP_EXIT);
        platform::WaitForWorkers(std::chrono::seconds(10));
    }
    demo.kill();
    demo.waitForFinished(2000);
    return ok;
}

void Print(const char* title, const Figures& f)
{
    const double pages = static_cast<double>(std::max<std::size_t>(f.pages, 1));
    std::printf("%s\n", title);
    std::printf("  pages of the longer chain  %zu\n", f.pages);
    std::printf("  rows                       %d\n", f.rows);
    std::printf("  walk                       %lld ms\n", static_cast<long long>(f.walkMs));
    std::printf("  bare libcurl loop          %lld ms (walk / bare = %.2f)\n", static_cast<long long>(f.bareMs),
                f.bareMs > 0 ? static_cast<double>(f.walkMs) / static_cast<double>(f.bareMs) : 0.0);
    std::printf("  window's cost per page     %.2f ms ((walk - bare) / pages)\n",
                static_cast<double>(f.walkMs - f.bareMs) / pages);
    std::printf("  all probes answered        %lld ms\n", static_cast<long long>(f.probesMs));
    std::printf("  longest UI stall           %lld ms\n", static_cast<long long>(f.stallMs));
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::InitHttp();
    QApplication qapp(argc, argv);
    SilentSound silence;
    platform::SetSoundBackend(&silence);
    CSplashDlg::SetSkipForTesting(true);

    Figures loopback;
    Figures realistic;
    const bool ok = RunSearch(qapp, 0, loopback) && RunSearch(qapp, kRealisticDelayMs, realistic);
    Print("loopback engine (pages answered at once)", loopback);
    Print("realistic engine (each page answered after 50 ms)", realistic);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory         %ld MB\n", usage.ru_maxrss / 1024);

    platform::BeginShutdown();
    platform::WaitForWorkers(std::chrono::seconds(5));
    std::fflush(stdout);
    std::_Exit(ok ? 0 : 1);
}
