#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct _xmlDoc;
struct _xmlNode;

// Reads an XML document from the network or a user's file without trusting
// it: nothing is fetched (no network, no external DTD or entity), no entity
// is ever expanded, and a document that declares any entity is refused
// outright, so a "billion laughs" or an external-entity trick never gets a
// chance. Documents are held to a size cap before the parser sees them.
namespace safexml {

enum class Status { Ok, TooLarge, NotXml, DeclaresEntities, TooManyAttributes };

// libxml2's time grows with the square of one element's attributes (40,000
// of them take seconds); no description or feed needs more than a few, so a
// document with an element of more than this many is refused before parsing.
inline constexpr std::size_t kMaxAttributes = 256;
// The same work summed over the document (each element's count squared):
// a feed at its size cap made of elements of 250 attributes stays under the
// limit above yet takes more than a second. Real feeds, thousands of
// elements of a few attributes each, use a small part of this.
inline constexpr std::uint64_t kMaxAttributeWork = 16'000'000;

struct DocFree {
    void operator()(_xmlDoc* doc) const;
};
using DocPtr = std::unique_ptr<_xmlDoc, DocFree>;

// The parsed document, or nothing with the reason in `status`. White space
// and a UTF-8 byte-order mark before the document (a blank line before the
// XML declaration, as many feeds have) are passed over.
DocPtr Parse(std::string_view bytes, std::size_t maxBytes, Status& status);

// True when some element of the document, read as markup, carries more
// than `perElement` attributes, or the squares of all elements' counts add
// up to more than `work`. One pass over the bytes, whatever they hold.
bool HasTooManyAttributes(std::string_view bytes, std::size_t perElement, std::uint64_t work);

// The element's local name (without its namespace prefix); empty for other nodes.
std::string_view LocalName(const _xmlNode* node);
// The value of the attribute `name` (no namespace), or nothing.
bool Attribute(const _xmlNode* node, const char* name, std::string& value);
// The element's text content, blanks at both ends trimmed.
std::string Text(const _xmlNode* node);
// Blanks (space, tab, CR, LF) at both ends removed.
std::string Trim(std::string_view text);

}  // namespace safexml
