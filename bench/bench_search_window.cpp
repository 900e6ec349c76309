// Whole searches through the real window, each case in a process of its own
// so that its memory and CPU time are its own:
//   1  the local demo engine, 2 x 50 result pages of 20 MP3 links (2,000 rows
//      and 2,000 probes), pages answered at once (loopback);
//   2  the same with each page answered after 50 ms, as a real engine takes
//      its time;
//   3  the demo engine, 2 x 250 pages of 100 links: 50,000 rows, the row cap;
//      each probe reads the file's head (16 KiB);
//   4  nginx over plain HTTP, its listing of 1,000 MP3 files as each engine's
//      one result page: 2,000 rows;
//   5  the same over TLS, with a CA made for the run;
//   6  case 3 with probes that ask for each file's first byte only, as
//      probes did before they read heads.
//
// Prints, per case:
//   walk       Find pressed -> the last page reported finished (the toggle
//              returns to "Find It!" in that very handler)
//   bare       a plain sequential libcurl loop fetching the pages of the
//              first engine's chain, for comparison with the walk
//   probes     Find pressed -> every probe has answered
//   per file   (probes - bare) / rows: what the window and the probes add to
//              each found file
//   stall      the longest gap between two ticks of a 10 ms heartbeat timer
//              on the user-interface thread, with the part of it that thread
//              spent working (the rest it waited for a processor), and the
//              most work it did between two ticks
//   window CPU the user-interface thread's CPU time from Find to the end,
//              per found row
//   peak-rss   the case's peak resident memory (the engine runs in a process
//              of its own)
//   cpu        user and system CPU time of the case's process
//   per probe  bytes of the files read per probe, and requests per probe
//   bare probe loop  the floor for the probes: a plain libcurl loop asking
//              the same files' heads (the same range as a probe's first
//              request) over 16 kept connections, in the same run
// and, after cases 3 and 6 (or with --compare-probes, which runs only those),
// how long the head probes took against the first-byte probes.
//
// Run: build with -DTUNORVA_BENCH=ON (Release), then bench/bench_search_window
// (all cases) or bench/bench_search_window --case N.
#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"
#include "download/DownloadMessages.h"
#include "download/FileStatusReporter.h"
#include "download/HttpDownloadInfo.h"
#include "download/ProbeQueue.h"
#include "platform/MessageChannel.h"
#include "platform/Url.h"
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
#include "window/search/FoundFilesModel.h"

#include "NginxServer.h"
#include "UiStall.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <curl/curl.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace {

enum class Engine { Demo, NginxHttp, NginxTls };

enum class Probe { Head, FirstByte };

struct Case {
    const char* title;
    Engine engine;
    int pages;      // per engine
    int perPage;
    int pageDelayMs;
    Probe probe = Probe::Head;
};

constexpr Case kCases[] = {
    {"demo engine, 2 x 50 pages x 20 links, loopback", Engine::Demo, 50, 20, 0},
    {"demo engine, 2 x 50 pages x 20 links, each page answered after 50 ms", Engine::Demo, 50, 20, 50},
    {"demo engine, 2 x 250 pages x 100 links (50,000 rows), loopback", Engine::Demo, 250, 100, 0},
    {"nginx, plain HTTP, 2 x 1 listing x 1,000 files", Engine::NginxHttp, 1, 1000, 0},
    {"nginx, TLS, 2 x 1 listing x 1,000 files", Engine::NginxTls, 1, 1000, 0},
    {"demo engine, 2 x 250 pages x 100 links (50,000 rows), loopback, first-byte probes", Engine::Demo, 250, 100, 0,
     Probe::FirstByte},
};
constexpr int kHeadProbeCase = 3;
constexpr int kFirstByteProbeCase = 6;
constexpr int kCaseCount = static_cast<int>(sizeof kCases / sizeof kCases[0]);
constexpr qint64 kGiveUpMs = 600000;

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
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    if (const char* ca = std::getenv("SSL_CERT_FILE"); ca != nullptr)
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca);
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

// What the probes of a case read, summed over the probe workers.
std::atomic<std::uint64_t> g_probes{0};
std::atomic<std::uint64_t> g_probeBytes{0};
std::atomic<std::uint64_t> g_probeRequests{0};

