#pragma once

#include <optional>
#include <string>

namespace platform {

// The folder of the running executable, without a trailing '/'
// (GetModuleFileNameA cut before its last separator).
std::string GetProgramDir();
// Tests and tools put the program folder elsewhere; empty restores the real one.
void SetProgramDirForTesting(const std::string& dir);

std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `content` to a new file beside `path`, flushes it and renames it over
// `path`, so readers see the old file or the new one, never a mixture.
bool WriteFileAtomically(const std::string& path, const std::string& content);

// GetTempFileNameA with unique number 0: creates a new empty file in `dir`
// named from the first three characters of `prefix` and a free hexadecimal
// number, and returns its path. `dir` is created when it is missing. Nothing
// when no file can be created there.
std::optional<std::string> CreateTempFile(const std::string& dir, const std::string& prefix);

bool DeleteFile(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace platform
