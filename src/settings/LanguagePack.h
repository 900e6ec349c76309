#pragma once

#include "platform/Files.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

// Language packs: every text the user sees can be replaced by the file
// Language/<language>.ini beside the program, section [Tunorva], keyed by the
// text's id in decimal. The file is read once and read again only when the
// language or the file changes, so a change takes effect at the next text.
// Only a regular file of at most 1 MiB is read; any other counts as missing.
// Texts are UTF-8.

// The language in force ("English", "Arabic", ...). Worker threads read it
// when they compose a message, so it is kept behind a lock.
std::string GetLanguage();
void SetLanguage(const std::string& name);

// CMainFrame::m_strLanguage: reads and writes the language in force above,
// so the frame, the dialogs and the workers always agree on it.
class CLanguageName final {
public:
    CLanguageName() = default;
    CLanguageName(const CLanguageName&) = delete;
    CLanguageName& operator=(const CLanguageName&) = delete;
    CLanguageName& operator=(const std::string& name)
    {
        SetLanguage(name);
        return *this;
    }
    CLanguageName& operator=(const char* name) { return *this = std::string(name); }
    operator std::string() const { return GetLanguage(); }
    std::string str() const { return GetLanguage(); }
    friend bool operator==(const CLanguageName& name, std::string_view text) { return name.str() == text; }
    friend std::ostream& operator<<(std::ostream& out, const CLanguageName& name) { return out << name.str(); }
};

// The folder of the language files, with its trailing '/'.
std::string GetLanguageDir();
// The file of the language in force, built again for every lookup.
std::string GetLanguageFile();
// The folder of the flag pictures, with its trailing '/'.
std::string GetFlagsDir();

// The value of `key` in the current language file, `defaultText` when the
// file, the section or the key is missing. Blanks around the value and one
// pair of enclosing quotes are dropped; the value is cut to 259 bytes, and a
// character that the cut would split is dropped whole.
std::string LookupLanguageText(std::string_view key, std::string_view defaultText);
std::string LookupLanguageText(unsigned id, std::string_view defaultText);

// How the file of the language in force was last found: Read, Missing, or a
// reason it was ignored.
platform::SmallFileState LanguageFileState();

// The text of string id `id`: the language file's when it has a non-empty
// one, else the built-in English text; empty, without reading the file, for
// an id the built-in table does not know. Safe to call from any thread.
std::string LoadLanguageString(unsigned id);

// The numbers of the top-level menu keys ("&File340"): a linear congruential
// generator seeded with 152 at the start of every menu translation, one value
// drawn for every top-level position.
class CMenuKeyGenerator final {
public:
    int Next()
    {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF) % 50;
    }

private:
    std::uint32_t m_state = 152;
};

// The key of the top-level entry at `position` with English text `text`.
std::string MenuKey(const std::string& text, int number, int position);
