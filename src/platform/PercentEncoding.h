#pragma once

#include <string>
#include <string_view>

namespace platform {

// Which bytes a percent-encoding leaves as they are; the rule differs by
// where the text goes (a query value, a request line, a saved record).
using KeepsByte = bool (*)(unsigned char byte);

// `text` with every byte that `keeps` does not keep written as "%XX"
// (upper-case hex), appended to `out`.
void AppendPercentEncoded(std::string& out, std::string_view text, KeepsByte keeps);
std::string PercentEncode(std::string_view text, KeepsByte keeps);

// Percent-encodes the bytes that may never stand in a request line (blanks,
// control bytes, bytes above 0x7E and a few reserved signs); everything else,
// '%' included, is left alone.
std::string EncodeRequestTarget(std::string_view object);

}  // namespace platform
