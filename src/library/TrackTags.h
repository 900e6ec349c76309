#pragma once

#include <cstddef>
#include <string>

// What the play list shows of a song beyond its name: the tag's texts and
// the stream's length and bitrate. Texts are UTF-8; a number that is not
// known is -1.
struct TrackTags {
    std::string title;
    std::string artist;
    std::string album;
    int lengthSeconds = -1;
    int bitrateKbps = -1;

    bool operator==(const TrackTags&) const = default;
};

// Reads an MP3 file's ID3v2 or ID3v1 tag and its audio properties. A file
// that cannot be opened or read gives empty tags, never an error.
TrackTags ReadTrackTags(const std::string& path);
// The same from bytes in memory (a file's whole content).
TrackTags ReadTrackTagsFromBytes(const char* data, std::size_t size);

// "m:ss" ("h:mm:ss" from an hour on); empty for an unknown length.
std::string FormatLength(int seconds);
// The bitrate as the play list shows it ("128"); empty when unknown.
std::string FormatBitrate(int kbps);
