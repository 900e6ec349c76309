#pragma once

// What a download's try does with the HTTP status of the answer it got.
enum class AnswerClass {
    Body,              // 200 or 206: the body is read (or the part file starts over)
    Login,             // 401 or 407: the request goes again with a login
    RetryLater,        // the server may answer differently later: a retry after a wait
    RangeNotSatisfied, // 416 to a range request: the part file is whole, or starts over
    Fail,              // anything else: the download fails with the status
};

// `ranged`: the request asked for a range (the part file has bytes).
AnswerClass ClassifyAnswer(int status, bool ranged);
