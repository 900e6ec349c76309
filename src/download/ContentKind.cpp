#include "download/ContentKind.h"

#include "resources/Resource.h"

#include <algorithm>
#include <cctype>

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

bool ContainsNoCase(std::string_view text, std::string_view needle)
{
    const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return it != text.end();
}

}  // namespace

// Archives, other audio containers, documents and pictures. An MP3 inside
// one of them (a stored zip, a RIFF wave of MPEG audio) is still no MP3 file.
bool IsOtherFormat(std::string_view head)
{
    const auto starts = [&](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
    constexpr std::string_view kMagic[] = {
        std::string_view("PK\x03\x04", 4), std::string_view("PK\x05\x06", 4), std::string_view("PK\x07\x08", 4),
        "RIFF", "RIFX", "OggS", "fLaC", "%PDF", "\x89PNG", "GIF87a", "GIF89a", "\xFF\xD8\xFF", "Rar!",
        std::string_view("7z\xBC\xAF\x27\x1C", 6), std::string_view("\x1F\x8B", 2), "BZh", "FORM", "MThd",
        std::string_view("\x30\x26\xB2\x75", 4),  // ASF (WMA)
    };
    for (const std::string_view magic : kMagic) {
        if (starts(magic))
            return true;
    }
    // MP4 and its kin (M4A): a box of type "ftyp" first.
    return head.size() >= 8 && head.substr(4, 4) == "ftyp";
}

ContentKind EarlyContentKind(std::string_view head)
{
    // A byte-order mark and leading blanks come before markup and JSON alike.
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        head.remove_prefix(3);
    while (!head.empty() && std::isspace(static_cast<unsigned char>(head.front())))
        head.remove_prefix(1);
    if (head.empty())
        return ContentKind::Mp3;
    if (StartsWithNoCase(head, "<!doctype html") || StartsWithNoCase(head, "<html") ||
        StartsWithNoCase(head, "<head") || StartsWithNoCase(head, "<body") || StartsWithNoCase(head, "<!--"))
        return ContentKind::WebPage;
    if (StartsWithNoCase(head, "<?xml"))
        return ContentKind::Xml;
    if (head.front() == '{' || head.front() == '[')
        return ContentKind::Json;
    if (head.front() == '<' && ContainsNoCase(head.substr(0, 1024), "<html"))
        return ContentKind::WebPage;
    return ContentKind::Mp3;
}

unsigned ContentKindTextId(ContentKind kind)
{
    switch (kind) {
    case ContentKind::WebPage: return IDS_CHECK_WEB_PAGE;
    case ContentKind::Json: return IDS_CHECK_JSON;
    case ContentKind::Xml: return IDS_CHECK_XML;
    case ContentKind::Empty: return IDS_CHECK_EMPTY;
    default: return IDS_CHECK_NOT_MP3;
    }
}
