#include "Field.h"

#include <cstddef>
#include <string_view>

namespace {

void AppendEscaped(std::string& out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
}

// The length of the well-formed UTF-8 sequence at the start of `text` (RFC
// 3629: no overlong forms, no surrogates, nothing past U+10FFFF) and its code
// point; 0 when the first byte starts none.
std::size_t Utf8Sequence(std::string_view text, char32_t& code)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (at(i) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool Escaped(char32_t code)
{
    return code < 0x20 || code == '%' || (code >= 0x7F && code <= 0x9F) || code == 0x200E || code == 0x200F ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

std::string Field(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    std::string_view rest = text;
    while (!rest.empty()) {
        char32_t code = 0;
        std::size_t length = Utf8Sequence(rest, code);
        const bool escape = length == 0 || Escaped(code);
        if (length == 0)
            length = 1;  // a stray byte goes alone; what follows is read afresh
        if (escape)
            AppendEscaped(out, rest.substr(0, length));
        else
            out.append(rest.substr(0, length));
        rest.remove_prefix(length);
    }
    return out;
}
