#include "download/FileNameFromUrl.h"

#include "platform/Url.h"

#include <string_view>

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at `i`, 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i)
{
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned value = 0;
    if (byte < 0x80)
        return 1;
    if (byte >= 0xC2 && byte <= 0xDF) {
        length = 2, value = byte & 0x1F, minimum = 0x80;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        length = 3, value = byte & 0x0F, minimum = 0x800;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        length = 4, value = byte & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

// Every byte that is not part of a file name of its own becomes '_'.
std::string Clean(std::string_view decoded)
{
    std::string out;
    out.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size();) {
        const std::size_t length = Utf8Length(decoded, i);
        const auto byte = static_cast<unsigned char>(decoded[i]);
        if (length == 0 || byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\') {
            out += '_';
            ++i;
        } else {
            out.append(decoded.substr(i, length));
            i += length;
        }
    }
    const std::size_t start = out.find_first_not_of(". ");
    return start == std::string::npos ? std::string() : out.substr(start);
}

// Cuts `name` to the byte limit at a character boundary, keeping a short
// extension such as ".mp3".
std::string Shorten(const std::string& name)
{
    if (name.size() <= kMaxFileNameBytes)
        return name;
    std::string extension;
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos && name.size() - dot <= 16)
        extension = name.substr(dot);
    std::size_t cut = kMaxFileNameBytes - extension.size();
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut) + extension;
}

}  // namespace

std::string FileNameFromUrl(const std::string& url)
{
    std::string_view path = url;
    platform::ParsedUrl parsed;
    if (platform::ParseUrl(url, parsed))
        path = parsed.object;
    path = path.substr(0, path.find_first_of("?#"));
    if (const std::size_t slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    return Shorten(Clean(PercentDecode(path)));
}
