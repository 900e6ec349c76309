#include "CliRun.h"
#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>

using namespace testing_support;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}


TEST(Cli, QueryUsesTheEnginesFile)
{
    TempDir dir;
    dir.Write("Engines.ini", "[Engine1]\nHost=one.test\n[Engine2]\nHost=two.test:81\n");
    const CliRun run = RunCli({"--engines", Q(dir.File("Engines.ini")), "query", "abba", "waterloo"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "type\tand\n"
              "first\thttp://one.test/index.asp?sartist=abba&ssong=waterloo&searchtype=and&ref=&page=results&search=Search&Start=1\n"
              "second\thttp://two.test:81/index.asp?s=abba&ref=&page=results&resize=&zoektype=and&start=1\n");
}

TEST(Cli, KeywordsAreEncodedAndNoFieldCanForgeARecord)
{
    TempDir dir;
    dir.Write("Engines.ini", "[Engine1]\nHost=one.test\n[Engine2]\nHost=two.test\n");
    CliRun run = RunCli({"--engines", Q(dir.File("Engines.ini")), "query", "AC&DC", "C# minor"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "type\tand\n"
              "first\thttp://one.test/index.asp?sartist=AC%2526DC&ssong=C%2523%2520minor&searchtype=and&ref=&page=results&search=Search&Start=1\n"
              "second\thttp://two.test/index.asp?s=AC%2526DC&ref=&page=results&resize=&zoektype=and&start=1\n");

    // A link holding a line break, a carriage return and a TAB stays one field.
    dir.Write("page.html", "<a href='a\nfinished\tx\r.mp3'>");
    run = RunCli({"links", Q(dir.File("page.html")), "http://h/"});
    EXPECT_EQ(run.exitCode, 0);
    // Resolved as a browser does, without them.
    EXPECT_EQ(run.out, "link\ta%0Afinished%09x%0D.mp3\thttp://h/afinishedx.mp3\tmp3\nnext\t-\n");

    // A walk whose first page cannot be read says so in its exit status.
    run = RunCli({"walk", "http://127.0.0.1:1/?start=1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "page\thttp://127.0.0.1:1/?start=1\t-1\nfinished\n");
}

// Every field escapes '%' and the control bytes, so what a page holds can
// neither pass for an escape nor reach the terminal as a command.
TEST(Cli, FieldsAreUnambiguousAndSafeInATerminal)
{
    TempDir dir;
    const struct {
        std::string href;
        std::string printed;   // the target as written
        std::string resolved;  // the resolved URL: control and non-ASCII bytes percent-encoded
    } cases[] = {
        {"a%0ab.mp3", "a%250ab.mp3", "http://h/a%250ab.mp3"},
        // Leading control bytes are dropped, as a browser drops them.
        {"\x1b]0;owned\x07\x1b[2jc.mp3", "%1B]0;owned%07%1B[2jc.mp3", "http://h/]0;owned%2507%251B[2jc.mp3"},
        {"d\x7f\x01\x1f.mp3", "d%7F%01%1F.mp3", "http://h/d%257F%2501%251F.mp3"},
        {"100%.mp3", "100%25.mp3", "http://h/100%25.mp3"},
        {"caf\xc3\xa9.mp3", "caf\xc3\xa9.mp3", "http://h/caf%25C3%25A9.mp3"},  // UTF-8 passes as it is
        // Bidirectional and C1 controls would reorder or command the terminal.
        {"a\xe2\x80\xae" "b.mp3", "a%E2%80%AEb.mp3", "http://h/a%25E2%2580%25AEb.mp3"},
        {"\xe2\x81\xa6" "f\xe2\x80\x8f.mp3", "%E2%81%A6f%E2%80%8F.mp3", "http://h/%25E2%2581%25A6f%25E2%2580%258F.mp3"},
        {"c\xc2\x9b" "2J.mp3", "c%C2%9B2J.mp3", "http://h/c%25C2%259B2J.mp3"},
        // An empty port is the scheme's own.
        {"http://h:/e.mp3", "http://h:/e.mp3", "http://h/e.mp3"},
    };
    for (const auto& c : cases) {
        dir.Write("page.html", "<a href='" + c.href + "'>");
        const CliRun run = RunCli({"links", Q(dir.File("page.html")), "http://h/"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "link\t" + c.printed + "\t" + c.resolved + "\tmp3\nnext\t-\n") << c.printed;
    }
}

TEST(Cli, AWalkWhoseFirstPageIsNoPageFails)
{
    ScriptedHttpServer server([&](const HttpExchange& request) {
        if (request.target == "/?start=1&s=404")
            return ScriptedReply{HttpResponse(404, "<a href='a.mp3'>")};
        if (request.target == "/?start=1&s=500")
            return ScriptedReply{HttpResponse(500, "oops")};
        return ScriptedReply{HttpResponse(200, "no songs here")};
    });
    const std::pair<std::string, int> cases[] = {{"/?start=1&s=404", 1}, {"/?start=1&s=500", 1}, {"/?start=1&s=200", 0}};
    for (const auto& [target, exitCode] : cases) {
        const CliRun run = RunCli({"walk", Q(server.Url(target))});
        EXPECT_EQ(run.exitCode, exitCode) << target;
        EXPECT_EQ(Lines(run.out).back(), "finished") << target;
    }
}

TEST(Cli, LinksOfASavedPage)
{
    TempDir dir;
    dir.Write("page.html", "<A HREF='Song.mp3'>s</a><a href='http://h/x?start=2'>n</a><a href='info.html'>i</a>");
    const CliRun run = RunCli({"links", Q(dir.File("page.html")), "http://h/list.asp?start=1"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "link\tSong.mp3\thttp://h/Song.mp3\tmp3\n"
              "link\thttp://h/x?start=2\thttp://h/x?start=2\t-\n"
              "link\tinfo.html\thttp://h/info.html\t-\n"
              "next\thttp://h/x?start=2\n");

    // A <base> moves every link; a link that is never fetched shows as "-".
    dir.Write("based.html", "<a href='mailto:me@h'>m</a><base href='/files/'><a href=x.mp3>x</a>");
    EXPECT_EQ(RunCli({"links", Q(dir.File("based.html")), "http://h/list.asp?start=1"}).out,
              "link\tmailto:me@h\t-\t-\nlink\tx.mp3\thttp://h/files/x.mp3\tmp3\nnext\t-\n");
    EXPECT_EQ(RunCli({"links", Q(dir.File("missing.html")), "http://h/"}).exitCode, 1);
}

TEST(Cli, FetchAndWalkAgainstAScriptedEngine)
{
    ScriptedHttpServer* self = nullptr;
    ScriptedHttpServer server([&](const HttpExchange& request) {
        if (request.target == "/?start=1")
            return ScriptedReply{HttpResponse(200, "<a href='a.mp3'><a href='" + self->Url("/?start=2") + "'>")};
        if (request.target == "/?start=2")
            return ScriptedReply{HttpResponse(200, "<a href='http://f/b.mp3'>")};
        return ScriptedReply{HttpResponse(302, "", "Location:nowhere\r\n")};
    });
    self = &server;
    const std::string first = server.Url("/?start=1");
    const std::string second = server.Url("/?start=2");

    CliRun run = RunCli({"walk", Q(first)});
    EXPECT_EQ(run.exitCode, 0);
    // The two pages' workers overlap, so only each page's own order is fixed.
    const std::vector<std::string> lines = Lines(run.out);
    const std::vector<std::string> firstPage = {"mp3\t" + server.Url("/a.mp3"), "page\t" + first + "\t1", "finished"};
    const std::vector<std::string> secondPage = {"mp3\thttp://f/b.mp3", "page\t" + second + "\t1", "finished"};
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), firstPage.front());
    std::vector<std::string> sorted = lines;
    std::vector<std::string> expected = firstPage;
    expected.insert(expected.end(), secondPage.begin(), secondPage.end());
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    EXPECT_EQ(lines.back(), "finished");

    run = RunCli({"fetch", Q(first)});
    EXPECT_EQ(run.exitCode, 0);
    // The fetched page's links come resolved.
    const std::string a = server.Url("/a.mp3");
    EXPECT_EQ(run.out, "steps\t3\nlink\t" + a + "\t" + a + "\tmp3\nlink\t" + second + "\t" + second +
                           "\t-\nnext\t" + second + "\n");

    run = RunCli({"fetch", Q(server.Url("/moved"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "steps\t2\nnext\t-\n");
    EXPECT_EQ(run.err, "message\tError: Site redirects with no new location\n");
}

TEST(Cli, BadArgumentsShowTheUsage)
{
    for (const QStringList& args : {QStringList{}, QStringList{"query", "a"}, QStringList{"walk"},
                                    QStringList{"fetch", "a", "b"}, QStringList{"--engines"}, QStringList{"nope"}}) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("usage: tunorva-cli"), std::string::npos);
    }
}

TEST(Cli, DownloadPrintsWhatTheWindowWouldReceiveAndExitsByTheOutcome)
{
    TempDir dir;
    const std::string body = PatternBody(3000);
    ScriptedHttpServer server([&](const HttpExchange& request) {
        if (request.target == "/private.mp3" && request.Header("Authorization") != "Basic dTpw")
            return ScriptedReply{HttpResponse(401, "no")};
        if (request.target == "/gone.mp3")
            return ScriptedReply{HttpResponse(404, "no")};
        ScriptedReply reply{HttpResponse(200, body)};
        reply.chunkSize = 1000;
        return reply;
    });
    const std::string connected = "status\tResolving name: 127.0.0.1\nstatus\tResolved name to 127.0.0.1\n"
                                  "status\tConnecting to 127.0.0.1\nstatus\tConnected to 127.0.0.1\n";
    const std::string complete = connected + "status\tGetting file information\nsize\t3000\n"
                                             "status\tRetrieving the file\nprogress\t1024\nprogress\t2048\n"
                                             "progress\t3000\ncheck\tok\ndone\nfinished\t0\n";
    CliRun run = RunCli({"download", Q(server.Url("/song.mp3")), Q(dir.Str())});  // no trailing '/'
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, complete);

    run = RunCli({"download", Q(server.Url("/song.mp3")), Q(dir.Str())});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "declined\n");
    EXPECT_EQ(run.err, "message\tThe file '" + dir.File("song.mp3") + "' already exists.%0ADo you want to replace it?\n");

    run = RunCli({"download", Q(server.Url("/song.mp3")), Q(dir.Str() + "/"), "--replace", "yes", "--pause-at",
                  "1500", "--resume-after", "50"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, complete);

    run = RunCli({"download", Q(server.Url("/private.mp3")), Q(dir.Str()), "--login", "u:p"});
    EXPECT_EQ(run.exitCode, 0);
    run = RunCli({"download", Q(server.Url("/gone.mp3")), Q(dir.Str())});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, connected + "error\tThe server answered 404\nfinished\t1\n");

    for (const QStringList& args :
         {QStringList{"download", "u"}, QStringList{"download", "u", "d", "--replace", "maybe"},
          QStringList{"download", "u", "d", "--pause-at", "5"}, QStringList{"download", "u", "d", "--login", "nocolon"},
          QStringList{"download", "u", "d", "--pause-at", "5", "--resume-after", "600001"},
          QStringList{"download", "u", "d", "--pause-at", "5", "--resume-after", "999999999999999999"}}) {
        EXPECT_EQ(RunCli(args).exitCode, 2) << args.join(' ').toStdString();
    }
}

}  // namespace
