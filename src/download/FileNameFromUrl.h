#pragma once

#include <cstddef>
#include <string>

// The name a found file goes by, in the File Name column and as a
// download's local name: the last segment of the URL's path, with the query
// and fragment cut off, percent-decoded as UTF-8, then cleaned so that it is
// always one plain file inside the music folder:
// - control bytes, '/' (from "%2F"), '\', bytes that are not UTF-8 and the
//   marks that reorder text (bidirectional controls) become '_';
// - leading dots and blanks go, but not the extension (".mp3") they were in;
// - at most kMaxFileNameBytes bytes, cut at a UTF-8 boundary with the
//   extension kept.
// Empty when nothing is left (a URL that ends in '/', "..", an empty path).
// Text that is no URL is read as a path of its own.
std::string FileNameFromUrl(const std::string& url);

// A download writes ".NAME.part" and ".NAME.part.info" beside NAME; the
// longer of them must still fit the file system's 255 bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255 - (sizeof ".part.info" - 1) - 1;
