#pragma once

#include <string>
#include <vector>

// tunorva-cli download URL MUSIC-DIR [--replace yes|no] [--login USER:PASSWORD]
//                                     [--pause-at BYTES --resume-after MS]
//                                     [--retries N] [--retry-wait-ms MS]
//                                     [--limit-rate KBPS] [--mirror URL]...
// Runs one download as the window would and prints what the main frame would
// receive. Run again after a failure or a kill, it resumes from the part file
// left in MUSIC-DIR. Returns the exit status: 0 complete, 1 failed or declined, 2 bad
// arguments.
int RunDownloadCommand(const std::vector<std::string>& args);
