#pragma once

#include <string>
#include <vector>

// The engine commands of tunorva-cli. `enginesDir` is the folder of the
// user's engines (--engines-dir, or the program's own).
int RunEnginesCommand(const std::string& enginesDir);
// ARTIST SONG
int RunSearchCommand(const std::string& enginesDir, const std::vector<std::string>& args);
// ADDRESS|FILE [--replace]
int RunAddEngineCommand(const std::string& enginesDir, const std::vector<std::string>& args);
