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

// The invisible marks that reorder the text around them (U+061C, U+200E,
// U+200F, U+202A-U+202E, U+2066-U+2069): "song\u202Egpj.mp3" would show as
// another name, with another ending.
bool IsBidiControl(std::string_view text, std::size_t i, std::size_t length)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (length == 2)
        return at(0) == 0xD8 && at(1) == 0x9C;
    if (length != 3 || at(0) != 0xE2)
        return false;
    if (at(1) == 0x80)
        return at(2) == 0x8E || at(2) == 0x8F || (at(2) >= 0xAA && at(2) <= 0xAE);
    return at(1) == 0x81 && at(2) >= 0xA6 && at(2) <= 0xA9;
}

// The name's extension (".mp3"): from its last dot, when that is short.
std::string_view ExtensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot > 16)
        return {};
    return name.substr(dot);
}

bool IsMp3Extension(std::string_view extension)
{
    return extension.size() == 4 && extension[0] == '.' && (extension[1] | 0x20) == 'm' &&
           (extension[2] | 0x20) == 'p' && extension[3] == '3';
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
        } else if (IsBidiControl(decoded, i, length)) {
            out += '_';
            i += length;
        } else {
            out.append(decoded.substr(i, length));
            i += length;
        }
    }
    const std::size_t start = out.find_first_not_of(". ");
    if (start == std::string::npos)
        return {};
    // Leading dots and blanks go, but an MP3 keeps its ending even when they
    // were all of its stem ("...mp3" is "mp3.mp3", not "mp3").
    const std::string_view extension = ExtensionOf(out);
    std::string name = out.substr(start);
    if (IsMp3Extension(extension) && !IsMp3Extension(ExtensionOf(name)))
        name += extension;
    return name;
}

// Cuts `name` to the byte limit at a character boundary, keeping a short
// extension such as ".mp3".
std::string Shorten(const std::string& name)
{
    if (name.size() <= kMaxFileNameBytes)
        return name;
    const std::string extension(ExtensionOf(name));
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
