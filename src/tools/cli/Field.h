#pragma once

#include <string>

// A field as printed: '%' and every control byte (below 0x20, and 0x7F) are
// written as %XX, so a page can neither start a record or field of its own
// (LF, CR, TAB), nor send commands to the terminal (ESC), nor pass for an
// escape that was never there (a literal "%0A" prints as "%250A").
inline std::string Field(const std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

inline std::string Field(const char* text)
{
    return Field(std::string(text != nullptr ? text : ""));
}
