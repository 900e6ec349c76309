#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The engines' query URLs and the rules that walk their result pages.
// Pure string logic: no window, no network.

// The paging parameter both engines use; every navigator keeps its own copy.
inline constexpr const char* kPageKey = "start";

// "and" when both keywords hold text, otherwise "or".
std::string DeriveSearchType(const std::string& artist, const std::string& song);

// A keyword as a query value: its UTF-8 bytes percent-encoded except the
// unreserved ones (letters, digits, "-._~"), a blank as "%20". So "#", "&",
// "=", "+" and "%" reach the engine as typed instead of cutting the request
// or splitting the keyword into other parameters.
std::string EncodeKeyword(const std::string& keyword);

// The first page's query URL of the engine whose base URL is `base` (compared
// byte for byte with the configured engines); empty for an unknown base.
// The keywords go in encoded (EncodeKeyword), the rest as it stands.
std::string BuildEngineUrl(const std::string& base, const std::string& searchType, const std::string& artist,
                           const std::string& song);

// The value that follows the first occurrence of `key` (in any case) in
// `url`, up to the next '&', with its case kept; empty when the URL does not
// parse or has none.
std::string GetUrlParamValue(const std::string& url, const std::string& key);

// Index of the first link whose `key` value sorts after the current page's
// value (text order, not numeric); nothing when the page is the last.
std::optional<std::size_t> FindNextPageLink(const std::string& currentPageUrl, const std::vector<std::string>& links,
                                            const std::string& key);
