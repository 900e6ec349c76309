#include "search/HtmlDocument.h"

#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/MessageChannel.h"
#include "resources/Resource.h"
#include "search/HTTPCon.h"
#include "search/LinkExtractor.h"
#include "settings/LanguagePack.h"
#include "search/SearchMessages.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>

namespace {

std::string RandomPrefix()
{
    thread_local std::minstd_rand generator{std::random_device{}()};
    return std::to_string(generator());
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

CHtmlDocument::CHtmlDocument(std::stop_token stopToken, platform::HttpConnections* connections)
    : m_stopToken(std::move(stopToken))
{
    try {
        m_pHttpCon = std::make_unique<CHTTPCon>(m_stopToken, connections);
    } catch (const std::bad_alloc&) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_HTTP_CONNECTION), platform::MB_OK, m_stopToken);
    }
}

CHtmlDocument::~CHtmlDocument() = default;

bool CHtmlDocument::Fetch(const std::string& url)
{
    if (!m_pHttpCon || !m_pHttpCon->OpenPage(url))
        return false;
    m_nFetched = 1;
    m_strPageUrl = m_pHttpCon->PageUrl();
    return true;
}

int CHtmlDocument::StatusCode() const
{
    return m_nFetched == 1 && m_pHttpCon ? m_pHttpCon->StatusCode() : 0;
}

const std::vector<std::string>& CHtmlDocument::GetLinks(std::size_t maxLinks)
{
    if (m_nFetched == 1 && !m_bParsed) {
        m_bParsed = true;
        ReadAndParse(maxLinks);
    }
    return m_arrLinks;
}

void CHtmlDocument::ReadAndParse(std::size_t maxLinks)
{
    const auto path = platform::CreateTempFile(platform::GetAppFolders().tempDir, RandomPrefix());
    // The file was just made, empty, for this page alone. Opened without
    // truncating it: a truncated file is flushed to the disk when it is
    // closed (the file system guards replaced files so), and a page's file
    // is deleted as soon as it is read.
    FilePtr out(path ? std::fopen(path->c_str(), "r+b") : nullptr);
    if (!out) {
        if (path)
            platform::DeleteFile(*path);
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_TEMP_FILE), platform::MB_OK, m_stopToken);
        return;
    }

    char block[kBlockSize];
    std::size_t total = 0;
    while (total < kMaxBodyBytes) {
        const std::size_t want = std::min(kBlockSize, kMaxBodyBytes - total);
        const std::size_t n = m_pHttpCon->ReadBody(block, want);
        if (n == 0)
            break;
        // Nothing comes back from a step: the page reads on while the
        // window moves the bar (in order with the page's later messages).
        platform::Post(FetchStep{}, m_stopToken);
        const std::size_t written = std::fwrite(block, 1, n, out.get());
        total += written;
        if (written != n)
            break;  // a full disk: keep what is in the file
    }
    std::fflush(out.get());
    out.reset();
    // One byte more says whether the cap cut the page (a page exactly as long
    // as the cap is whole); the window says so, since links may be missing.
    char extra = 0;
    if (total == kMaxBodyBytes && m_pHttpCon->ReadBody(&extra, 1) > 0)
        platform::Send(PageBodyCapped{m_strPageUrl}, m_stopToken);

    // The page streams from the file through the parser in pieces, so it is
    // never held whole in memory.
    if (total == 0) {
        platform::DeleteFile(*path);
        return;
    }
    FilePtr in(std::fopen(path->c_str(), "rb"));
    if (!in) {
        platform::AfxMessageBox(LoadLanguageString(IDS_CANNOT_READ_TEMP) + *path, platform::MB_OK, m_stopToken);
        platform::DeleteFile(*path);
        return;
    }
    LinkExtractor extractor(maxLinks);
    std::vector<char> piece(kParsePiece);
    for (;;) {
        const std::size_t n = std::fread(piece.data(), 1, piece.size(), in.get());
        if (n == 0)
            break;
        extractor.Feed(piece.data(), n);
    }
    extractor.Finish();
    in.reset();
    platform::DeleteFile(*path);
    m_bCapped = extractor.Capped();
    m_arrLinks = ResolveLinks(DocumentBase(m_strPageUrl, extractor.BaseHref()), extractor.Targets());
}
