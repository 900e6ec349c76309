// tunorva-cli's engine commands against a real web server (nginx), over
// HTTP and HTTPS: adding engines from a site, a feed and a file, listing
// them and searching them all in the window's order.
#include "CliRun.h"
#include "NginxServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <QStringList>

#include <filesystem>

using namespace testing_support;

namespace {

class EngineCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available())
            GTEST_SKIP() << "nginx is not installed";
        m_server = std::make_unique<NginxServer>(m_root.Str());
        ASSERT_TRUE(m_server->Running()) << m_server->Error();
        // Both built-in engines point at a closed port: only the user's engines answer.
        m_config.Write("Engines.ini", "[Engine1]\nHost=127.0.0.1:1\nName=One\n[Engine2]\nHost=127.0.0.1:1\nName=Two\n");
    }

    // Serves a site whose home page announces its description, the description
    // (numbered pages whose every page is the same), the results and a feed.
    void Serve(const std::string& base)
    {
        m_root.Write("index.html", "<html><head><title>Site</title><link rel=\"stylesheet\" href=\"s.css\">"
                                   "<link rel=\"search\" type=\"application/opensearchdescription+xml\" "
                                   "href=\"desc/opensearch.xml\"></head><body>Hi</body></html>");
        std::filesystem::create_directories(m_root.Path() / "desc");
        m_root.Write("desc/opensearch.xml",
                     "<?xml version=\"1.0\"?><OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">"
                     "<ShortName>Site Search</ShortName><Url type=\"text/html\" template=\"" + base +
                         "results.html?q={searchTerms}&amp;p={startPage}\"/></OpenSearchDescription>");
        m_root.Write("results.html", "<a href='/m/one.mp3'>1</a> <a href='m/two.mp3'>2</a> <a href='/x.html'>x</a>");
        m_root.Write("feed.xml", "<rss version=\"2.0\"><channel><title>Pod / Cast</title>"
                                 "<item><enclosure url=\"" + base + "e/1\" type=\"audio/mpeg\"/></item>"
                                 "<item><enclosure url=\"/e/2.mp3\" type=\"audio/mpeg\"/></item>"
                                 "</channel></rss>");
    }

    CliRun Run(QStringList args)
    {
        args = QStringList{"--engines", QString::fromStdString(m_config.File("Engines.ini")), "--engines-dir",
                           QString::fromStdString(m_engines.Str())} +
               args;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SSL_CERT_FILE", QString::fromStdString(m_server->CaFile()));
        return RunCli(args, env);
    }

    TempDir m_root;
    TempDir m_config;
    TempDir m_engines;
    std::unique_ptr<NginxServer> m_server;
};

}  // namespace

TEST_F(EngineCliTest, AnEngineIsAddedFromASiteAFeedAndAFileAndSearchedInOrder)
{
    for (const bool https : {false, true}) {
        SCOPED_TRACE(https ? "https" : "http");
        std::filesystem::remove_all(m_engines.Path());
        const std::string base = https ? m_server->HttpsUrl() : m_server->HttpUrl();
        Serve(base);

        // The site's home page names its description; the feed is named after its title.
        CliRun run = Run({"add-engine", Q(base)});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "added\tSite Search\t" + m_engines.File("Site_Search.xml") + "\n");
        run = Run({"add-engine", Q(base + "feed.xml")});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "added\tPod / Cast\t" + m_engines.File("Pod_Cast.xml") + "\n");

        // A second add of the same name is refused unless it may replace.
        run = Run({"add-engine", Q(base)});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out.rfind("error\texists\tSite Search\t", 0), 0u) << run.out;
        EXPECT_EQ(Run({"add-engine", Q(base), "--replace"}).exitCode, 0);

        run = Run({"engines"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find("engine\tPod / Cast\tfeed\t" + base + "feed.xml\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("engine\tSite Search\thtml\t" + base + "results.html?q={searchTerms}&p={startPage}\n"),
                  std::string::npos);

        // Every page brings the same two files: the second page brings none
        // that is new and ends the walk, still counted.
        run = Run({"search", "abba", "waterloo"});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find("page\tPod / Cast\t" + base + "feed.xml\t1\n"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("mp3\tPod / Cast\t" + base + "e/1\n"), std::string::npos);
        EXPECT_NE(run.out.find("page\tSite Search\t" + base + "results.html?q=abba%2520waterloo&p=2\t1\n"),
                  std::string::npos);
        EXPECT_EQ(run.out.find("&p=3"), std::string::npos);
        // Built-in engines first, then the user's in file-name order; each ends with its count.
        const std::size_t one = run.out.find("engine\tOne\t0\n");
        const std::size_t pod = run.out.find("engine\tPod / Cast\t2\n");
        const std::size_t site = run.out.find("engine\tSite Search\t4\n");
        EXPECT_NE(one, std::string::npos);
        EXPECT_NE(pod, std::string::npos);
        EXPECT_NE(site, std::string::npos);
        EXPECT_LT(run.out.find("page\tOne\t"), run.out.find("page\tPod / Cast\t"));
        EXPECT_LT(run.out.find("page\tPod / Cast\t"), run.out.find("page\tSite Search\t"));
        EXPECT_EQ(run.out.substr(run.out.size() - 9), "finished\n");
    }
}

TEST_F(EngineCliTest, WhatCannotBeAddedIsNamedAndNothingIsWritten)
{
    Serve(m_server->HttpUrl());
    m_root.Write("plain.html", "<html><body>no engine here</body></html>");
    m_root.Write("entities.xml", "<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                 "<OpenSearchDescription><ShortName>&x;</ShortName></OpenSearchDescription>");
    TempDir files;
    files.Write("dots.xml", "<OpenSearchDescription><ShortName>../..</ShortName>"
                            "<Url type=\"text/html\" template=\"http://x/?q={searchTerms}\"/></OpenSearchDescription>");
    files.Write("good.xml", "<OpenSearchDescription><ShortName>../../Evil</ShortName>"
                            "<Url type=\"text/html\" template=\"http://x/?q={searchTerms}\"/></OpenSearchDescription>");
    const struct {
        std::string source;
        std::string reason;  // a part of the error text
    } cases[] = {
        {m_server->HttpUrl("/plain.html"), "announces no search engine"},
        {m_server->HttpUrl("/entities.xml"), "declares entities"},
        {m_server->HttpUrl("/missing.xml"), "could not be read"},
        {"http://127.0.0.1:1/", "could not be read"},
        {files.File("missing.xml"), "could not be read"},
        {files.File("dots.xml"), "ShortName"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run({"add-engine", Q(c.source)});
        EXPECT_EQ(run.exitCode, 1) << c.source;
        EXPECT_EQ(run.out.rfind("error\t", 0), 0u) << c.source;
        EXPECT_NE(run.out.find(c.reason), std::string::npos) << c.source << ": " << run.out;
    }
    EXPECT_FALSE(std::filesystem::exists(m_engines.Path()) && !std::filesystem::is_empty(m_engines.Path()));

    // A name that climbs out of the folder is cleaned into one inside it.
    const CliRun run = Run({"add-engine", Q(files.File("good.xml"))});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "added\t../../Evil\t" + m_engines.File("Evil.xml") + "\n");
    EXPECT_EQ(Run({"add-engine"}).exitCode, 2);
    EXPECT_EQ(Run({"search", "only-one"}).exitCode, 2);
}
