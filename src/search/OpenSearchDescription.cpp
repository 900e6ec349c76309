#include "search/OpenSearchDescription.h"

#include "platform/Url.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/SafeXml.h"
#include "search/SearchQuery.h"
#include "settings/LanguagePack.h"

#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr std::size_t kMaxNameBytes = 64;

std::string ToLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// A template parameter: "{name}" or "{name?}", the name possibly with a
// namespace prefix ("{geo:box?}"), which marks it as not ours.
struct Parameter {
    std::size_t begin = 0;  // at '{'
    std::size_t end = 0;    // after '}'
    std::string name;
    bool optional = false;
};

// The parameters of a template in order; a '{' without its '}' is plain text.
template <typename Fn>
void ForEachParameter(std::string_view templ, Fn&& fn)
{
    std::size_t pos = 0;
    while ((pos = templ.find('{', pos)) != std::string_view::npos) {
        const std::size_t close = templ.find('}', pos + 1);
        if (close == std::string_view::npos)
            return;
        Parameter p;
        p.begin = pos;
        p.end = close + 1;
        std::string_view inner = templ.substr(pos + 1, close - pos - 1);
        if (!inner.empty() && inner.back() == '?') {
            p.optional = true;
            inner.remove_suffix(1);
        }
        p.name = std::string(inner);
        fn(p);
        pos = close + 1;
    }
}

bool IsKnown(const std::string& name)
{
    static constexpr std::array<std::string_view, 7> kKnown = {
        "searchTerms", "startPage", "startIndex", "count", "inputEncoding", "outputEncoding", "language"};
    return std::find(kKnown.begin(), kKnown.end(), name) != kKnown.end();
}

bool HasParameter(std::string_view templ, std::string_view name)
{
    bool found = false;
    ForEachParameter(templ, [&](const Parameter& p) { found = found || p.name == name; });
    return found;
}

int ParseOffset(const xmlNode* url, const char* name, int fallback)
{
    std::string text;
    if (!safexml::Attribute(url, name, text))
        return fallback;
    text = safexml::Trim(text);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 1000000)
        return fallback;
    return value;
}

bool IsFeedType(const std::string& type)
{
    return type == "application/rss+xml" || type == "application/atom+xml";
}

// The part of a <Param>'s name or value that is no template parameter:
// percent-encoded as a form's field would be.
void AppendEncodedQueryText(std::string& out, std::string_view text)
{
    out += EncodeKeyword(std::string(text));
}

// `text` percent-encoded with its template parameters kept, so that they are
// filled like those of the template itself.
void AppendParamText(std::string& out, std::string_view text)
{
    std::size_t last = 0;
    ForEachParameter(text, [&](const Parameter& p) {
        AppendEncodedQueryText(out, text.substr(last, p.begin - last));
        out.append(text.substr(p.begin, p.end - p.begin));
        last = p.end;
    });
    AppendEncodedQueryText(out, text.substr(std::min(last, text.size())));
}

// The template with the Url's <Param name value> children appended to its
// query, in order, as a browser sends a GET form's fields.
std::string WithParams(std::string templ, const xmlNode* url)
{
    std::string query;
    for (const xmlNode* child = url->children; child != nullptr; child = child->next) {
        const std::string_view name = safexml::LocalName(child);
        std::string key;
        std::string value;
        if ((name != "Param" && name != "Parameter") || !safexml::Attribute(child, "name", key) ||
            !safexml::Attribute(child, "value", value) || key.empty())
            continue;
        if (!query.empty())
            query += '&';
        AppendParamText(query, key);
        query += '=';
        AppendParamText(query, value);
    }
    if (query.empty())
        return templ;
    const std::size_t fragment = std::min(templ.find('#'), templ.size());
    std::string head = templ.substr(0, fragment);
    if (head.find('?') == std::string::npos)
        head += '?';
    else if (head.back() != '?' && head.back() != '&')
        head += '&';
    return head + query + templ.substr(fragment);
}

bool IsGet(const xmlNode* url)
{
    std::string method;
    return !safexml::Attribute(url, "method", method) || ToLower(safexml::Trim(method)) == "get";
}