// The window's own probe, counted.
void HeadProbe(const DownloadItem& item, std::stop_token token)
{
    thread_local platform::HttpConnections connections;
    CHttpDownloadInfo info(std::move(token));
    info.m_pConnections = &connections;
    info.m_item = item;
    info.m_strUrl = item.strUrl;
    info.Start();
    g_probeBytes += info.m_nBytesRead;
    g_probeRequests += static_cast<std::uint64_t>(info.m_nRequests);
    ++g_probes;
}

// A probe as they were before they read heads: the first byte, whose 206
// states the file's size; the same texts reach the window.
void FirstByteProbe(const DownloadItem& item, std::stop_token token)
{
    thread_local platform::HttpConnections connections;
    std::uint32_t service = 0;
    std::string server;
    std::string object;
    std::uint16_t port = 0;
    std::string url = item.strUrl;
    if (!platform::ParseUrlAssumingHttp(url, service, server, object, port))
        return;
    DownloadItem row = item;
    FileStatusReporter status(row, token, true);
    platform::HttpRequestOptions options;
    options.headers = {"User-Agent: Tunorva", "Accept: */*", "Accept-Encoding: identity", "Range: bytes=0-0"};
    options.useTls = service == platform::AFX_INET_SERVICE_HTTPS;
    options.followRedirects = true;
    options.observer = &status;
    options.stopToken = token;
    options.totalTimeoutMs = 30000;
    options.connections = &connections;
    platform::HttpFile file(server, port, object, options);
    ++g_probeRequests;
    ++g_probes;
    if (!file.SendRequest() || file.StatusCode() != 206)
        return;
    const std::string range = file.QueryInfo("Content-Range").value_or("");
    const std::size_t slash = range.find('/');
    char byte = 0;
    g_probeBytes += file.Read(&byte, 1);
    file.DrainBody(64 * 1024);
    if (slash == std::string::npos)
        return;
    platform::Post(FileSizeProbed{item.nItem, item.nSearchId, std::stoull(range.substr(slash + 1)), {}}, token);
    platform::Post(FileStatus{item.nItem, item.nSearchId, "Avaliable", true}, token);
}

struct Figures {
    std::size_t pages = 0;
    int rows = 0;
    qint64 walkMs = -1;
    qint64 bareMs = -1;
    qint64 probesMs = -1;
    qint64 bareProbesMs = -1;
    UiStallMeter stall;
};

