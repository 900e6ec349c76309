#include "DemoEngine.h"

#include "search/OpenSearchDescription.h"
#include "search/SearchQuery.h"

#include <httplib.h>
#include <taglib/id3v2tag.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include <sys/socket.h>

namespace {

constexpr int kMaxPages = 999;  // keeps every paging value at four digits
constexpr int kListenQueue = 128;

bool EqualsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::uint32_t Fnv1a(const std::string& text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

// The clips' performers, one per clip in the folder's order.
constexpr const char* kArtists[] = {"The Sine Waves", "Square Root", "Pink Noise Choir", "Glissando"};

// "abba-gold-track-01.mp3" -> "Abba Gold Track 01".
std::string TitleOfName(const std::string& name)
{
    std::string title = name.substr(0, name.size() - 4);
    bool wordStart = true;
    for (char& c : title) {
        if (c == '-' || c == '_')
            c = ' ';
        else if (wordStart)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        wordStart = c == ' ';
    }
    return title;
}

// The HTTP library states a range that passes the end of the body as it was
// asked ("bytes 0-65535/16578"): a range ends with the file here, and one
// that starts past it is answered 416. False when the answer is made.
bool FitRanges(const httplib::Request& request, httplib::Response& response, std::size_t size)
{
    auto& ranges = const_cast<httplib::Request&>(request).ranges;
    for (auto& range : ranges) {
        if (range.first >= 0 && static_cast<std::size_t>(range.first) >= size) {
            ranges.clear();
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            return false;
        }
        if (range.first >= 0 && (range.second < 0 || static_cast<std::size_t>(range.second) >= size))
            range.second = static_cast<std::int64_t>(size) - 1;
    }
    return true;
}

std::string Param(const httplib::Request& request, const char* name)
{
    return request.has_param(name) ? request.get_param_value(name) : std::string{};
}

// Paging value of a request: "Start" on the first engine's first page, "start"
// everywhere else (the program lower-cases the links it follows).
std::string StartParam(const httplib::Request& request)
{
    std::string value = Param(request, "start");
    return value.empty() ? Param(request, "Start") : value;
}

}  // namespace

std::string DemoStartValue(int page)
{
    return page <= 1 ? "1" : std::to_string(2000 + page - 1);
}

int DemoPageFromStart(const std::string& value)
{
    if (value.empty() || value.size() > 4 || !std::all_of(value.begin(), value.end(), ::isdigit))
        return 0;
    const int number = std::stoi(value);
    if (number == 1)
        return 1;
    if (number >= 2001 && number <= 2000 + kMaxPages - 1)
        return number - 1999;
    return 0;
}

std::string DemoSlug(const std::string& keyword)
{
    std::string out;
    for (const char c : keyword) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0)
            out += static_cast<char>(std::tolower(byte));
        else if ((c == ' ' || c == '-' || c == '_') && !out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out;
}

struct DemoEngine::Impl {
    struct Engine {
        int number = 0;  // 1 or 2
        std::string name;
        httplib::Server server;
        std::uint16_t port = 0;
        std::thread thread;
    };

    DemoEngineOptions options;
    std::vector<std::string> clips;
    Engine engines[2];

    // The file served under `name` (lower case, ending in ".mp3"): a clip
    // chosen by the name, behind an ID3v2 tag whose title the name gives.
    // It depends on the name alone, so both engines serve one name alike.
    std::string Content(const std::string& name) const
    {
        const std::size_t clip = Fnv1a(name) % clips.size();
        TagLib::ID3v2::Tag tag;
        tag.setTitle(TagLib::String(TitleOfName(name), TagLib::String::UTF8));
        tag.setArtist(kArtists[clip % std::size(kArtists)]);
        tag.setAlbum("Tunorva Demo");
        const TagLib::ByteVector header = tag.render();
        return std::string(header.data(), header.size()) + clips[clip];
    }
    std::mutex logMutex;

