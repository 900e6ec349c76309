#include "search/LinkExtractor.h"

#include "platform/Url.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Finds the next occurrence of a byte or a text from a start that only moves
// forward, remembering the last answer. Every later search starts beyond the
// previous hit, so all searches of one scan together read the page once.
class ForwardFinder final {
public:
    explicit ForwardFinder(std::string_view text) : m_text(text) {}

    std::size_t Next(std::string_view needle, std::size_t from)
    {
        if (m_valid && (m_hit == npos || m_hit >= from))
            return m_hit;
        m_hit = m_text.find(needle, from);
        m_valid = true;
        return m_hit;
    }

private:
    std::string_view m_text;
    std::size_t m_hit = 0;
    bool m_valid = false;
};

class ByteFinder final {
public:
    explicit ByteFinder(std::string_view text) : m_text(text) { m_hits.fill(kUnknown); }

    std::size_t Next(unsigned char byte, std::size_t from)
    {
        std::size_t& hit = m_hits[byte];
        if (hit != kUnknown && (hit == npos || hit >= from))
            return hit;
        if (from >= m_text.size()) {
            hit = npos;
            return hit;
        }
        const void* found = std::memchr(m_text.data() + from, byte, m_text.size() - from);
        hit = found == nullptr ? npos : static_cast<std::size_t>(static_cast<const char*>(found) - m_text.data());
        return hit;
    }

private:
    static constexpr std::size_t kUnknown = npos - 1;
    std::string_view m_text;
    std::array<std::size_t, 256> m_hits{};
};

void LowerInPlace(std::string& text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
}

// The scan over an already lower-cased page; true when it stopped at `maxLinks`.
bool ScanLinks(std::string_view text, std::vector<std::string>& links, std::size_t maxLinks)
{
    ForwardFinder tagEnds(text);
    ForwardFinder hrefs(text);
    ByteFinder delimiters(text);
    std::size_t lastHref = npos;
    std::size_t taken = 0;

    for (std::size_t p = text.find("<a "); p != npos; p = text.find("<a ", p + 1)) {
        const std::size_t close = tagEnds.Next(">", p);
        // No '>' after this "<a " means none after any later one either.
        if (close == npos)
            return false;
        const std::size_t href = hrefs.Next("href=", p);
        if (href == npos || href > close || href == lastHref)
            continue;
        lastHref = href;
        const std::size_t open = href + 5;  // inside the tag: "href=" holds no '>'
        const std::size_t end = delimiters.Next(static_cast<unsigned char>(text[open]), open + 1);
        if (end == npos || end > close)
            continue;
        if (end > open + 1) {
            if (taken == maxLinks)
                return true;
            links.emplace_back(text.substr(open + 1, end - open - 1));
            ++taken;
        }
    }
    return false;
}

void CutAtLastSlash(std::string& base)
{
    if (const std::size_t slash = base.rfind('/'); slash != std::string::npos)
        base.erase(slash);
}

}  // namespace

void ExtractLinks(const char* bytes, std::size_t length, std::vector<std::string>& links)
{
    if (bytes == nullptr || length == 0)
        return;
    std::string page(bytes, length);
    ExtractLinksInPlace(page, links, SIZE_MAX);
}

bool ExtractLinksInPlace(std::string& page, std::vector<std::string>& links, std::size_t maxLinks)
{
    if (const std::size_t nul = page.find('\0'); nul != std::string::npos)
        page.resize(nul);
    LowerInPlace(page);
    return ScanLinks(page, links, maxLinks);
}

bool IsMp3Link(const std::string& text)
{
    if (text.size() < 4)
        return false;
    for (std::size_t i = 0; i + 4 <= text.size(); ++i) {
        if (text[i] == '.' && (text[i + 1] | 0x20) == 'm' && (text[i + 2] | 0x20) == 'p' && text[i + 3] == '3')
            return true;
    }
    return false;
}

std::string ResolveLink(const std::string& pageUrl, const std::string& link)
{
    platform::ParsedUrl parsed;
    if (platform::ParseUrl(link, parsed) && parsed.service == platform::AFX_INET_SERVICE_HTTP)
        return link;

    std::string base = pageUrl;
    std::string relative = link;
    if (const std::size_t dots = relative.find(".."); dots != std::string::npos) {
        relative.erase(dots, 2);
        CutAtLastSlash(base);
    } else if (!IsMp3Link(relative) && relative.find('.') != std::string::npos) {
        CutAtLastSlash(base);
    }
    return base + relative;
}