// The probes' floor: every URL's head asked for with a range request over 16
// connections that are kept from file to file, as the probe workers keep
// theirs, and nothing done with the bytes.
qint64 BareProbeLoop(const std::vector<std::string>& urls, bool firstByteOnly)
{
    constexpr int kConnections = 16;
    std::atomic<std::size_t> next{0};
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> workers;
    for (int i = 0; i < kConnections; ++i) {
        workers.emplace_back([&] {
            CURL* curl = curl_easy_init();
            curl_easy_setopt(curl, CURLOPT_RANGE, firstByteOnly ? "0-0" : "0-16383");
            curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
            for (std::size_t k = next++; k < urls.size(); k = next++)
                Get(curl, urls[k]);
            curl_easy_cleanup(curl);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    return timer.elapsed();
}

// Starts the case's engine and writes its Engines.ini; the returned objects
// keep it running.
struct RunningEngine {
    QProcess demo;
    std::unique_ptr<testing_support::NginxServer> nginx;
    ~RunningEngine()
    {
        if (demo.state() != QProcess::NotRunning) {
            demo.kill();
            demo.waitForFinished(2000);
        }
    }
};

bool StartEngine(const Case& c, const QString& ini, const std::string& folder, RunningEngine& engine)
{
    if (c.engine == Engine::Demo) {
        engine.demo.start(QStringLiteral(TUNORVA_DEMO_ENGINE),
                          {"--port1", "0", "--port2", "0", "--pages", QString::number(c.pages), "--per-page",
                           QString::number(c.perPage), "--page-delay", QString::number(c.pageDelayMs),
                           "--engines-ini", ini, "--quiet"});
        for (int i = 0; i < 100 && !QFile::exists(ini); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return QFile::exists(ini);
    }
    // The engine's page is a folder: nginx answers /index.asp with a redirect
    // to /index.asp/ and that with its listing of the files.
    const std::string root = folder + "/www";
    std::filesystem::create_directories(root + "/index.asp");
    for (int i = 0; i < c.perPage; ++i) {
        std::ofstream file(root + "/index.asp/song-" + std::to_string(i) + ".mp3", std::ios::binary);
        file << std::string(4096 + static_cast<std::size_t>(i), 'm');
    }
    engine.nginx = std::make_unique<testing_support::NginxServer>(root);
    if (!engine.nginx->Running()) {
        std::fprintf(stderr, "nginx did not start: %s\n", engine.nginx->Error().c_str());
        return false;
    }
    std::string host;
    if (c.engine == Engine::NginxTls) {
        ::setenv("SSL_CERT_FILE", engine.nginx->CaFile().c_str(), 1);
        host = "https://127.0.0.1:" + std::to_string(engine.nginx->TlsPort());
    } else {
        host = "127.0.0.1:" + std::to_string(engine.nginx->Port());
    }
    std::ofstream out(ini.toStdString(), std::ios::trunc);
    out << "[Engine1]\nHost=" << host << "\n[Engine2]\nHost=" << host << "\n";
    return static_cast<bool>(out);
}

// One whole search of case `c`.
bool RunSearch(QApplication& qapp, const Case& c, Figures& figures)
{
    const int expectedRows = 2 * c.pages * c.perPage;
    QTemporaryDir programDir;
    std::filesystem::create_directories(programDir.path().toStdString() + "/Temp");
    platform::SetProgramDirForTesting(programDir.path().toStdString());
    const QString ini = programDir.filePath(QStringLiteral("Engines.ini"));

    RunningEngine engine;
    if (!StartEngine(c, ini, programDir.path().toStdString(), engine)) {
        std::fprintf(stderr, "the engine did not start\n");
        return false;
    }
    SetEngines(EngineConfig::Load(ini.toStdString()));

    // The bare loop: the same pages, one after the other, each on a connection
    // of its own as each page worker has.
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
        view->Downloads().Probes().SetRunner(c.probe == Probe::Head ? &HeadProbe : &FirstByteProbe);

        QTimer heartbeat;
        heartbeat.setInterval(10);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = figures.stall.Tick();
            if (figures.walkMs < 0 && view->m_btnFind->text() == QLatin1String("Find It!"))
                figures.walkMs = now;
            if (figures.probesMs < 0 && view->m_stcAvailableCount->text().toInt() >= expectedRows)
                figures.probesMs = now;
            if ((figures.walkMs >= 0 && figures.probesMs >= 0) || now > kGiveUpMs)
                qapp.quit();
        });
        figures.stall.Start();
        heartbeat.start();
        view->OnCmdMsg(IDC_FIND);
        qapp.exec();
        figures.rows = view->m_lstFiles->GetItemCount();
        ok = figures.walkMs >= 0 && figures.probesMs >= 0;
        std::vector<std::string> fileUrls;
        for (int row = 0; row < view->m_pFoundFiles->Count(); ++row)
            fileUrls.push_back(view->m_pFoundFiles->File(row)->url);
        app.MainWindow()->OnCmdMsg(ID_APP_EXIT);
        platform::WaitForWorkers(std::chrono::seconds(10));
        // The same files, the same server, once the window is gone.
        figures.bareProbesMs = BareProbeLoop(fileUrls, c.probe != Probe::Head);
    }
    return ok;
}

void Print(const Case& c, const Figures& f)
{
    const double pages = static_cast<double>(std::max<std::size_t>(f.pages, 1));
    const double rows = static_cast<double>(std::max(f.rows, 1));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    std::printf("%s\n", c.title);
    std::printf("  pages of the longer chain  %zu\n", f.pages);
    std::printf("  rows                       %d\n", f.rows);
    std::printf("  walk                       %lld ms\n", static_cast<long long>(f.walkMs));
    std::printf("  bare libcurl loop          %lld ms (walk / bare = %.2f)\n", static_cast<long long>(f.bareMs),
                f.bareMs > 0 ? static_cast<double>(f.walkMs) / static_cast<double>(f.bareMs) : 0.0);
    std::printf("  window's cost per page     %.2f ms ((walk - bare) / pages)\n",
                static_cast<double>(f.walkMs - f.bareMs) / pages);
    std::printf("  all probes answered        %lld ms\n", static_cast<long long>(f.probesMs));
    std::printf("  bare probe loop            %lld ms (probes / bare = %.2f)\n", static_cast<long long>(f.bareProbesMs),
                f.bareProbesMs > 0 ? static_cast<double>(f.probesMs) / static_cast<double>(f.bareProbesMs) : 0.0);
    std::printf("  cost per found file        %.3f ms ((probes - bare) / rows)\n",
                static_cast<double>(f.probesMs - f.bareMs) / rows);
    if (g_probes > 0)
        std::printf("  per probe                  %.0f bytes read, %.2f requests (%llu probes)\n",
                    static_cast<double>(g_probeBytes) / static_cast<double>(g_probes),
                    static_cast<double>(g_probeRequests) / static_cast<double>(g_probes),
                    static_cast<unsigned long long>(g_probes.load()));
    std::printf("  longest UI stall           %lld ms (window busy %.1f ms of it; most work between ticks %.1f ms)\n",
                static_cast<long long>(f.stall.LongestMs()), f.stall.BusyInLongestMs(), f.stall.MostBusyMs());
    std::printf("  window CPU                 %.0f ms\n", f.stall.CpuMs());
    std::printf("  window CPU per found row:  %.4f ms\n", f.stall.CpuMs() / rows);
    std::printf("  peak resident memory       %ld MB\n", usage.ru_maxrss / 1024);
    std::printf("  CPU                        %.2f s user, %.2f s system\n", seconds(usage.ru_utime),
                seconds(usage.ru_stime));
}

int RunCase(int argc, char** argv, int index)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::InitHttp();
    QApplication qapp(argc, argv);
    SilentSound silence;
    platform::SetSoundBackend(&silence);
    CSplashDlg::SetSkipForTesting(true);

    const Case& c = kCases[index];
    Figures figures;
    const bool ok = RunSearch(qapp, c, figures);
    Print(c, figures);
    if (!ok)
        std::printf("  (did not finish)\n");

    platform::BeginShutdown();
    platform::WaitForWorkers(std::chrono::seconds(5));
    std::fflush(stdout);
    std::_Exit(ok ? 0 : 1);
}

}  // namespace

