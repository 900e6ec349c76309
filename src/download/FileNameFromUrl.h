#pragma once

#include <cstddef>
#include <string>

// The name a found file goes by, in the File Name column and as a
// download's local name: the last segment of the URL's path, with the query
// and fragment cut off, percent-decoded as UTF-8, then cleaned so that it is
// always one plain file inside the music folder:
// - control bytes, '/' (from "%2F"), '\' and bytes that are not UTF-8 become '_';
// - leading dots and blanks go;
// - at most kMaxFileNameBytes bytes, cut at a UTF-8 boundary with the
//   extension (".mp3") kept.
// Empty when nothing is left (a URL that ends in '/', "..", an empty path).
// Text that is no URL is read as a path of its own.
std::string FileNameFromUrl(const std::string& url);

inline constexpr std::size_t kMaxFileNameBytes = 255;
