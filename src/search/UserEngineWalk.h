#pragma once

#include "search/OpenSearchDescription.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

// The search over one user engine, on a worker of its own:
// - result pages whose template pages ({startPage}, {startIndex}) are asked
//   for page after page until a page brings no MP3 link that an earlier
//   page of the walk did not already bring, or kMaxPages pages were read;
// - result pages without such a parameter follow the "start=" next-page
//   link among the page's links, as the built-in engines' pages do;
// - a feed is read with its enclosures as the found files and its
//   rel="next" pages followed.
// Every page's MP3 links are reported, duplicates included, the last page
// of the walk too. Releasing the handle (or Stop) stops the walk: it sends
// no further request and its remaining messages are dropped.
class CUserEngineWalk final {
public:
    static constexpr int kMaxPages = 50;

    CUserEngineWalk(int number, UserEngine engine);
    ~CUserEngineWalk();
    CUserEngineWalk(const CUserEngineWalk&) = delete;
    CUserEngineWalk& operator=(const CUserEngineWalk&) = delete;

    // Starts the walk for these keywords; false when no worker could start.
    bool Start(const std::string& artist, const std::string& song);
    void Stop();
    // True until the walk has sent its UserEngineEnded (search/SearchMessages.h).
    bool IsRunning() const;
    // Whether the first page came as a page (status 200); nothing while it
    // is on its way.
    std::optional<bool> FirstPageRead() const;

    // Waits until no walk's worker runs; true when none does. Shut-down
    // stops the walks first, so their Temp files are gone by then.
    static bool WaitForWalks(std::chrono::milliseconds timeout);

    const UserEngine& Engine() const { return m_engine; }
    int Number() const { return m_number; }

    struct State;

private:
    int m_number;
    UserEngine m_engine;
    std::stop_source m_stopSource;
    std::shared_ptr<State> m_state;
};
