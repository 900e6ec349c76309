#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The folder of the running executable, without a trailing '/'
// (GetModuleFileNameA cut before its last separator).
std::string GetProgramDir();
// Tests and tools put the program folder elsewhere; empty restores the real one.
void SetProgramDirForTesting(const std::string& dir);

std::optional<std::string> ReadWholeFile(const std::string& path);

// Settings-like files (language files, profiles) are small; anything larger,
// or anything that is not a regular file (a FIFO, a device), is refused
// without reading, so it cannot stall the program.
inline constexpr std::uintmax_t kProfileFileMax = 1024 * 1024;

enum class SmallFileState { Read, Missing, NotRegular, TooLarge, Unreadable };
// Whether a symbolic link at the path itself is followed. Files that belong
// beside a download in the music folder are never read through a link.
enum class LinkPolicy { Follow, Refuse };

// The whole file when it is a regular file of at most `maxBytes`; nothing
// otherwise, with the reason in `state` when given (a refused link is
// NotRegular). Opening never blocks.
std::optional<std::string> ReadSmallRegularFile(const std::string& path, std::uintmax_t maxBytes = kProfileFileMax,
                                                SmallFileState* state = nullptr,
                                                LinkPolicy links = LinkPolicy::Follow);

// Writes `content` to a new file beside `path`, flushes it and renames it over
// `path`, so readers see the old file or the new one, never a mixture.
bool WriteFileAtomically(const std::string& path, const std::string& content);
// The same without following links: the new file is made beside `path`
// under a name of its own and renamed over `path`, so a symbolic link
// planted there is replaced, never written through. (WriteFileAtomically
// writes to a link's target, as a user who links a settings file expects.)
bool WriteFileAtomicallyNoFollow(const std::string& path, const std::string& content);
// Deletes the files WriteFileAtomicallyNoFollow left in `folder` (ending in
// '/') when its process was killed before the rename; one that a live
// writer holds stays.
void RemoveStaleTempFiles(const std::string& folder);

// GetTempFileNameA with unique number 0: creates a new empty file in `dir`
// named from the first three characters of `prefix` and a free hexadecimal
// number, and returns its path. `dir` is created when it is missing. Nothing
// when no file can be created there.
std::optional<std::string> CreateTempFile(const std::string& dir, const std::string& prefix);

bool DeleteFile(const std::string& path);
bool FileExists(const std::string& path);

// One entry of a folder listing.
struct FoundFile {
    std::string name;        // without the folder
    std::uintmax_t size = 0; // whole, however large
    bool isDirectory = false;
};

// CFileFind over `pattern`: the folder is everything up to the last '/', the
// rest a name pattern whose '*' and '?' match without regard to case, as the
// system matches "*.mp3". Names starting with a dot are matched like any
// other; "." and ".." are never returned. The entries come sorted by name
// without regard to case, so a listing reads the same on every file system.
// A folder that cannot be read gives no entries.
std::vector<FoundFile> FindFiles(const std::string& pattern);

// How many entries `folder` holds, counted up to `limit` and no further; a
// quick look (no entry is examined) that tells whether a listing is cheap.
std::size_t CountFolderEntries(const std::string& folder, std::size_t limit);

// Whether `name` matches a '*'/'?' pattern without regard to (ASCII) case.
bool MatchesWildcard(const std::string& name, const std::string& pattern);

enum class RemoveResult { Trashed, Deleted, NoTrash, Failed };
// Moves the file to the desktop's trash: Trashed, or NoTrash when no trash
// could take it (another device without a trash folder of its own, a trash
// that cannot be written) and the file is still there, never deleted. A name
// that is not UTF-8 goes through GIO (see GioTrash.h). Failed when it was never there; `error` then holds
// the system's error number. (Deleted is what the caller makes of a NoTrash
// it went on to delete.)
RemoveResult MoveFileToTrash(const std::string& path, int* error = nullptr);

// Renames `from` to `to`, refusing to replace an existing `to` (a plain
// rename(2) would silently drop the other file). Returns 0 or the system's
// error number (EEXIST when `to` exists).
int RenameNoReplace(const std::string& from, const std::string& to);

// The system's text for an error number, e.g. "File exists".
std::string ErrorText(int error);

}  // namespace platform
