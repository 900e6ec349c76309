#pragma once

#include "platform/Files.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// Initialisation files ("profile files") read and written with the rules the
// program relies on: section and key names compare without regard to case,
// blanks around names and values are dropped, one pair of enclosing single or
// double quotes is removed from a value, and a value is cut to 259
// characters (the reader's 260-character buffer). Lines starting with ';'
// are comments. The first section of a name and the first key of a name in
// it count. Only a regular file of at most kProfileFileMax bytes is read;
// any other counts as missing for reading, and is never written over.

inline constexpr std::size_t kProfileValueMax = 259;

// GetPrivateProfileStringA: the value, or `defaultValue` when the file,
// section or key is missing.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string& path);

// The value, or nothing when the file, section or key is missing.
std::optional<std::string> ReadProfileValue(std::string_view section, std::string_view key,
                                            const std::string& path);

// One reading of a profile file for looking up many keys: the file is read
// once, each lookup goes to the text held in memory.
class CProfileText final {
public:
    explicit CProfileText(const std::string& path);
    SmallFileState State() const { return m_state; }
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    std::string Get(std::string_view section, std::string_view key, std::string_view defaultValue) const;

private:
    // Declared first: reading the text sets it.
    SmallFileState m_state = SmallFileState::Missing;
    std::string m_text;
};

// The same reading and writing on the text of a file held in memory.
std::optional<std::string> ReadProfileValueFromText(std::string_view content, std::string_view section,
                                                    std::string_view key);
std::string ApplyProfileChangesToText(std::string_view content, std::string_view section,
                                      const std::vector<std::pair<std::string, std::optional<std::string>>>& changes);

// WritePrivateProfileStringA: sets `key` in `section` (created when missing);
// a null `value` deletes the key. Other lines stay as they are. The file is
// replaced atomically (written beside, then renamed over), so a crash never
// leaves half a file. Returns false when the file cannot be written.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               const std::string* value, const std::string& path);

// Several keys of one section set (a value) or deleted (nothing) in order,
// with one atomic write of the file for all of them.
using ProfileChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;
bool WritePrivateProfileStrings(std::string_view section, const ProfileChanges& changes, const std::string& path);

// Replaces the whole section with `lines` ("key=value" each), dropping keys
// that are not among them; atomically like the writer above.
bool ReplaceProfileSection(std::string_view section, const std::string& lines, const std::string& path);

}  // namespace platform