    std::string Base(const Engine& engine) const { return "http://127.0.0.1:" + std::to_string(engine.port); }

    void Log(const Engine& engine, const httplib::Request& request, const httplib::Response& response)
    {
        if (options.quiet)
            return;
        std::lock_guard lock(logMutex);
        std::printf("[%u] %s %s -> %d\n", engine.port, request.method.c_str(), request.target.c_str(), response.status);
        std::fflush(stdout);
    }

    std::string FileName(const Engine& engine, const std::string& artist, const std::string& song, int track) const
    {
        char number[16];
        std::snprintf(number, sizeof number, "%02d", track);
        std::string stem = DemoSlug(artist);
        if (engine.number == 1) {
            const std::string songSlug = DemoSlug(song);
            if (!songSlug.empty())
                stem += (stem.empty() ? "" : "-") + songSlug;
            return (stem.empty() ? "unknown" : stem) + "-track-" + number + ".mp3";
        }
        return (stem.empty() ? "unknown" : stem) + "-live-" + number + ".mp3";
    }

    // The query of a later page, with the paging value first so that no
    // keyword can come before it.
    std::string PageUrl(const Engine& engine, int page, const std::string& artist, const std::string& song,
                        const std::string& searchType) const
    {
        std::string url = Base(engine) + "/index.asp?start=" + DemoStartValue(page);
        if (engine.number == 1)
            url += "&sartist=" + EncodeKeyword(artist) + "&ssong=" + EncodeKeyword(song) + "&searchtype=" +
                   EncodeKeyword(searchType) + "&ref=&page=results&search=Search";
        else
            url += "&s=" + EncodeKeyword(artist) + "&ref=&page=results&resize=&zoektype=" + EncodeKeyword(searchType);
        return url;
    }

    std::string ResultPage(const Engine& engine, const httplib::Request& request) const
    {
        const bool first = engine.number == 1;
        const std::string artist = Param(request, first ? "sartist" : "s");
        const std::string song = first ? Param(request, "ssong") : std::string{};
        const std::string searchType = Param(request, first ? "searchtype" : "zoektype");
        // The engine's OpenSearch description pages by number ("pageno=2").
        const std::string pageNo = Param(request, "pageno");
        const int page = !pageNo.empty() ? (pageNo.size() <= 3 && std::all_of(pageNo.begin(), pageNo.end(), ::isdigit)
                                                ? std::stoi(pageNo)
                                                : 0)
                                         : DemoPageFromStart(StartParam(request));
        const int pages = std::clamp(options.pages, 0, kMaxPages);
        const std::string base = Base(engine);

        std::ostringstream html;
        const std::string what = XmlEscape(artist + (song.empty() ? "" : " / " + song));
        html << "<html><head><title>" << XmlEscape(engine.name) << ": " << what << "</title></head>\n<body>\n";
        html << "<p><a href=\"" << base << "/\">" << XmlEscape(engine.name) << "</a> | <a href=\"../about\">About</a></p>\n";
        if (page < 1 || page > pages) {
            html << "<p>No more results.</p>\n</body></html>\n";
            return html.str();
        }
        html << "<h1>Results for " << what << ", page " << page << " of " << pages << "</h1>\n<ol>\n";
        for (int i = 0; i < options.perPage; ++i) {
            const int track = (page - 1) * options.perPage + i + 1;
            const std::string name = FileName(engine, artist, song, track);
            // Some results are absolute, some relative to the page; a relative
            // one climbs out of "/index.asp" to reach "/music/".
            const std::string href = i % 2 == 0 ? base + "/music/" + name : "../music/" + name;
            html << "<li><a href=\"" << href << "\">" << name << "</a> <small><a href='lyrics.html?t=" << track
                 << "'>lyrics</a></small></li>\n";
        }
        // The first engine's first page also finds its first two files on
        // the second engine's server: one file at two addresses.
        if (first && page == 1) {
            for (int track = 1; track <= std::min(2, options.perPage); ++track) {
                const std::string name = FileName(engine, artist, song, track);
                html << "<li><a href=\"" << Base(engines[1]) << "/music/" << name << "\">" << name
                     << "</a> <small>(mirror)</small></li>\n";
            }
        }
        html << "</ol>\n<p>Pages:";
        for (int p = 1; p <= pages; ++p)
            html << " <a href=\"" << PageUrl(engine, p, artist, song, searchType) << "\">" << p << "</a>";
        if (page < pages)
            html << " <a href=\"" << PageUrl(engine, page + 1, artist, song, searchType) << "\">Next &gt;</a>";
        html << "</p>\n</body></html>\n";
        return html.str();
    }

