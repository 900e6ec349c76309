// tunorva-demo-engine: serves the two search engines and their MP3 files on
// 127.0.0.1 until it is interrupted.
#include "DemoEngine.h"

#include "platform/AppProfile.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Usage()
{
    std::puts("usage: tunorva-demo-engine [--port1 N] [--port2 N] [--pages N] [--per-page N]\n"
              "                           [--engines-ini FILE] [--media DIR] [--page-delay MS] [--quiet]\n"
              "  --port1/--port2  ports of the first and second engine (8931, 8932; 0 = any free port)\n"
              "  --pages          result pages per engine (5)\n"
              "  --per-page       MP3 links per page (8)\n"
              "  --engines-ini    write an Engines.ini pointing at the ports in use\n"
              "  --media          folder of the MP3 clips (DemoMedia beside the program or in share/tunorva)\n"
              "  --page-delay     answer each result page this many milliseconds late (0)\n"
              "  --quiet          no line per request");
}

bool ParseNumber(const char* text, long low, long high, long& out)
{
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv)
{
    DemoEngineOptions options;
    options.mediaDir = platform::GetAppFolders().dataDir + "/DemoMedia";
    std::string enginesIni;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        long n = 0;
        if (arg == "--quiet") {
            options.quiet = true;
        } else if ((arg == "--port1" || arg == "--port2") && hasValue && ParseNumber(argv[i + 1], 0, 65535, n)) {
            (arg == "--port1" ? options.port1 : options.port2) = static_cast<std::uint16_t>(n);
            ++i;
        } else if (arg == "--pages" && hasValue && ParseNumber(argv[i + 1], 0, 999, n)) {
            options.pages = static_cast<int>(n);
            ++i;
        } else if (arg == "--per-page" && hasValue && ParseNumber(argv[i + 1], 0, 500, n)) {
            options.perPage = static_cast<int>(n);
            ++i;
        } else if (arg == "--page-delay" && hasValue && ParseNumber(argv[i + 1], 0, 10000, n)) {
            options.pageDelayMs = static_cast<int>(n);
            ++i;
        } else if (arg == "--engines-ini" && hasValue) {
            enginesIni = argv[++i];
        } else if (arg == "--media" && hasValue) {
            options.mediaDir = argv[++i];
        } else {
            if (arg != "--help" && arg != "-h")
                std::fprintf(stderr, "tunorva-demo-engine: bad option \"%s\"\n", arg.c_str());
            Usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }

    // The server threads must not take the stop signals: main waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const bool quiet = options.quiet;
    DemoEngine engine(std::move(options));
    if (!engine.Start()) {
        std::fprintf(stderr, "tunorva-demo-engine: %s\n", engine.Error().c_str());
        return 1;
    }
    if (!enginesIni.empty() && !engine.WriteEnginesIni(enginesIni)) {
        std::fprintf(stderr, "tunorva-demo-engine: cannot write \"%s\"\n", enginesIni.c_str());
        return 1;
    }
    if (!quiet) {
        std::printf("Demo engines on http://127.0.0.1:%u/ and http://127.0.0.1:%u/ (Ctrl+C ends)\n",
                    engine.Port1(), engine.Port2());
        std::fflush(stdout);
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    engine.Stop();
    return 0;
}
