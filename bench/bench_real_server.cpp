// Tunorva against a real nginx on loopback, over plain HTTP and over TLS in
// the same run:
// - a 1 MiB result page (gzip on, as nginx serves HTML) fetched and read for
//   its links by the page fetcher, median of 20;
// - a 256 MiB download through `tunorva-cli download` against `curl -s -o` on
//   the same URL, alternating, median of 3 each.
//
// Run: build with -DTUNORVA_BENCH=ON (Release), then bench/bench_real_server.
#include "NginxServer.h"
#include "platform/Http.h"
#include "search/HtmlDocument.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testing_support::NginxServer;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Rows of a result page as engines send them (the same page as the
// extraction benchmark's).
std::string ResultPage(std::size_t size)
{
    std::string page = "<html><head><title>Results</title></head><body>\n<TABLE WIDTH=\"100%\" BORDER=0>\n";
    for (int row = 0; page.size() < size; ++row) {
        const std::string n = std::to_string(row);
        page += "<TR><TD CLASS=\"r\"><FONT SIZE=2>" + n + ".</FONT></TD><TD><A HREF=\"http://files" + n +
                ".example.net/music/Artist_-_Title_" + n + ".mp3\" TARGET=\"_blank\">Artist - Title " + n +
                ".mp3</A><BR><SPAN CLASS=\"d\">4.2 MB, 128 kbps, 4:31 &nbsp; found on files" + n +
                ".example.net</SPAN> <a class=\"x\" href='details.asp?id=" + n + "'>details</a></TD></TR>\n";
    }
    return page + "</TABLE></body></html>\n";
}

bool SameFile(const fs::path& a, const fs::path& b)
{
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(x), {}, std::istreambuf_iterator<char>(y), {});
}

}  // namespace

int main()
{
    platform::InitHttp();
    const fs::path root = fs::temp_directory_path() / "tunorva-bench-nginx";
    fs::remove_all(root);
    fs::create_directories(root);
    std::ofstream(root / "results.html") << ResultPage(1u << 20);
    constexpr std::size_t kSize = 256u << 20;
    {
        std::string block(1u << 20, '\0');
        std::ofstream big(root / "big.mp3", std::ios::binary);
        for (std::size_t i = 0; i < kSize / block.size(); ++i) {
            for (std::size_t k = 0; k < block.size(); k += 4096)
                block[k] = static_cast<char>(i + k / 4096);
            big.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    const fs::path out = root / "out";
    fs::create_directories(out);

    NginxServer server(root.string());
    if (!server.Running()) {
        std::fprintf(stderr, "nginx: %s\n", server.Error().c_str());
        return 1;
    }
    ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);

    std::printf("nginx on loopback; page: 1 MiB result page (gzip), download: 256 MiB\n");
    for (const bool tls : {false, true}) {
        const char* name = tls ? "https" : "http ";
        const std::string page = tls ? server.HttpsUrl("/results.html") : server.HttpUrl("/results.html");
        std::vector<double> pageTimes;
        std::size_t links = 0;
        for (int i = 0; i < 20; ++i) {
            const auto start = std::chrono::steady_clock::now();
            CHtmlDocument document;
            if (!document.Fetch(page)) {
                std::fprintf(stderr, "fetch of %s failed\n", page.c_str());
                return 1;
            }
            links = document.GetLinks().size();
            pageTimes.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::printf("%s page fetch + extraction  %.1f ms  (%zu links)\n", name, Median(pageTimes), links);

        const std::string url = tls ? server.HttpsUrl("/big.mp3") : server.HttpUrl("/big.mp3");
        std::vector<double> ours, curl;
        for (int i = 0; i < 3; ++i) {
            fs::remove(out / "big.mp3");
            ours.push_back(Spawn({TUNORVA_CLI, "download", url, out.string()}));
            if (!SameFile(out / "big.mp3", root / "big.mp3")) {
                std::fprintf(stderr, "tunorva-cli wrote something else\n");
                return 1;
            }
            curl.push_back(Spawn({"curl", "-s", "--cacert", server.CaFile(), "-o", (out / "curl.mp3").string(), url}));
        }
        const double mib = static_cast<double>(kSize) / (1 << 20);
        std::printf("%s tunorva-cli  %.3f s  %.0f MiB/s\n", name, Median(ours), mib / Median(ours));
        std::printf("%s curl -s -o   %.3f s  %.0f MiB/s\n", name, Median(curl), mib / Median(curl));
        std::printf("%s throughput ratio (ours/curl) %.2f\n", name, Median(curl) / Median(ours));
    }
    fs::remove_all(root);
    return 0;
}
