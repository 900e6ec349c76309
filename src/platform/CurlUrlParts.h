#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace platform {

// An absolute URL as libcurl reads it; every part is empty when it cannot be read.
class CurlUrlParts final {
public:
    explicit CurlUrlParts(const char* url);

    std::string Part(CURLUPart part, unsigned flags = 0) const;

private:
    struct Cleanup {
        void operator()(CURLU* url) const { curl_url_cleanup(url); }
    };
    std::unique_ptr<CURLU, Cleanup> m_parsed;
    bool m_ok = false;
};

// "scheme://host:port" of an absolute URL; empty when it cannot be read.
std::string OriginOf(const char* url);

// Host, and ":port" when the URL names one other than its scheme's, of an
// absolute URL; empty when it cannot be read.
std::string ServerOf(const char* url);

}  // namespace platform
