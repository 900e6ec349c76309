#include "search/SearchQuery.h"

#include "platform/PercentEncoding.h"
#include "platform/Url.h"
#include "search/EngineConfig.h"

namespace {

std::string ToLowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

std::string EncodeKeyword(const std::string& keyword)
{
    // RFC 3986's unreserved bytes stand as they are; a blank or '+' is
    // encoded too, so that every engine reads the keyword the same way.
    return platform::PercentEncode(keyword, [](unsigned char byte) {
        return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
               byte == '-' || byte == '.' || byte == '_' || byte == '~';
    });
}

std::string DeriveSearchType(const std::string& artist, const std::string& song)
{
    return !song.empty() && !artist.empty() ? "and" : "or";
}

std::string BuildEngineUrl(const std::string& base, const std::string& searchType, const std::string& artist,
                           const std::string& song)
{
    const EngineConfig engines = Engines();
    if (base == engines.FirstBaseUrl()) {
        return base + "?sartist=" + EncodeKeyword(artist) + "&ssong=" + EncodeKeyword(song) +
               "&searchtype=" + searchType + "&ref=&page=results&search=Search&Start=1";
    }
    if (base == engines.SecondBaseUrl())
        return base + "?s=" + EncodeKeyword(artist) + "&ref=&page=results&resize=&zoektype=" + searchType +
               "&start=1";
    return {};
}

std::string GetUrlParamValue(const std::string& url, const std::string& key)
{
    platform::ParsedUrl parsed;
    if (!platform::ParseUrl(url, parsed))
        return {};
    // Deliberately any occurrence, not only a parameter name: the engines'
    // URLs are read the way they have always been read. The name is found
    // in any case ("Start=", "START="); the value keeps its own.
    const std::size_t keyPos = ToLowerAscii(url).find(ToLowerAscii(key));
    if (keyPos == std::string::npos)
        return {};
    const std::size_t equals = url.find('=', keyPos);
    if (equals == std::string::npos)
        return {};
    const std::size_t amp = url.find('&', equals);
    const std::size_t end = amp == std::string::npos ? url.size() : amp;
    return url.substr(equals + 1, end - equals - 1);
}

std::optional<std::size_t> FindNextPageLink(const std::string& currentPageUrl, const std::vector<std::string>& links,
                                            const std::string& key)
{
    const std::string current = GetUrlParamValue(currentPageUrl, key);
    if (current.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < links.size(); ++i) {
        // Compared as text, byte for byte, as the values stand.
        const std::string value = GetUrlParamValue(links[i], key);
        if (!value.empty() && value > current)
            return i;
    }
    return std::nullopt;
}
