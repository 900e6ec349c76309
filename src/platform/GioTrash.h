#pragma once

#include <string>

namespace platform {

// Moves the file at `path` to the desktop's trash through GIO, which takes
// the path's bytes as they are: a name that is not UTF-8 goes too, and the
// trash's record names it exactly. False when no trash could take the file
// (it is then where it was). GLib keeps the first data and home folders it
// reads for the rest of the process.
bool TrashWithGio(const std::string& path);

}  // namespace platform
