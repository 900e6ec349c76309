#pragma once

#include <string>
#include <vector>

// tunorva-cli preview URL --wav FILE [--seconds N]
// Decodes the first N seconds (10 by default) of the MP3 at URL through the
// window's preview path and writes them to FILE as a WAV at the file's own
// sample rate. Prints the title, format, length and what was fetched.
// Returns the exit status: 0 written, 1 the URL gave no MP3 (no FILE is
// left then), 2 bad arguments.
int RunPreviewCommand(const std::vector<std::string>& args);
