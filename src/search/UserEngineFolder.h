#pragma once

#include "search/OpenSearchDescription.h"

#include <stop_token>
#include <string>
#include <vector>

// The folder of the engines the user added: one OpenSearch description per
// file, read in the order of their file names.
inline constexpr std::size_t kMaxUserEngines = 16;

struct UserEngineList {
    std::vector<UserEngine> engines;  // at most kMaxUserEngines
    // One line per description that was skipped, and one when the folder
    // held more than the program uses; empty when all is well.
    std::vector<std::string> problems;
};

// The engines folder of the running program (with a trailing '/').
std::string UserEnginesDir();

// Every "*.xml" file of `dir` (a missing folder holds none). A description
// that cannot be used is skipped with a problem line naming its file. Once
// `stop` is stopped or the program shuts down, no further file is read.
UserEngineList LoadUserEngines(const std::string& dir, std::stop_token stop = {});

// A file name for an engine called `shortName`: letters, digits, '-', '_'
// and '.' kept (other bytes as '_', runs of them as one), no leading dot,
// at most 60 bytes, then ".xml"; a name in another script (no ASCII letter
// left) becomes "engine-" and a hash of it. Empty for a name of blanks and
// punctuation alone. The
// result never holds a '/', so it always names a file inside the folder.
std::string SafeEngineFileName(const std::string& shortName);
