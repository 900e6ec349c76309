#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

class CHTTPCon;
namespace platform {
class HttpConnections;
}

// One result page: fetched over HTTP or HTTPS, its body spooled through a file in the
// program's Temp folder and scanned for links. One document per page, used
// on the page worker that created it.
class CHtmlDocument final {
public:
    // A body is read up to this many bytes (decoded) and no further, and the
    // window is told when a page was longer. A result page is a few hundred
    // kilobytes; the cap keeps a server that sends without end (or a small
    // compressed answer that decodes without end) from filling the disk and
    // the memory of the page worker.
    static constexpr std::size_t kMaxBodyBytes = 32u * 1024u * 1024u;
    // Bytes asked for per read; each block read is one progress step.
    static constexpr std::size_t kBlockSize = 1024;
    // Bytes of the Temp file handed to the parser at a time.
    static constexpr std::size_t kParsePiece = 64 * 1024;

    // With `connections` the page is fetched over a connection kept there,
    // when one to its server is open, and leaves its own there.
    explicit CHtmlDocument(std::stop_token stopToken = {}, platform::HttpConnections* connections = nullptr);
    ~CHtmlDocument();
    CHtmlDocument(const CHtmlDocument&) = delete;
    CHtmlDocument& operator=(const CHtmlDocument&) = delete;

    bool Fetch(const std::string& url);

    // Reads and scans the page when it was fetched (once), then gives its
    // links in document order, made absolute against the URL the page came
    // from (or its <base>); links that are never fetched (mailto: and the
    // like) are left out. A body that breaks off midway, or a Temp file
    // that cannot be written to the end, yields the links of the bytes that
    // reached the file; the Temp file is deleted in every case.
    // At most `maxLinks` links are taken, the first in document order.
    const std::vector<std::string>& GetLinks(std::size_t maxLinks = SIZE_MAX);
    // True when the page held more links than GetLinks took.
    bool LinksCapped() const { return m_bCapped; }
    // The HTTP status the page came with; 0 when nothing was fetched.
    int StatusCode() const;
    // The URL the page came from: the one fetched, or a redirect's target.
    const std::string& PageUrl() const { return m_strPageUrl; }
    int GetLinkCount() const { return static_cast<int>(m_arrLinks.size()); }
    const std::string& GetAt(int index) const { return m_arrLinks.at(static_cast<std::size_t>(index)); }

private:
    void ReadAndParse(std::size_t maxLinks);

    std::stop_token m_stopToken;
    std::unique_ptr<CHTTPCon> m_pHttpCon;
    int m_nFetched = 0;
    bool m_bParsed = false;
    bool m_bCapped = false;
    std::string m_strPageUrl;
    std::vector<std::string> m_arrLinks;
};
