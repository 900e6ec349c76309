#pragma once

#include <string>

// A field as printed. Written as %XX, byte by byte:
// - '%' and every control byte (below 0x20, and 0x7F), so a page can neither
//   start a record or field of its own (LF, CR, TAB), nor send commands to the
//   terminal (ESC), nor pass for an escape that was never there (a literal
//   "%0A" prints as "%250A");
// - bytes that are not well-formed UTF-8, so that the output stays text;
// - the C1 controls (U+0080..U+009F, which some terminals obey as ESC
//   sequences) and the bidirectional controls (U+200E, U+200F,
//   U+202A..U+202E, U+2066..U+2069), which would reorder what the terminal
//   shows after them: "%E2%80%AE" for U+202E.
// Other UTF-8 text passes as it is.
std::string Field(const std::string& text);

inline std::string Field(const char* text)
{
    return Field(std::string(text != nullptr ? text : ""));
}
