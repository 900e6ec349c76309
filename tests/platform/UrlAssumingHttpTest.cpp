#include "platform/Url.h"

#include <gtest/gtest.h>

#include <string>

// A download and a probe read their URL the same way: as it stands, or else
// as an http URL; the text they go on with keeps the prefix once it is added.
TEST(UrlAssumingHttpTest, ParsesAsGivenOrWithHttpInFront)
{
    struct Row {
        std::string url;
        bool parses;
        std::string urlAfter;
        std::uint32_t service;
        std::string server;
        std::string object;
        std::uint16_t port;
    };
    const Row rows[] = {
        {"https://h.example/a.mp3", true, "https://h.example/a.mp3", platform::AFX_INET_SERVICE_HTTPS, "h.example",
         "/a.mp3", 443},
        {"h.example/a b.mp3", true, "http://h.example/a b.mp3", platform::AFX_INET_SERVICE_HTTP, "h.example",
         "/a b.mp3", 80},
        {"h.example:8080", true, "http://h.example:8080", platform::AFX_INET_SERVICE_HTTP, "h.example", "/", 8080},
        {"ftp://h.example/a.mp3", true, "ftp://h.example/a.mp3", platform::AFX_INET_SERVICE_FTP, "h.example",
         "/a.mp3", 21},
        {"", false, "http://", 0, "", "", 0},
        // A text with its scheme is not tried again: "http://http://" would
        // be the host "http" with an empty port.
        {"http://", false, "http://", 0, "", "", 0},
        {"unknown://h.example/", false, "unknown://h.example/", 0, "", "", 0},
        {"h.example:song", false, "http://h.example:song", 0, "", "", 0},
    };
    for (const Row& row : rows) {
        std::string url = row.url;
        std::uint32_t service = 0;
        std::string server;
        std::string object;
        std::uint16_t port = 0;
        ASSERT_EQ(platform::ParseUrlAssumingHttp(url, service, server, object, port), row.parses) << row.url;
        EXPECT_EQ(url, row.urlAfter) << row.url;
        if (!row.parses)
            continue;
        EXPECT_EQ(service, row.service) << row.url;
        EXPECT_EQ(server, row.server) << row.url;
        EXPECT_EQ(object, row.object) << row.url;
        EXPECT_EQ(port, row.port) << row.url;
    }
}
