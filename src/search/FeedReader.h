#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// One page of a podcast feed: RSS 2.0 (<item><enclosure url type>) or Atom
// (<entry><link rel="enclosure" href type>), read through the same guarded
// XML reader as engine descriptions.
struct FeedFile {
    std::string url;       // absolute
    std::string fileName;  // the name it is saved under; always ends in ".mp3"
    std::string title;     // the item's (entry's) title; empty when it has none
    // The item's <itunes:duration> ("245", "4:05", "1:02:03") in seconds;
    // negative when it has none or it cannot be read.
    double seconds = -1;
};

// Why a feed's page cannot be read; each has a text of its own.
enum class FeedProblem { None, NoAnswer, HttpStatus, TooLarge, NotXml, DeclaresEntities, TooManyAttributes, NotAFeed };

struct FeedPage {
    bool ok = false;   // a well-formed RSS or Atom document
    FeedProblem problem = FeedProblem::None;  // when not ok
    bool atom = false;
    std::string title;
    std::vector<FeedFile> files;  // in document order, duplicates kept
    std::string next;             // the rel="next" page, absolute; empty when none
};

// Feeds are far larger than descriptions; a podcast with a long history
// runs to several megabytes.
inline constexpr std::size_t kMaxFeedBytes = 16 * 1024 * 1024;

// Which enclosures are found files: those whose URL holds ".mp3", and those
// of an MP3 type (audio/mpeg and its aliases) even without it, which podcast
// hosts serve from addresses such as "/episode/1234". Other audio types
// (Ogg, AAC) without ".mp3" are left out: they are no MP3 files.
bool IsMp3Enclosure(const std::string& url, const std::string& type);

// An <itunes:duration> in seconds: whole seconds or a clock "m:ss" or
// "h:mm:ss"; negative for anything else.
double ParseFeedDuration(std::string_view text);

// `feedUrl` is where the feed came from; relative addresses resolve against it.
FeedPage ParseFeed(std::string_view bytes, const std::string& feedUrl);

// The user's text for a problem, in the current language; `status` is the
// server's answer of HttpStatus.
std::string FeedProblemText(FeedProblem problem, int status = 0);
