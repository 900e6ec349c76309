#pragma once

#include "download/ContentKind.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Why a preview stopped before the end of its file.
enum class PreviewFailure {
    None,
    BadUrl,          // not an http or https URL
    NoConnection,    // the first request got no answer
    ServerError,     // an HTTP status other than the file (404, 500, ...)
    NotMp3,          // a web page, JSON, an empty file, or bytes no MP3 decoder reads
    ConnectionLost,  // the body stopped coming or came too slowly to play, or a later request failed
    InsecureRedirect,  // an https: address redirected to plain http:
};

struct PreviewError {
    PreviewFailure kind = PreviewFailure::None;
    int code = 0;                            // the HTTP status, or the transfer's error code
    ContentKind content = ContentKind::Mp3;  // what arrived, for NotMp3
    std::string detail;                      // the transfer's own error text, when there is one
};

// Why a preview stopped, as a sentence in the language in force.
std::string PreviewErrorText(const PreviewError& error);

// The bytes of a file on a web server, read in order by one reader (the
// preview's decoder) while a worker fetches them in range requests ahead of
// it. The worker keeps at most `readAhead` bytes that the reader has not
// taken and never asks for more, so a preview that is stopped early has
// fetched little more than it played. Nothing is written to disk.
//
// The first bytes are looked at before the reader gets any: a web page, JSON
// or XML ends the stream as NotMp3 at once. A server that ignores ranges and
// sends the whole file is read from that one answer, as far as the reader
// goes. The reader may jump ahead (past a long tag): the worker then goes on
// with a range request from there, so what lies between is never fetched.
class PreviewStream final {
public:
    struct Options {
        std::size_t readAhead = 4u << 20;
        // The first request is small so that playing starts soon; the later
        // ones fill the read-ahead in fewer trips.
        std::size_t firstPiece = 64u << 10;
        std::size_t piece = 512u << 10;
        // A request that receives nothing for this long counts as a lost
        // connection; so does a stream that brings the reader less than
        // kStallBytes in this long while it has little to read (a server
        // that trickles its bytes: the preview could never play).
        int stallTimeoutMs = 20000;
    };

    enum class State {
        Data,     // bytes were taken
        Waiting,  // none yet; the worker is fetching
        End,      // the whole file has been taken
        Failed,   // see Error(); bytes that came before a lost connection are taken first
    };

    explicit PreviewStream(std::string url);
    PreviewStream(std::string url, Options options);
    // Stops the worker without waiting for it: a request under way gives up
    // within about 100 ms, and the worker then ends by itself.
    ~PreviewStream();
    PreviewStream(const PreviewStream&) = delete;
    PreviewStream& operator=(const PreviewStream&) = delete;

    // Starts the worker; false (with Error() set) for a URL that cannot be
    // fetched or when no thread could be started.
    bool Start();

    // Appends up to `size` bytes of the file, in order, to `out`, waiting up
    // to `wait` while none are there.
    State Read(std::string& out, std::size_t size, std::chrono::milliseconds wait);

    // Drops the bytes before `offset` (a file offset past those read so
    // far): the next Read starts there. Bytes already fetched are dropped
    // from memory; beyond them the worker ends its request and asks for a
    // range from `offset`.
    void SkipTo(std::uint64_t offset);

    // Less than this in Options::stallTimeoutMs is a stall: slower than any
    // bitrate a song is encoded at.
    static constexpr std::size_t kStallBytes = 16u << 10;

    // The whole file's length, once an answer has stated it.
    std::optional<std::uint64_t> FileSize() const;
    PreviewError Error() const;
    // Body bytes received from the server so far, and the requests made.
    std::uint64_t BytesReceived() const;
    int Requests() const;

    struct Shared;

private:
    bool Stalled(Shared& shared) const;

    std::shared_ptr<Shared> m_shared;
    std::string m_url;
    Options m_options;
};