// Runs case `number` in a process of its own, echoing what it prints; gives
// its "all probes answered" time, -1 when it did not finish.
long long RunChild(const char* self, int number)
{
    std::fflush(stdout);
    const std::string command = std::string("'") + self + "' --case " + std::to_string(number);
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
        return -1;
    long long probesMs = -1;
    char line[512];
    while (std::fgets(line, sizeof line, child) != nullptr) {
        std::fputs(line, stdout);
        long long ms = 0;
        if (std::sscanf(line, "  all probes answered %lld ms", &ms) == 1)
            probesMs = ms;
    }
    std::fflush(stdout);
    return pclose(child) == 0 ? probesMs : -1;
}

int main(int argc, char** argv)
{
    bool compareOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--compare-probes") == 0)
            compareOnly = true;
        if (i + 1 < argc && std::strcmp(argv[i], "--case") == 0) {
            const int index = std::atoi(argv[i + 1]) - 1;
            if (index < 0 || index >= kCaseCount) {
                std::fprintf(stderr, "no case %s\n", argv[i + 1]);
                return 2;
            }
            return RunCase(argc, argv, index);
        }
    }
    // Every case in a process of its own, one after the other.
    int failed = 0;
    long long headMs = -1;
    long long firstByteMs = -1;
    for (int i = 1; i <= kCaseCount; ++i) {
        if (compareOnly && i != kHeadProbeCase && i != kFirstByteProbeCase)
            continue;
        const long long probesMs = RunChild(argv[0], i);
        failed += probesMs < 0 ? 1 : 0;
        if (i == kHeadProbeCase)
            headMs = probesMs;
        if (i == kFirstByteProbeCase)
            firstByteMs = probesMs;
    }
    if (headMs > 0 && firstByteMs > 0)
        std::printf("head probes / first-byte probes, 50,000 rows: %lld ms / %lld ms = %.2f\n", headMs, firstByteMs,
                    static_cast<double>(headMs) / static_cast<double>(firstByteMs));
    return failed == 0 ? 0 : 1;
}
