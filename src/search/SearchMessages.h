#pragma once

#include "resources/Messages.h"
#include "search/UserEngineFolder.h"

#include <string>

// What a search's workers report to the window (resources/Messages.h has the
// numbers). Each is copied or kept by the channel, so a worker may let go of
// its own strings as soon as the message is sent or posted.

// An MP3 link on a built-in engine's result page; `engine` is 1 or 2. The
// result may be a completion the page waits for (the found-file sound).
struct Mp3Found {
    static constexpr unsigned kMessage = WM_MP3_FOUND;
    std::string url;
    int engine = 0;
};

// A built-in engine's page has been walked; `engine` is 1 or 2.
struct PageResult {
    static constexpr unsigned kMessage = WM_PAGE_RESULT;
    std::string url;
    bool found = false;  // the page held at least one MP3 link
    int engine = 0;
};

// A page worker has ended; `engine` is 1 or 2.
struct PageFinished {
    static constexpr unsigned kMessage = WM_PAGE_FINISHED;
    int engine = 0;
};

// A page held more links than a page worker takes.
struct PageCapped {
    static constexpr unsigned kMessage = WM_PAGE_CAPPED;
    std::string url;
};

// A page's body was longer than the fetcher reads; it was read that far.
struct PageBodyCapped {
    static constexpr unsigned kMessage = WM_PAGE_BODY_CAPPED;
    std::string url;
};

// A block of a page arrived: the window moves its progress bar.
struct FetchStep {
    static constexpr unsigned kMessage = WM_FETCH_STEP;
};

// A user engine's walk (search/UserEngineWalk.h). `engine` is the number the
// walk was made with: its engine's index in the search.

// A found file; the result may be a completion the walk waits for.
struct UserEngineFind {
    static constexpr unsigned kMessage = WM_USER_ENGINE_FOUND;
    int engine = 0;
    std::string url;
    std::string fileName;
};

// A page was read.
struct UserEnginePage {
    static constexpr unsigned kMessage = WM_USER_ENGINE_PAGE;
    int engine = 0;
    std::string url;
    bool found = false;  // the page held at least one MP3 link
};

// The engine's first page is done, so the next engine starts.
struct UserEngineFirstPage {
    static constexpr unsigned kMessage = WM_USER_ENGINE_FIRST_PAGE;
    int engine = 0;
};

// The engine's walk has ended; `problem`, when not empty, says why it ended
// early (a feed that cannot be read), naming the engine.
struct UserEngineEnded {
    static constexpr unsigned kMessage = WM_USER_ENGINE_ENDED;
    int engine = 0;
    std::string problem;
};

// The engines folder as a worker read it; `reading` tells the window's
// readings apart, so that only the latest is shown.
struct UserEnginesRead {
    static constexpr unsigned kMessage = WM_USER_ENGINES_READ;
    int reading = 0;
    UserEngineList list;
};
