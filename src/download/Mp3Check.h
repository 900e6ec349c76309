#pragma once

#include "download/ContentKind.h"

#include <cstdint>

// The check of a complete file: not a web page or any other format known by
// its first bytes (archives, containers, documents, pictures), then any
// number of ID3v2 tags (skipped by their declared sizes), then what a real
// decoder (libmpg123) plays: a few frames, after up to 64 KiB of junk.
// Reads a few blocks from the start only, whatever the file's size.
ContentKind CheckMp3File(int fd, std::uint64_t fileSize);
