#pragma once

#include <string>

// A field as printed: LF, CR and TAB would start a record or a field of
// their own, so a page cannot forge output; they are written as %0A, %0D, %09.
inline std::string Field(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\t')
            out += "%09";
        else
            out += c;
    }
    return out;
}

inline std::string Field(const char* text)
{
    return Field(std::string(text != nullptr ? text : ""));
}
