#include "search/LinkExtractor.h"

#include "platform/Url.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <mutex>

namespace {

// libxml2 sets up its global tables once; page workers parse at the same time.
void InitParserOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

}  // namespace

struct LinkExtractor::Parser {
    htmlParserCtxtPtr context = nullptr;

    ~Parser()
    {
        if (context != nullptr)
            htmlFreeParserCtxt(context);
    }

    static void OnStartElement(void* user, const xmlChar* name, const xmlChar** attributes)
    {
        static_cast<LinkExtractor*>(user)->OnStartElement(reinterpret_cast<const char*>(name),
                                                          reinterpret_cast<const char* const*>(attributes));
    }
};

LinkExtractor::LinkExtractor(std::size_t maxLinks) : m_parser(std::make_unique<Parser>()), m_maxLinks(maxLinks)
{
    InitParserOnce();
}

LinkExtractor::~LinkExtractor() = default;

namespace {

constexpr std::string_view kRootEnd = "</html";
// Longer than any tag of a real page, short enough for libxml2's attribute
// checks to stay fast.
constexpr std::size_t kMaxTagBytes = 16 * 1024;
// Bytes held back before the parser is set up, waiting for the first byte
// that tells UTF-8 from a single-byte page.
constexpr std::size_t kSniffBytes = 64 * 1024;

bool IsUtf8Sequence(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4)
        return false;
    for (std::size_t k = 1; k < length; ++k) {
        if (i + k >= text.size())
            return true;  // cut by the piece's end: judged by what there is
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return false;
    }
    return true;
}

bool IsRootEndPrefix(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != kRootEnd[i])
            return false;
    }
    return true;
}

}  // namespace

// Sets the parser up once the page's first non-ASCII byte is known. A page
// that names no character set is read as UTF-8 when that byte starts a UTF-8
// sequence and as ISO-8859-1 otherwise (libxml2's own fall-back from UTF-8
// garbles the byte it falls back on); a <meta charset> overrides both.
bool LinkExtractor::StartParser(bool final)
{
    if (m_parser->context != nullptr)
        return true;
    const auto high = std::find_if(m_pending.begin(), m_pending.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const std::size_t at = static_cast<std::size_t>(high - m_pending.begin());
    xmlCharEncoding encoding = XML_CHAR_ENCODING_UTF8;
    if (high != m_pending.end()) {
        if (at + 4 > m_pending.size() && !final)
            return false;
        if (!IsUtf8Sequence(m_pending, at))
            encoding = XML_CHAR_ENCODING_NONE;
    } else if (m_pending.size() < kSniffBytes && !final) {
        return false;
    }
    // Only start tags are wanted: with no other handler libxml2 builds
    // nothing, and with no error handler it reports nothing.
    htmlSAXHandler sax{};
    sax.startElement = &Parser::OnStartElement;
    m_parser->context = htmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr, encoding);
    if (m_parser->context == nullptr) {
        m_ended = true;
        return false;
    }
    htmlCtxtUseOptions(m_parser->context,
                       HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    return true;
}

// Hands the pending bytes to the parser, up to the last '>': what follows,
// from the first '<' after it on, may be a tag still arriving and is held
// back. At the page's end a held start tag is dropped, as a browser drops a
// tag cut off by the end of the page (a body that broke off, the size cap),
// instead of being read with half a target.
//
// libxml2 ignores everything after a "</html>", where browsers read on
// (pages often carry more after it), so that end tag is turned into text
// before the parser sees it.
void LinkExtractor::Pump(bool final)
{
    if (m_ended || !StartParser(final))
        return;
    const std::string_view pending = m_pending;
    std::size_t send = pending.size();
    if (const std::size_t gt = pending.substr(m_fresh).rfind('>'); gt != std::string_view::npos) {
        send = std::min(pending.size(), pending.find('<', m_fresh + gt + 1));
    } else {
        // Nothing closes here: a held tag stays held, or one starts holding.
        send = m_fresh > 0 ? 0 : std::min(pending.size(), pending.find('<'));
    }
    if (final) {
        const std::string_view held = pending.substr(send);
        const bool startTag = held.size() >= 2 && std::isalpha(static_cast<unsigned char>(held[1]));
        if (!startTag)
            send = pending.size();
    } else if (pending.size() - send > kMaxTagBytes) {
        send = pending.size();  // no tag is that long: it goes as text (below)
    }
    // libxml2 compares each attribute of a tag with all before it, so a tag
    // of many thousand attributes would take seconds; a '<' whose tag runs
    // longer than any real one is turned into text.
    std::size_t nextGt = pending.find('>');
    for (std::size_t p = pending.find('<'); p < send; p = pending.find('<', p + 1)) {
        if (nextGt != std::string_view::npos && nextGt < p)
            nextGt = pending.find('>', p);
        if (nextGt == std::string_view::npos || nextGt - p > kMaxTagBytes) {
            m_pending[p] = ' ';
            continue;
        }
        if (p + kRootEnd.size() <= send && IsRootEndPrefix(pending.substr(p, kRootEnd.size())))
            m_pending[p + 1] = ' ';
    }
    if (send > 0 && !m_capped)
        htmlParseChunk(m_parser->context, m_pending.data(), static_cast<int>(send), 0);
    m_pending.erase(0, final ? m_pending.size() : send);
    m_fresh = m_pending.size();
    if (final && !m_capped)
        htmlParseChunk(m_parser->context, nullptr, 0, 1);
}

void LinkExtractor::Feed(const char* bytes, std::size_t length)
{
    if (m_ended || bytes == nullptr || length == 0)
        return;
    const void* nul = std::memchr(bytes, '\0', length);
    if (nul != nullptr)
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
    // In pieces, so that a whole page handed over at once is never copied whole.
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t offset = 0; offset < length && !m_capped && !m_ended; offset += kPiece) {
        m_pending.append(bytes + offset, std::min(kPiece, length - offset));
        Pump(false);
    }
    if (nul != nullptr)
        Finish();
}

