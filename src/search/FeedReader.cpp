#include "search/FeedReader.h"

#include "download/FileNameFromUrl.h"
#include "search/LinkExtractor.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/SafeXml.h"
#include "settings/LanguagePack.h"

#include <libxml/tree.h>

namespace {

std::string ToLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool IsMp3Type(const std::string& type)
{
    const std::string t = ToLower(safexml::Trim(type.substr(0, type.find(';'))));
    return t == "audio/mpeg" || t == "audio/mp3" || t == "audio/mpeg3" || t == "audio/x-mpeg" ||
           t == "audio/x-mp3" || t == "audio/x-mpeg-3";
}

const xmlNode* FirstChild(const xmlNode* node, std::string_view name)
{
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (safexml::LocalName(child) == name)
            return child;
    }
    return nullptr;
}

// What an item tells about its enclosures besides their addresses.
struct ItemFacts {
    std::string title;
    double seconds = -1;
};

ItemFacts ReadItemFacts(const xmlNode* item)
{
    ItemFacts facts;
    for (const xmlNode* part = item->children; part != nullptr; part = part->next) {
        const std::string_view name = safexml::LocalName(part);
        if (name == "title" && facts.title.empty())
            facts.title = safexml::Text(part);
        else if (name == "duration" && facts.seconds < 0)
            facts.seconds = ParseFeedDuration(safexml::Text(part));
    }
    return facts;
}

void AddFile(FeedPage& page, const std::string& feedUrl, const std::string& href, const std::string& type,
             const ItemFacts& facts)
{
    const std::string url = ResolveLink(feedUrl, safexml::Trim(href));
    if (url.empty() || !IsMp3Enclosure(url, type))
        return;
    std::string name = FileNameFromUrl(url);
    // An MP3 served from an address without ".mp3" is saved as one.
    if (!IsMp3Link(name)) {
        if (name.empty())
            name = "episode";
        if (name.size() + 4 > kMaxFileNameBytes) {
            std::size_t cut = kMaxFileNameBytes - 4;
            while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
                --cut;
            name.resize(cut);
        }
        name += ".mp3";
    }
    page.files.push_back({url, name, facts.title, facts.seconds});
}

// <link rel="next" href="..."> (Atom, or atom:link inside an RSS channel).
void TakeNext(FeedPage& page, const std::string& feedUrl, const xmlNode* link)
{
    std::string rel;
    std::string href;
    if (!page.next.empty() || !safexml::Attribute(link, "rel", rel) || safexml::Trim(rel) != "next" ||
        !safexml::Attribute(link, "href", href))
        return;
    page.next = ResolveLink(feedUrl, safexml::Trim(href));
}

void ReadRss(FeedPage& page, const xmlNode* channel, const std::string& feedUrl)
{
    for (const xmlNode* child = channel->children; child != nullptr; child = child->next) {
        const std::string_view name = safexml::LocalName(child);
        if (name == "title" && page.title.empty() && child->ns == nullptr) {
            page.title = safexml::Text(child);
        } else if (name == "link" && child->ns != nullptr) {
            TakeNext(page, feedUrl, child);
        } else if (name == "item") {
            const ItemFacts facts = ReadItemFacts(child);
            for (const xmlNode* part = child->children; part != nullptr; part = part->next) {
                std::string url;
                std::string type;
                if (safexml::LocalName(part) != "enclosure" || !safexml::Attribute(part, "url", url))
                    continue;
                safexml::Attribute(part, "type", type);
                AddFile(page, feedUrl, url, type, facts);
            }
        }
    }
}

void ReadAtom(FeedPage& page, const xmlNode* feed, const std::string& feedUrl)
{
    for (const xmlNode* child = feed->children; child != nullptr; child = child->next) {
        const std::string_view name = safexml::LocalName(child);
        if (name == "title" && page.title.empty()) {
            page.title = safexml::Text(child);
        } else if (name == "link") {
            TakeNext(page, feedUrl, child);
        } else if (name == "entry") {
            const ItemFacts facts = ReadItemFacts(child);
            for (const xmlNode* part = child->children; part != nullptr; part = part->next) {
                std::string rel;
                std::string href;
                std::string type;
                if (safexml::LocalName(part) != "link" || !safexml::Attribute(part, "rel", rel) ||
                    safexml::Trim(rel) != "enclosure" || !safexml::Attribute(part, "href", href))
                    continue;
                safexml::Attribute(part, "type", type);
                AddFile(page, feedUrl, href, type, facts);
            }
        }
    }
}

}  // namespace

double ParseFeedDuration(std::string_view text)
{
    const std::string trimmed = safexml::Trim(text);
    if (trimmed.empty() || trimmed.size() > 16)
        return -1;
    double seconds = 0;
    double part = 0;
    int colons = 0;
    bool digits = false;
    for (const char c : trimmed) {
        if (c >= '0' && c <= '9') {
            part = part * 10 + (c - '0');
            digits = true;
        } else if (c == ':' && digits && ++colons <= 2) {
            seconds = (seconds + part) * 60;
            part = 0;
            digits = false;
        } else {
            return -1;
        }
    }
    return digits ? seconds + part : -1;
}

bool IsMp3Enclosure(const std::string& url, const std::string& type)
{
    return IsMp3Type(type) || IsMp3Link(url);
}

FeedPage ParseFeed(std::string_view bytes, const std::string& feedUrl)
{
    FeedPage page;
    safexml::Status status = safexml::Status::Ok;
    const safexml::DocPtr doc = safexml::Parse(bytes, kMaxFeedBytes, status);
    switch (status) {
    case safexml::Status::Ok: break;
    case safexml::Status::TooLarge: page.problem = FeedProblem::TooLarge; return page;
    case safexml::Status::NotXml: page.problem = FeedProblem::NotXml; return page;
    case safexml::Status::DeclaresEntities: page.problem = FeedProblem::DeclaresEntities; return page;
    case safexml::Status::TooManyAttributes: page.problem = FeedProblem::TooManyAttributes; return page;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const std::string_view rootName = safexml::LocalName(root);
    const xmlNode* channel = rootName == "rss" ? FirstChild(root, "channel") : nullptr;
    if (channel != nullptr) {
        ReadRss(page, channel, feedUrl);
    } else if (rootName == "feed") {
        page.atom = true;
        ReadAtom(page, root, feedUrl);
    } else {
        page.problem = FeedProblem::NotAFeed;
        return page;
    }
    page.ok = true;
    // A feed that names itself as its next page would be read for ever.
    if (page.next == feedUrl)
        page.next.clear();
    return page;
}

std::string FeedProblemText(FeedProblem problem, int status)
{
    switch (problem) {
    case FeedProblem::None: return {};
    case FeedProblem::NoAnswer: return LoadLanguageString(IDS_FEED_NO_ANSWER);
    case FeedProblem::HttpStatus: return AfxFormatString1(LoadLanguageString(IDS_FEED_HTTP_STATUS), std::to_string(status));
    case FeedProblem::TooLarge:
        return AfxFormatString1(LoadLanguageString(IDS_FEED_TOO_LARGE), std::to_string(kMaxFeedBytes / (1024 * 1024)));
    case FeedProblem::NotXml: return LoadLanguageString(IDS_ENGINE_NOT_XML);
    case FeedProblem::DeclaresEntities: return LoadLanguageString(IDS_ENGINE_ENTITIES);
    case FeedProblem::TooManyAttributes:
        return LoadLanguageString(IDS_XML_TOO_MANY_ATTRIBUTES);
    case FeedProblem::NotAFeed: return LoadLanguageString(IDS_FEED_NOT_A_FEED);
    }
    return {};
}
