#include "platform/CurlUrlParts.h"

namespace platform {

CurlUrlParts::CurlUrlParts(const char* url) : m_parsed(curl_url())
{
    m_ok = m_parsed != nullptr && url != nullptr && curl_url_set(m_parsed.get(), CURLUPART_URL, url, 0) == CURLUE_OK;
}

std::string CurlUrlParts::Part(CURLUPart part, unsigned flags) const
{
    std::string text;
    char* value = nullptr;
    if (m_ok && curl_url_get(m_parsed.get(), part, &value, flags) == CURLUE_OK && value != nullptr)
        text = value;
    curl_free(value);
    return text;
}

std::string OriginOf(const char* url)
{
    const CurlUrlParts parts(url);
    const std::string scheme = parts.Part(CURLUPART_SCHEME);
    const std::string host = parts.Part(CURLUPART_HOST);
    const std::string port = parts.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (scheme.empty() || host.empty() || port.empty())
        return {};
    return scheme + "://" + host + ":" + port;
}

std::string ServerOf(const char* url)
{
    const CurlUrlParts parts(url);
    const std::string host = parts.Part(CURLUPART_HOST);
    const std::string port = host.empty() ? std::string() : parts.Part(CURLUPART_PORT);
    return port.empty() ? host : host + ":" + port;
}

}  // namespace platform
