#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A search engine the user added: an OpenSearch 1.1 description document.
// Only what a search needs is kept: the name and one URL template, the first
// of a kind Tunorva can walk (result pages before feeds).
struct UserEngine {
    enum class Kind { Html, Feed };

    std::string shortName;
    Kind kind = Kind::Html;
    std::string templ;       // the Url's template (entities decoded), its <Param>s appended to the query
    int indexOffset = 1;     // the first {startIndex}
    int pageOffset = 1;      // the first {startPage}
    int count = 20;          // results a page is asked for ({count})
    std::string homePage;    // "scheme://host[:port]/" of the template
    std::string fileName;    // the description's file in the engines folder, when read from there

    // True when the template pages by itself ({startPage} or {startIndex}).
    bool PagesByTemplate() const;
};

// Why a description cannot be used; each has a text of its own.
enum class EngineProblem {
    None,
    TooLarge,         // over kMaxDescriptionBytes
    NotXml,           // not a well-formed XML document
    DeclaresEntities, // an entity declaration: refused, never expanded
    NotOpenSearch,    // the root is no <OpenSearchDescription>
    NoName,           // no ShortName, or one that makes no file name
    NoUsableUrl,      // no Url of type text/html, RSS or Atom with an http(s) template
    UnknownParameter, // the template needs a parameter Tunorva cannot fill
    PostOnly,         // the only result pages are asked for with POST; Tunorva searches with GET
    NoSearchTerms,    // the result pages' address, with its <Param>s, has no {searchTerms}
    TooManyAttributes,// an element has more attributes than any description needs
};

struct DescriptionResult {
    std::optional<UserEngine> engine;
    EngineProblem problem = EngineProblem::None;
    std::string detail;  // the parameter of UnknownParameter
};

inline constexpr std::size_t kMaxDescriptionBytes = 1024 * 1024;
inline constexpr int kDefaultResultCount = 20;

DescriptionResult ParseOpenSearchDescription(std::string_view bytes);

// The user's text for a problem, in the current language; `detail` fills
// the parameter name in.
std::string EngineProblemText(EngineProblem problem, const std::string& detail = {});

// "{searchTerms}": the artist and the song joined by a blank, trimmed and
// percent-encoded (a blank as %20; '+', '&' and the like encoded).
std::string SearchTermsOf(const std::string& artist, const std::string& song);

// The URL of result page `page` (0 for the first) of the engine for
// `terms` (already encoded): {startPage} is pageOffset + page, {startIndex}
// indexOffset + page * count, {count} the count, the encodings "UTF-8",
// {language} "*"; unknown optional parameters become empty. Nothing when a
// required parameter is unknown.
std::optional<std::string> ExpandTemplate(const UserEngine& engine, const std::string& terms, int page);

// The first required parameter of `templ` that ExpandTemplate cannot fill
// (an empty "{}" among them); nothing when there is none.
std::optional<std::string> UnknownRequiredParameter(std::string_view templ);

// A description for a feed at `feedUrl` (http or https) titled `title`.
std::string MakeFeedDescription(const std::string& title, const std::string& feedUrl, bool atom);

// Text as XML character data or an attribute value.
std::string XmlEscape(std::string_view text);
