#pragma once

#include "ScriptedHttpServer.h"

#include <string>

namespace testing_support {

// A sine tone encoded by lame (Debian package "lame"), for tests that decode
// or play real MPEG audio.
struct ToneMp3 {
    int rate = 44100;       // Hz, kept by the encoder (22050 or 24000 give MPEG-2)
    int channels = 2;
    double seconds = 3.0;
    int kbps = 128;         // constant bitrate
    int vbrQuality = -1;    // 0..9: variable bitrate with a Xing header instead
    bool infoTag = true;    // false: no Xing/Info frame, so length comes from the size
    std::string title;      // ID3v2 title and artist; none when both are empty
    std::string artist;
    int tagPadding = 0;     // bytes of padding in the ID3v2 tag, as a cover picture would take
};

// The encoded file's bytes; empty when lame is missing or fails.
std::string EncodeToneMp3(const ToneMp3& tone);
bool LameAvailable();

// `mp3` (without its ID3v2 tag) followed by its audio `times` over: a long
// stream made quickly from a short encoding. The tag, if any, is kept once
// at the front; a Xing/Info frame would give the short length, so use one
// encoded without.
std::string RepeatMp3Audio(const std::string& mp3, int times);

// Answers "Range: bytes=a-b" from `body` as a server with ranges does (206,
// or 416 past the end); a request without a range gets the whole body.
ScriptedReply ServeRange(const HttpExchange& request, const std::string& body);

// Root mean square of interleaved signed 16-bit little-endian samples, 0..1.
double Rms(const std::string& pcm);

}  // namespace testing_support
