#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Reads a result page as a browser's HTML parser reads it and keeps only what
// a search needs: the targets of its <a href> elements, in document order and
// duplicates included, and the first <base href>. Tag and attribute names
// match in any case, values may be quoted or not, character references are
// decoded; the targets keep their case. No document tree is built and the
// page streams through in pieces, so memory stays within about the page's
// own size whatever the page holds.
//
// The page ends at its first NUL byte.
class LinkExtractor final {
public:
    // At most `maxLinks` targets are kept, the first in document order.
    explicit LinkExtractor(std::size_t maxLinks = SIZE_MAX);
    ~LinkExtractor();
    LinkExtractor(const LinkExtractor&) = delete;
    LinkExtractor& operator=(const LinkExtractor&) = delete;

    // The next piece of the page; pieces may split anything, a tag included.
    void Feed(const char* bytes, std::size_t length);
    // The end of the page. A tag still open here is dropped.
    void Finish();

    // Non-empty href values of <a> elements (not <area>), as written.
    const std::vector<std::string>& Targets() const { return m_targets; }
    std::vector<std::string> TakeTargets() { return std::move(m_targets); }
    // The href of the first <base> element that has one; empty when none.
    const std::string& BaseHref() const { return m_baseHref; }
    // True when the page held more targets than `maxLinks`.
    bool Capped() const { return m_capped; }

    struct Parser;

private:
    bool StartParser(bool final);
    void Pump(bool final);
    void OnStartElement(const char* name, const char* const* attributes);

    std::unique_ptr<Parser> m_parser;
    std::string m_pending;       // bytes not yet handed to the parser
    std::size_t m_fresh = 0;     // of them, those before this were held back
    std::size_t m_maxLinks;
    std::vector<std::string> m_targets;
    std::string m_baseHref;
    bool m_haveBase = false;
    bool m_capped = false;
    bool m_ended = false;
};

// The targets of a whole page in one call, appended to `links`; nothing
// happens for a missing buffer or a length of 0.
void ExtractLinks(const char* bytes, std::size_t length, std::vector<std::string>& links);

// True when the text contains ".mp3" in any case, anywhere.
bool IsMp3Link(const std::string& text);

// The absolute URL `link` stands for on the page at `baseUrl` (the page's
// URL, or its <base>; see DocumentBase): http and https links as they are,
// "//host/x" with the page's scheme, "/x" from the host's root, "../x" one
// folder up from the page's folder, the fragment dropped, blanks and
// non-ASCII bytes percent-encoded. Empty for a link that is never fetched:
// another scheme (mailto:, javascript:, ftp:) or no usable URL.
std::string ResolveLink(const std::string& baseUrl, const std::string& link);

// The URL a page's links resolve against: its <base href> made absolute
// against `pageUrl` when that gives an http or https URL, otherwise `pageUrl`.
std::string DocumentBase(const std::string& pageUrl, const std::string& baseHref);

// The page's targets resolved against `baseUrl`; those never fetched are left
// out, the order and the duplicates of the others kept.
std::vector<std::string> ResolveLinks(const std::string& baseUrl, const std::vector<std::string>& targets);