    std::string HomePage(const Engine& engine) const
    {
        std::ostringstream html;
        html << "<html><head><title>" << XmlEscape(engine.name) << "</title>\n"
             << "<link rel=\"search\" type=\"application/opensearchdescription+xml\" title=\""
             << XmlEscape(engine.name) << "\" href=\"/opensearch.xml\">\n</head>\n<body>\n<h1>"
             << XmlEscape(engine.name) << "</h1>\n"
             << "<p>A local demo search engine for Tunorva. It answers every search with made-up MP3 files "
                "that all play one of a few short tones.</p>\n"
             << "<form action=\"/index.asp\" method=\"get\"><input name=\""
             << (engine.number == 1 ? "sartist" : "s") << "\"> <input type=\"submit\" value=\"Search\"></form>\n"
             << "</body></html>\n";
        return html.str();
    }

    // An OpenSearch description of this engine's own result pages, paged
    // by number; the pages are those of the built-in search. The names are
    // short enough for the engine list's column.
    std::string Description(const Engine& engine) const
    {
        const std::string query = engine.number == 1
                                      ? "/index.asp?sartist={searchTerms}&amp;ssong=&amp;searchtype=or&amp;page=results"
                                      : "/index.asp?s={searchTerms}&amp;page=results&amp;zoektype=or";
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
               "  <ShortName>Demo " + std::to_string(engine.number) + " Pages</ShortName>\n"
               "  <Description>The demo engine's result pages</Description>\n"
               "  <Url type=\"text/html\" template=\"" + Base(engine) + query + "&amp;pageno={startPage}\"/>\n"
               "</OpenSearchDescription>\n";
    }

    std::string FeedDescription(const Engine& engine) const
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
               "  <ShortName>Podcast " + std::to_string(engine.number) + "</ShortName>\n"
               "  <Description>The demo engine's podcast feed</Description>\n"
               "  <Url type=\"application/rss+xml\" template=\"" + Base(engine) + "/feed.xml?q={searchTerms}\"/>\n"
               "</OpenSearchDescription>\n";
    }

    // A podcast feed: episodes named after the terms, some served from
    // addresses without ".mp3" as podcast hosts do, and a second page.
    std::string Feed(const Engine& engine, const httplib::Request& request) const
    {
        const std::string terms = Param(request, "q");
        const int page = Param(request, "page") == "2" ? 2 : 1;
        const std::string stem = DemoSlug(terms).empty() ? "episode" : DemoSlug(terms);
        std::ostringstream xml;
        xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n<channel>\n"
            << "<title>Demo " << engine.number << " Feed</title>\n<link>" << Base(engine) << "/</link>\n"
            << "<description>Made-up episodes that play a short tone.</description>\n";
        if (page == 1)
            xml << "<atom:link rel=\"next\" href=\"" << Base(engine) << "/feed.xml?q=" << XmlEscape(EncodeKeyword(terms))
                << "&amp;page=2\"/>\n";
        for (int i = 1; i <= 3; ++i) {
            const int episode = (page - 1) * 3 + i;
            xml << "<item><title>Episode " << episode << "</title>";
            if (i == 2)
                xml << "<enclosure url=\"" << Base(engine) << "/episode/" << stem << "-" << episode
                    << "\" type=\"audio/mpeg\" length=\"0\"/>";
            else
                xml << "<enclosure url=\"" << Base(engine) << "/music/" << stem << "-episode-" << episode
                    << ".mp3\" type=\"audio/mpeg\" length=\"0\"/>";
            xml << "</item>\n";
        }
        xml << "</channel>\n</rss>\n";
        return xml.str();
    }

