#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Turns a fetched result page into the link targets of its anchor tags.
//
// The page is lower-cased (A-Z only) and ends at its first NUL byte. Every
// "<a " starts a tag that runs to the next '>'; the target is what the
// character after its first "href=" encloses. Targets are appended in
// document order, duplicates included.
//
// The scan takes time linear in the page length whatever the page holds. For
// that, one "href=" attribute yields at most one link: markup in which several
// "<a " share one attribute (an "<a " inside another tag before its "href=")
// gives that link once, not once per "<a ". Well-formed pages are unaffected.
void ExtractLinks(const char* bytes, std::size_t length, std::vector<std::string>& links);

// The same over a page the caller gives up: lower-cased and cut at its first
// NUL where it stands, with no copy of it. At most `maxLinks` links are
// appended; true when the page held more.
bool ExtractLinksInPlace(std::string& page, std::vector<std::string>& links, std::size_t maxLinks);

// True when the text contains ".mp3" in any case, anywhere.
bool IsMp3Link(const std::string& text);

// Makes `link` absolute against the page it was found on. An http URL stays
// as it is; anything else is joined to the page URL, cut back to its last '/'
// when the link climbs ("..", of which the first is dropped) or names a
// non-MP3 file.
std::string ResolveLink(const std::string& pageUrl, const std::string& link);
