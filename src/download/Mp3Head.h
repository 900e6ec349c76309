#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the first bytes of a file tell of it: the MPEG stream's format, its
// bitrate and length, its ID3v2 title, artist and album, or that it is plainly
// something else. A probe reads the file's first kBytes and, when an ID3v2 tag
// runs past them, kAfterTagBytes where the tag ends; Read takes those bytes.
struct Mp3Head {
    static constexpr std::size_t kBytes = 16 * 1024;
    static constexpr std::size_t kAfterTagBytes = 4 * 1024;

    bool known = false;    // the head was read (a 2xx answer with its bytes)
    bool mp3 = false;      // a decoder found MPEG audio frames in it
    bool notMp3 = false;   // plainly another kind of file: a page, JSON, a picture, an archive
    int version = 0;       // MPEG 1, 2 or 25 (for 2.5)
    int layer = 0;
    long rate = 0;         // Hz
    int channels = 0;
    int bitrate = 0;       // kbit/s; the average for a variable bitrate
    bool vbr = false;
    double seconds = 0;    // 0 while unknown
    std::string title;     // UTF-8
    std::string artist;
    std::string album;
    // A 128-bit XXH3 in hex of the bytes asked for: the first kBytes (fewer
    // when the file is shorter), then the second range when one was read. One
    // file at two URLs has one fingerprint, whatever else the servers sent;
    // the window finds mirrors by it. Every probe makes one, so it is the
    // quick hash: no server can pass off another file by it anyway, since
    // any server can copy a head.
    std::string fingerprint;
    // SHA-256 in hex of the same bytes, made only when asked for (the
    // command-line tool prints it): it takes twenty times as long.
    std::string digest;

    // Where the ID3v2 tag at the start of `head` ends (header, frames and any
    // footer), 0 without one.
    static std::uint64_t TagEnd(std::string_view head);

    // Whether the bytes are plainly not MPEG audio, by the signature of what
    // they are instead (HTML, XML, JSON, images, archives, other containers).
    static bool PlainlyNotMp3(std::string_view head);

    // Reads the facts from `head`, the file's first bytes, and `afterTag`, the
    // bytes that start at the tag's end when they were fetched separately.
    // `fileSize`, when known, gives the length of a constant-bitrate stream.
    // `withDigest` adds the SHA-256 digest.
    static Mp3Head Read(std::string_view head, std::string_view afterTag, std::optional<std::uint64_t> fileSize,
                        bool withDigest = false);
};
