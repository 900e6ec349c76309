#include "platform/Url.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

struct UrlCase {
    const char* url;
    bool parses;
    std::uint32_t service;
    const char* server;
    const char* object;
    std::uint16_t port;
};

TEST(Url, ParsesAsThePagesExpect)
{
    const UrlCase cases[] = {
        {"http://host/index.asp?s=a&start=1", true, AFX_INET_SERVICE_HTTP, "host", "/index.asp?s=a&start=1", 80},
        {"HTTP://Host.Example/A", true, AFX_INET_SERVICE_HTTP, "Host.Example", "/A", 80},
        {"http://host", true, AFX_INET_SERVICE_HTTP, "host", "/", 80},
        {"http://host:8080/x.mp3", true, AFX_INET_SERVICE_HTTP, "host", "/x.mp3", 8080},
        {"http://user:pw@host:81/", true, AFX_INET_SERVICE_HTTP, "host", "/", 81},
        {"http://host?q=1", true, AFX_INET_SERVICE_HTTP, "host", "/?q=1", 80},
        {"http://[::1]:9000/a", true, AFX_INET_SERVICE_HTTP, "[::1]", "/a", 9000},
        {"http://host:/x", true, AFX_INET_SERVICE_HTTP, "host", "/x", 80},
        {"https://[::1]:?q", true, AFX_INET_SERVICE_HTTPS, "[::1]", "/?q", 443},
        {"https://host/a", true, AFX_INET_SERVICE_HTTPS, "host", "/a", 443},
        {"ftp://host/a.mp3", true, AFX_INET_SERVICE_FTP, "host", "/a.mp3", 21},
        {"", false, 0, "", "", 0},
        {"index.asp?s=x&start=11", false, 0, "", "", 0},
        {"/dl/x.mp3", false, 0, "", "", 0},
        {"mailto:someone@host", false, 0, "", "", 0},
        {"unknown://host/", false, 0, "", "", 0},
        {"http://", false, 0, "", "", 0},
        {"http://:80/", false, 0, "", "", 0},
        {"http://host:0/", false, 0, "", "", 0},
        {"http://host:65536/", false, 0, "", "", 0},
        {"http://host:8x/", false, 0, "", "", 0},
        {"://host/", false, 0, "", "", 0},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.url);
        std::uint32_t service = 99;
        std::string server, object;
        std::uint16_t port = 0;
        ASSERT_EQ(AfxParseURL(c.url, service, server, object, port), c.parses);
        if (!c.parses)
            continue;
        EXPECT_EQ(service, c.service);
        EXPECT_EQ(server, c.server);
        EXPECT_EQ(object, c.object);
        EXPECT_EQ(port, c.port);
    }
}

}  // namespace
