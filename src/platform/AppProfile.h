#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// The per-user application profile (CWinApp::GetProfileString and
// WriteProfileString): the file
//   $XDG_CONFIG_HOME/Local AppWizard-Generated Applications/Tunorva.ini
// ($XDG_CONFIG_HOME defaults to ~/.config), one INI section per profile
// section. Failures are silent: a value that cannot be read is the default,
// a write that fails is lost.

std::string AppProfilePath();
// Tests point the profile at a file of their own; empty restores the real one.
void SetAppProfilePathForTesting(const std::string& path);

std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue = {});

// Sets the value, or deletes it when `value` is null. The profile's folders
// are created when missing. False when nothing could be written.
bool WriteProfileString(std::string_view section, std::string_view key, const std::string* value);

// Several keys of one section set or deleted (nothing) in one write of the
// profile. A value that cannot be stored (a line break) leaves its key as it
// was; false when that happened or nothing could be written.
bool WriteProfileStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::optional<std::string>>>& changes);

// The profile reader drops blanks around a value and one pair of enclosing
// quotes. A value is written in double quotes whenever it begins or ends with
// a blank or begins with a quote, so that it reads back exactly as written;
// other values are written as they are. Nothing for a value with a line
// break, which cannot stand on one line of the file.
std::optional<std::string> QuoteProfileValue(std::string_view value);

}  // namespace platform
