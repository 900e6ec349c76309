// One 256 MiB download from a loopback server, through `tunorva-cli download`
// and through `curl -s -o` against the same server in the same run,
// alternating, three runs each. Prints each tool's median wall time,
// throughput and CPU time (user + system of the child), and the ratios.
//
// Run: build with -DTUNORVA_BENCH=ON (Release), then bench/bench_download_cli.
#include "BenchServer.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Run {
    double seconds = 0;
    double cpu = 0;
};

// Starts the tool with its records going nowhere and returns at once.
pid_t SpawnDetached(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

Run Spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    // The tool's records would only time the terminal.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool SameAs(const std::filesystem::path& path, const std::string& body)
{
    std::ifstream in(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return content == body;
}

}  // namespace

int main()
{
    constexpr std::size_t kSize = 256u << 20;
    const std::string body =
        BenchServer::Mp3Body(kSize, [](std::size_t i) { return i % 4096 == 0 ? static_cast<char>(i >> 12) : '\0'; });
    BenchServer server(body);
    const std::string url = server.Url("/big.mp3");
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tunorva-bench-download";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    std::vector<double> oursTime, oursCpu, curlTime, curlCpu;
    for (int i = 0; i < 3; ++i) {
        std::filesystem::remove(dir / "big.mp3");
        const Run ours = Spawn({TUNORVA_CLI, "download", url, dir.string()});
        oursTime.push_back(ours.seconds);
        oursCpu.push_back(ours.cpu);
        if (!SameAs(dir / "big.mp3", body)) {
            std::fprintf(stderr, "tunorva-cli wrote something else\n");
            return 1;
        }
        const Run theirs = Spawn({"curl", "-s", "-o", (dir / "curl.mp3").string(), url});
        curlTime.push_back(theirs.seconds);
        curlCpu.push_back(theirs.cpu);
    }

    // The cost of a resume: the first run is killed once half the file is in
    // its part file; the second run's time to its first new byte on disk and
    // the bytes the server sends again.
    std::filesystem::remove(dir / "big.mp3");
    const std::filesystem::path part = dir / ".big.mp3.part";
    pid_t first = SpawnDetached({TUNORVA_CLI, "download", url, dir.string()});
    while (!(std::filesystem::exists(part) && std::filesystem::file_size(part) >= kSize / 2))
        usleep(200);
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    const std::uintmax_t kept = std::filesystem::file_size(part);
    server.ResetCount();
    const auto resumeStart = std::chrono::steady_clock::now();
    pid_t second = SpawnDetached({TUNORVA_CLI, "download", url, dir.string()});
    while (std::filesystem::exists(part) && std::filesystem::file_size(part) <= kept)
        usleep(100);
    const double firstByte = std::chrono::duration<double>(std::chrono::steady_clock::now() - resumeStart).count();
    int status = 0;
    ::waitpid(second, &status, 0);
    const double resumeTotal = std::chrono::duration<double>(std::chrono::steady_clock::now() - resumeStart).count();
    if (!SameAs(dir / "big.mp3", body)) {
        std::fprintf(stderr, "the resumed file differs\n");
        return 1;
    }
    std::filesystem::remove_all(dir);

    const double mb = static_cast<double>(kSize) / (1 << 20);
    std::printf("256 MiB over loopback, median of 3 (alternating)\n");
    std::printf("tunorva-cli  %.3f s  %.0f MiB/s  cpu %.3f s\n", Median(oursTime), mb / Median(oursTime), Median(oursCpu));
    std::printf("curl -s -o   %.3f s  %.0f MiB/s  cpu %.3f s\n", Median(curlTime), mb / Median(curlTime), Median(curlCpu));
    std::printf("throughput ratio (ours/curl) %.2f, cpu ratio %.2f\n", Median(curlTime) / Median(oursTime),
                Median(oursCpu) / Median(curlCpu));
    std::printf("resume after a kill at %.1f %%: first new byte on disk after %.3f s, done after %.3f s; "
                "the resuming request was sent %llu body bytes for %llu missing (%lld asked again)\n",
                100.0 * static_cast<double>(kept) / kSize, firstByte, resumeTotal,
                static_cast<unsigned long long>(server.LastRangeBytes()), static_cast<unsigned long long>(kSize - kept),
                static_cast<long long>(server.LastRangeBytes()) - static_cast<long long>(kSize - kept));
    return 0;
}