std::string HomePageOf(const std::string& templ)
{
    platform::ParsedUrl parsed;
    if (!platform::ParseUrl(templ, parsed) || !platform::IsHttpService(parsed.service))
        return {};
    std::string host = parsed.server;
    if (host.find(':') != std::string::npos && host.front() != '[')
        host = "[" + host + "]";
    const bool https = parsed.service == platform::AFX_INET_SERVICE_HTTPS;
    const bool defaultPort = parsed.port == (https ? 443 : 80);
    return std::string(https ? "https://" : "http://") + host + (defaultPort ? "" : ":" + std::to_string(parsed.port)) +
           "/";
}

}  // namespace

bool UserEngine::PagesByTemplate() const
{
    return HasParameter(templ, "startPage") || HasParameter(templ, "startIndex");
}

std::optional<std::string> UnknownRequiredParameter(std::string_view templ)
{
    std::optional<std::string> unknown;
    ForEachParameter(templ, [&](const Parameter& p) {
        if (!unknown && !p.optional && !IsKnown(p.name))
            unknown = p.name;  // may be empty: "{}" is a parameter no one can fill
    });
    return unknown;
}

std::optional<std::string> ExpandTemplate(const UserEngine& engine, const std::string& terms, int page)
{
    std::string out;
    std::size_t last = 0;
    bool usable = true;
    const std::string_view templ = engine.templ;
    ForEachParameter(templ, [&](const Parameter& p) {
        out.append(templ.substr(last, p.begin - last));
        last = p.end;
        if (p.name == "searchTerms")
            out += terms;
        else if (p.name == "startPage")
            out += std::to_string(static_cast<long long>(engine.pageOffset) + page);
        else if (p.name == "startIndex")
            out += std::to_string(static_cast<long long>(engine.indexOffset) +
                                  static_cast<long long>(page) * engine.count);
        else if (p.name == "count")
            out += std::to_string(engine.count);
        else if (p.name == "inputEncoding" || p.name == "outputEncoding")
            out += "UTF-8";
        else if (p.name == "language")
            out += "*";
        else if (!p.optional)
            usable = false;
    });
    out.append(templ.substr(std::min(last, templ.size())));
    if (!usable)
        return std::nullopt;
    return out;
}

std::string SearchTermsOf(const std::string& artist, const std::string& song)
{
    std::string joined = safexml::Trim(artist);
    const std::string second = safexml::Trim(song);
    if (!joined.empty() && !second.empty())
        joined += ' ';
    joined += second;
    return EncodeKeyword(joined);
}

