#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The answer's head as HttpFile keeps it: `line` (one line as received, with
// or without its CR LF) is added to `raw`, each line ending in CR LF; a status
// line starts the head afresh (an interim answer or a redirect was before).
// True when `line` was the empty line that closes a head.
bool AppendHeaderLine(std::string& raw, std::string_view line);

// The value of the first header called `name` (no case) in a head as above,
// blanks trimmed; the status line is not a header.
std::optional<std::string> FindHeader(std::string_view rawHeaders, std::string_view name);

}  // namespace platform
