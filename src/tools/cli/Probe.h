#pragma once

#include <string>
#include <vector>

// tunorva-cli probe URL...
// Probes each URL as a found file's row is probed and prints, for each in
// order, the records size, mp3, bitrate, vbr, rate, length, title, artist,
// album and head, then requests. Unknown values print as "-". Returns the
// exit status: 0 every URL answered with a size, 1 otherwise, 2 bad arguments.
int RunProbeCommand(const std::vector<std::string>& args);
