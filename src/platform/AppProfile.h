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

// Where Tunorva reads the files it ships with and keeps the user's files.
//
// A portable copy, a program folder the user can write to that is not an
// installed <prefix>/bin, keeps everything beside the program: Tunorva.ini,
// Music/ and Temp/ next to Language/, Flags/, Help/ and Sounds/.
//
// Otherwise (the folder is read-only, or the program is installed as
// <prefix>/bin/tunorva with <prefix>/share/tunorva) nothing is written beside
// the program: settings go to $XDG_CONFIG_HOME/Tunorva/, temporary files to
// $XDG_CACHE_HOME/Tunorva/, and the default music folder is Tunorva/ in the
// desktop's music folder (`xdg-user-dir MUSIC`, ~/Music when that tool is
// missing). Shipped files are read from <prefix>/share/tunorva when installed,
// else from the program folder.
struct AppFolders {
    bool portable = true;
    std::string dataDir;    // Language/, Flags/, Help/, Sounds/, DemoMedia/ below it
    std::string configDir;  // Tunorva.ini and Engines.ini
    std::string tempDir;    // ends with '/'
    std::string musicDir;   // the default music folder, ends with '/'
    // Search engines the user added: Engines/ beside a portable program,
    // $XDG_DATA_HOME/Tunorva/engines/ (~/.local/share) otherwise; ends with '/'.
    std::string enginesDir;
};

// What the choice depends on, gathered from the running system.
struct AppFolderFacts {
    std::string programDir;
    bool programDirWritable = true;
    std::string installedDataDir;  // <prefix>/share/tunorva for an installed program, else empty
    std::string home;
    std::string xdgConfigHome;  // as set in the environment; empty or relative ones are ignored
    std::string xdgCacheHome;
    std::string xdgDataHome;
    std::optional<std::string> userMusicDir;  // what `xdg-user-dir MUSIC` printed; nothing when it failed
};

AppFolders ResolveAppFolders(const AppFolderFacts& facts);

// The folders of the running program (GetProgramDir, the environment and the
// file system as they are now). `xdg-user-dir` runs at most once for each
// HOME, XDG_CONFIG_HOME and PATH.
AppFolders GetAppFolders();

}  // namespace platform
