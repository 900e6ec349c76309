#pragma once

#include <string>
#include <vector>

// tunorva-cli download URL MUSIC-DIR [--replace yes|no] [--login USER:PASSWORD]
//                                     [--pause-at BYTES --resume-after MS]
// Runs one download as the window would and prints what the main frame would
// receive. Returns the exit status: 0 complete, 1 failed or declined, 2 bad
// arguments.
int RunDownloadCommand(const std::vector<std::string>& args);