DescriptionResult ParseOpenSearchDescription(std::string_view bytes)
{
    DescriptionResult result;
    safexml::Status status = safexml::Status::Ok;
    const safexml::DocPtr doc = safexml::Parse(bytes, kMaxDescriptionBytes, status);
    switch (status) {
    case safexml::Status::Ok: break;
    case safexml::Status::TooLarge: result.problem = EngineProblem::TooLarge; return result;
    case safexml::Status::NotXml: result.problem = EngineProblem::NotXml; return result;
    case safexml::Status::DeclaresEntities: result.problem = EngineProblem::DeclaresEntities; return result;
    case safexml::Status::TooManyAttributes: result.problem = EngineProblem::TooManyAttributes; return result;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (safexml::LocalName(root) != "OpenSearchDescription") {
        result.problem = EngineProblem::NotOpenSearch;
        return result;
    }

    UserEngine engine;
    const xmlNode* html = nullptr;
    const xmlNode* feed = nullptr;
    EngineProblem refused = EngineProblem::None;
    for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
        const std::string_view name = safexml::LocalName(child);
        if (name == "ShortName" && engine.shortName.empty()) {
            engine.shortName = safexml::Text(child);
        } else if (name == "Query") {
            std::string role;
            if (safexml::Attribute(child, "role", role) && safexml::Trim(role) == "request")
                engine.count = std::clamp(ParseOffset(child, "count", kDefaultResultCount), 1, 1000);
        } else if (name == "Url") {
            std::string type;
            std::string rel = "results";
            std::string templ;
            safexml::Attribute(child, "type", type);
            safexml::Attribute(child, "rel", rel);
            if (!safexml::Attribute(child, "template", templ))
                continue;
            // Only result lists are searched; "suggestions", "self" and the
            // like describe something else. A Url may name several rels.
            const std::string rels = " " + ToLower(rel) + " ";
            if (safexml::Trim(rel).size() > 0 && rels.find(" results ") == std::string::npos)
                continue;
            platform::ParsedUrl parsed;
            if (!platform::ParseUrl(safexml::Trim(templ), parsed) || !platform::IsHttpService(parsed.service))
                continue;
            type = ToLower(safexml::Trim(type.substr(0, type.find(';'))));
            const bool isHtml = type == "text/html";
            if (!isHtml && !IsFeedType(type))
                continue;
            // A Url Tunorva cannot use is passed over for the next one; when
            // none is left, the first reason is the description's.
            if (!IsGet(child)) {
                if (refused == EngineProblem::None)
                    refused = EngineProblem::PostOnly;
                continue;
            }
            // Result pages are searched for the keywords; a feed of its own
            // (a podcast) is read whole without them.
            if (isHtml && !HasParameter(WithParams(safexml::Trim(templ), child), "searchTerms")) {
                if (refused == EngineProblem::None)
                    refused = EngineProblem::NoSearchTerms;
                continue;
            }
            if (isHtml && html == nullptr)
                html = child;
            else if (!isHtml && feed == nullptr)
                feed = child;
        }
    }
    // A name longer than a row can show is cut at a UTF-8 boundary.
    if (engine.shortName.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(engine.shortName[cut]) & 0xC0) == 0x80)
            --cut;
        engine.shortName.resize(cut);
    }
    if (engine.shortName.empty()) {
        result.problem = EngineProblem::NoName;
        return result;
    }
    const xmlNode* url = html != nullptr ? html : feed;
    if (url == nullptr) {
        result.problem = refused != EngineProblem::None ? refused : EngineProblem::NoUsableUrl;
        return result;
    }
    engine.kind = html != nullptr ? UserEngine::Kind::Html : UserEngine::Kind::Feed;
    safexml::Attribute(url, "template", engine.templ);
    engine.templ = WithParams(safexml::Trim(engine.templ), url);
    engine.indexOffset = ParseOffset(url, "indexOffset", 1);
    engine.pageOffset = ParseOffset(url, "pageOffset", 1);
    engine.homePage = HomePageOf(engine.templ);
    if (std::optional<std::string> unknown = UnknownRequiredParameter(engine.templ)) {
        result.problem = EngineProblem::UnknownParameter;
        result.detail = std::move(*unknown);
        return result;
    }
    result.engine = std::move(engine);
    return result;
}

std::string EngineProblemText(EngineProblem problem, const std::string& detail)
{
    switch (problem) {
    case EngineProblem::None: return {};
    case EngineProblem::TooLarge: return LoadLanguageString(IDS_ENGINE_TOO_LARGE);
    case EngineProblem::NotXml: return LoadLanguageString(IDS_ENGINE_NOT_XML);
    case EngineProblem::DeclaresEntities: return LoadLanguageString(IDS_ENGINE_ENTITIES);
    case EngineProblem::NotOpenSearch: return LoadLanguageString(IDS_ENGINE_NOT_OPENSEARCH);
    case EngineProblem::NoName: return LoadLanguageString(IDS_ENGINE_NO_NAME);
    case EngineProblem::NoUsableUrl: return LoadLanguageString(IDS_ENGINE_NO_URL);
    case EngineProblem::UnknownParameter: return AfxFormatString1(LoadLanguageString(IDS_ENGINE_UNKNOWN_PARAM), detail);
    case EngineProblem::PostOnly: return LoadLanguageString(IDS_ENGINE_POST_ONLY);
    case EngineProblem::NoSearchTerms: return LoadLanguageString(IDS_ENGINE_NO_SEARCH_TERMS);
    case EngineProblem::TooManyAttributes:
        return LoadLanguageString(IDS_XML_TOO_MANY_ATTRIBUTES);
    }
    return {};
}

std::string XmlEscape(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        // The numeric form reads the same in XML and in HTML pages.
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string MakeFeedDescription(const std::string& title, const std::string& feedUrl, bool atom)
{
    // Braces in the feed's own address would read as template parameters.
    std::string templ;
    for (const char c : feedUrl) {
        if (c == '{')
            templ += "%7B";
        else if (c == '}')
            templ += "%7D";
        else
            templ += c;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
           "  <ShortName>" + XmlEscape(title) + "</ShortName>\n"
           "  <Description>A podcast feed</Description>\n"
           "  <Url type=\"" + std::string(atom ? "application/atom+xml" : "application/rss+xml") +
           "\" template=\"" + XmlEscape(templ) + "\"/>\n"
           "</OpenSearchDescription>\n";
}