    void Route(Engine& engine)
    {
        engine.server.Get("/opensearch.xml", [this, &engine](const httplib::Request&, httplib::Response& res) {
            res.set_content(Description(engine), "application/opensearchdescription+xml");
        });
        engine.server.Get("/opensearch-feed.xml", [this, &engine](const httplib::Request&, httplib::Response& res) {
            res.set_content(FeedDescription(engine), "application/opensearchdescription+xml");
        });
        engine.server.Get("/feed.xml", [this, &engine](const httplib::Request& req, httplib::Response& res) {
            res.set_content(Feed(engine, req), "application/rss+xml");
        });
        httplib::Server& server = engine.server;
        // The library compresses with brotli at its slowest, best quality
        // whenever the client accepts it: some 40 ms of CPU for each result
        // page, which made the engine, not the client, the slow part of a
        // search. Without "br" the library falls back to a quick gzip. The
        // request object is the library's own, not a constant one.
        server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
            auto& headers = const_cast<httplib::Request&>(req).headers;
            for (auto it = headers.begin(); it != headers.end(); ++it) {
                if (!EqualsNoCase(it->first, "Accept-Encoding"))
                    continue;
                std::string kept;
                std::istringstream codings(it->second);
                for (std::string coding; std::getline(codings, coding, ',');) {
                    const auto start = coding.find_first_not_of(' ');
                    if (start == std::string::npos || coding.compare(start, 2, "br") == 0)
                        continue;
                    kept += (kept.empty() ? "" : ", ") + coding.substr(start);
                }
                it->second = kept;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.Get("/", [this, &engine](const httplib::Request&, httplib::Response& res) {
            res.set_content(HomePage(engine), "text/html");
        });
        server.Get("/about", [this, &engine](const httplib::Request&, httplib::Response& res) {
            res.set_content(HomePage(engine), "text/html");
        });
        server.Get("/index.asp", [this, &engine](const httplib::Request& req, httplib::Response& res) {
            if (options.pageDelayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(options.pageDelayMs));
            res.set_content(ResultPage(engine, req), "text/html");
        });
        server.Get(R"(/episode/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
            if (clips.empty()) {
                res.status = 404;
                return;
            }
            std::string name = std::string(req.matches[1]) + ".mp3";
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            std::string content = Content(name);
            if (!FitRanges(req, res, content.size()))
                return;
            res.set_content(std::move(content), "audio/mpeg");
        });
        server.Get(R"(/music/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            std::string name = req.matches[1];
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".mp3") != 0 || clips.empty()) {
                res.status = 404;
                res.set_content("Not found", "text/plain");
                return;
            }
            std::string content = Content(name);
            if (!FitRanges(req, res, content.size()))
                return;
            res.set_content(std::move(content), "audio/mpeg");
        });
        server.set_logger([this, &engine](const httplib::Request& req, const httplib::Response& res) {
            Log(engine, req, res);
        });
    }

    bool LoadClips(std::string& error)
    {
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(options.mediaDir, ec)) {
            if (entry.path().extension() == ".mp3")
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream data;
            data << in.rdbuf();
            if (!data.str().empty())
                clips.push_back(data.str());
        }
        if (clips.empty())
            error = "No MP3 clips found in \"" + options.mediaDir + "\".";
        return !clips.empty();
    }
};

