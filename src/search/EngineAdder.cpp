#include "search/EngineAdder.h"

#include "platform/Files.h"
#include "platform/Url.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/FeedReader.h"
#include "search/FetchBody.h"
#include "search/LinkExtractor.h"
#include "search/OpenSearchDescription.h"
#include "search/UserEngineFolder.h"
#include "settings/LanguagePack.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <filesystem>

namespace {

constexpr std::size_t kMaxSitePageBytes = 2 * 1024 * 1024;

std::string ToLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Attr(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string out = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return out;
}

bool HasToken(const std::string& list, const std::string& token)
{
    std::string padded = " " + ToLower(list) + " ";
    for (char& c : padded) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return padded.find(" " + token + " ") != std::string::npos;
}

const xmlNode* FindLink(const xmlNode* node, std::string& base)
{
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE && node->name != nullptr) {
            const std::string name = reinterpret_cast<const char*>(node->name);
            if (name == "base" && base.empty())
                base = Attr(node, "href");
            if (name == "link" && HasToken(Attr(node, "rel"), "search") &&
                ToLower(Attr(node, "type")) == "application/opensearchdescription+xml" && !Attr(node, "href").empty())
                return node;
        }
        if (const xmlNode* found = FindLink(node->children, base))
            return found;
    }
    return nullptr;
}

AddEngineResult Failure(const std::string& reason)
{
    AddEngineResult result;
    result.error = AfxFormatString1(LoadLanguageString(IDS_ENGINE_NOT_ADDED), reason);
    return result;
}

AddEngineResult NotRead(const std::string& what)
{
    return Failure(AfxFormatString1(LoadLanguageString(IDS_ENGINE_NOT_READ), what));
}

bool IsWebAddress(const std::string& source)
{
    platform::ParsedUrl parsed;
    return platform::ParseUrl(source, parsed) && platform::IsHttpService(parsed.service);
}

AddEngineResult Save(const std::string& description, const std::string& dir, bool replace)
{
    const DescriptionResult parsed = ParseOpenSearchDescription(description);
    if (!parsed.engine)
        return Failure(EngineProblemText(parsed.problem, parsed.detail));
    const std::string fileName = SafeEngineFileName(parsed.engine->shortName);
    if (fileName.empty())
        return Failure(EngineProblemText(EngineProblem::NoName));
    std::string folder = dir;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    AddEngineResult result;
    result.name = parsed.engine->shortName;
    result.file = folder + fileName;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!replace && std::filesystem::exists(result.file, ec)) {
        result.status = AddEngineResult::Status::Exists;
        return result;
    }
    if (!platform::WriteFileAtomically(result.file, description))
        return Failure(AfxFormatString1(LoadLanguageString(IDS_ENGINE_NOT_SAVED), folder));
    result.status = AddEngineResult::Status::Added;
    return result;
}

std::string FeedTitle(const FeedPage& feed, const std::string& url)
{
    if (!feed.title.empty())
        return feed.title;
    platform::ParsedUrl parsed;
    return platform::ParseUrl(url, parsed) ? parsed.server : url;
}

}  // namespace

std::string FindSearchDescriptionLink(std::string_view html, const std::string& pageUrl)
{
    if (html.empty() || html.size() > kMaxSitePageBytes)
        return {};
    htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, nullptr,
                                    HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                        HTML_PARSE_NOWARNING);
    if (doc == nullptr)
        return {};
    std::string base;
    const xmlNode* link = FindLink(xmlDocGetRootElement(doc), base);
    std::string href = link != nullptr ? Attr(link, "href") : std::string();
    xmlFreeDoc(doc);
    if (href.empty())
        return {};
    return ResolveLink(DocumentBase(pageUrl, base), href);
}

AddEngineResult AddEngine(const std::string& source, const std::string& enginesDir, bool replace,
                          std::stop_token stopToken)
{
    if (!IsWebAddress(source)) {
        platform::SmallFileState state = platform::SmallFileState::Read;
        const auto bytes = platform::ReadSmallRegularFile(source, kMaxDescriptionBytes, &state);
        if (!bytes) {
            if (state == platform::SmallFileState::TooLarge)
                return Failure(EngineProblemText(EngineProblem::TooLarge));
            return NotRead(source);
        }
        return Save(*bytes, enginesDir, replace);
    }

    // An address: a description, a feed, or a page that announces a description.
    const FetchedBody page = FetchBody(source, kMaxFeedBytes, stopToken);
    if (!page.fetched || page.status != 200)
        return NotRead(source);
    if (page.body.size() <= kMaxDescriptionBytes && ParseOpenSearchDescription(page.body).engine)
        return Save(page.body, enginesDir, replace);
    if (const FeedPage feed = ParseFeed(page.body, page.pageUrl); feed.ok)
        return Save(MakeFeedDescription(FeedTitle(feed, source), page.pageUrl, feed.atom), enginesDir, replace);
    // A description that is there but cannot be used says why.
    if (const DescriptionResult broken = ParseOpenSearchDescription(page.body);
        broken.problem != EngineProblem::NotXml && broken.problem != EngineProblem::NotOpenSearch)
        return Failure(EngineProblemText(broken.problem, broken.detail));

    const std::string descriptionUrl = FindSearchDescriptionLink(page.body, page.pageUrl);
    if (descriptionUrl.empty())
        return Failure(LoadLanguageString(IDS_ENGINE_NO_SEARCH_LINK));
    const FetchedBody description = FetchBody(descriptionUrl, kMaxDescriptionBytes, stopToken);
    if (!description.fetched || description.status != 200)
        return NotRead(descriptionUrl);
    if (description.capped)
        return Failure(EngineProblemText(EngineProblem::TooLarge));
    return Save(description.body, enginesDir, replace);
}