void LinkExtractor::Finish()
{
    if (m_ended)
        return;
    Pump(true);
    m_ended = true;
}

void LinkExtractor::OnStartElement(const char* name, const char* const* attributes)
{
    if (attributes == nullptr || m_capped)
        return;
    // Element and attribute names come lower-cased; a repeated attribute is
    // dropped by the parser, so the first href of a tag is the one seen.
    const bool anchor = std::strcmp(name, "a") == 0;
    if (!anchor && (std::strcmp(name, "base") != 0 || m_haveBase))
        return;
    for (const char* const* attribute = attributes; attribute[0] != nullptr; attribute += 2) {
        if (std::strcmp(attribute[0], "href") != 0 || attribute[1] == nullptr)
            continue;
        if (!anchor) {
            m_haveBase = true;
            m_baseHref = attribute[1];
            return;
        }
        if (attribute[1][0] == '\0')
            return;
        if (m_targets.size() == m_maxLinks) {
            m_capped = true;
            xmlStopParser(m_parser->context);
            return;
        }
        m_targets.emplace_back(attribute[1]);
        return;
    }
}

void ExtractLinks(const char* bytes, std::size_t length, std::vector<std::string>& links)
{
    if (bytes == nullptr || length == 0)
        return;
    LinkExtractor extractor;
    extractor.Feed(bytes, length);
    extractor.Finish();
    for (std::string& target : extractor.TakeTargets())
        links.push_back(std::move(target));
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

std::string ResolveLink(const std::string& baseUrl, const std::string& link)
{
    std::string resolved;
    if (platform::ResolveUrl(baseUrl, link, resolved) != platform::UrlResolution::Resolved)
        return {};
    return resolved;
}

std::string DocumentBase(const std::string& pageUrl, const std::string& baseHref)
{
    if (baseHref.empty())
        return pageUrl;
    std::string base = ResolveLink(pageUrl, baseHref);
    return base.empty() ? pageUrl : base;
}

std::vector<std::string> ResolveLinks(const std::string& baseUrl, const std::vector<std::string>& targets)
{
    std::vector<std::string> links;
    links.reserve(targets.size());
    for (const std::string& target : targets) {
        std::string resolved = ResolveLink(baseUrl, target);
        if (!resolved.empty())
            links.push_back(std::move(resolved));
    }
    return links;
}