DemoEngine::DemoEngine(DemoEngineOptions options)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->options = std::move(options);
    m_impl->engines[0].number = 1;
    m_impl->engines[0].name = "Tunorva Demo One";
    m_impl->engines[1].number = 2;
    m_impl->engines[1].name = "Tunorva Demo Two";
}

DemoEngine::~DemoEngine()
{
    Stop();
}

bool DemoEngine::Start()
{
    if (!m_impl->LoadClips(m_error))
        return false;
    const std::uint16_t ports[2] = {m_impl->options.port1, m_impl->options.port2};
    for (int i = 0; i < 2; ++i) {
        Impl::Engine& engine = m_impl->engines[i];
        m_impl->Route(engine);
        // The library's default also sets SO_REUSEPORT, which would let a
        // second engine share a port that is already taken.
        auto listening = std::make_shared<int>(-1);  // the first socket made: the one bound
        engine.server.set_socket_options([listening](int sock) {
            int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            if (*listening < 0)
                *listening = sock;
        });
        // The server writes an answer's head and body separately; without
        // this, on a kept-alive connection the body waits for the client's
        // delayed acknowledgement of the head, some 25 ms for every answer.
        engine.server.set_tcp_nodelay(true);
        // A kept-alive connection holds one of the server's threads while it
        // waits for its next request; the program keeps up to 16 probe
        // connections and the page workers' open at once, more than the
        // library's default of 8 threads, which left pages waiting for seconds.
        engine.server.new_task_queue = [] { return new httplib::ThreadPool(64); };
        engine.server.set_keep_alive_max_count(100);
        if (ports[i] == 0) {
            const int port = engine.server.bind_to_any_port("127.0.0.1");
            engine.port = port > 0 ? static_cast<std::uint16_t>(port) : 0;
        } else if (engine.server.bind_to_port("127.0.0.1", ports[i])) {
            engine.port = ports[i];
        }
        // The library listens with a queue of 5 pending connections: a
        // search's probes open a dozen at once, and each one past the fifth
        // lost its first SYN and waited the second TCP waits to send it
        // again. Listening once more on the bound socket lengthens the queue.
        if (engine.port != 0 && *listening >= 0)
            ::listen(*listening, kListenQueue);
        if (engine.port == 0) {
            m_error = "Cannot listen on 127.0.0.1:" + std::to_string(ports[i]) + ".";
            Stop();
            return false;
        }
        engine.thread = std::thread([&engine] { engine.server.listen_after_bind(); });
        // A stop that comes before the server loop runs would be lost and
        // the join would never return; so Start returns only once it runs.
        for (int waited = 0; !engine.server.is_running() && waited < 5000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!engine.server.is_running()) {
            m_error = "The server on port " + std::to_string(engine.port) + " did not start.";
            engine.server.stop();
            engine.thread.join();
            return false;
        }
    }
    return true;
}

void DemoEngine::Stop()
{
    for (Impl::Engine& engine : m_impl->engines) {
        engine.server.stop();
        if (engine.thread.joinable())
            engine.thread.join();
    }
}

std::uint16_t DemoEngine::Port1() const
{
    return m_impl->engines[0].port;
}

std::uint16_t DemoEngine::Port2() const
{
    return m_impl->engines[1].port;
}

bool DemoEngine::WriteEnginesIni(const std::string& path) const
{
    const std::string one = "127.0.0.1:" + std::to_string(Port1());
    const std::string two = "127.0.0.1:" + std::to_string(Port2());
    std::ofstream out(path, std::ios::trunc);
    out << "[Engine1]\nHost=" << one << "\nName=Tunorva Demo One\nHomePage=http://" << one << "/\n"
        << "[Engine2]\nHost=" << two << "\nName=Tunorva Demo Two\nHomePage=http://" << two << "/\n"
        << "[Engine3]\nName=Tunorva Home\nHomePage=http://" << one << "/about\n";
    out.close();
    return static_cast<bool>(out);
}
