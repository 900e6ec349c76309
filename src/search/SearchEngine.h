#pragma once

#include <optional>
#include <string>

// The keywords of one search, as the user typed them.
struct SearchKeys {
    std::string artist;
    std::string song;
};

// One engine of a search, whatever it walks: the built-in engines' chains of
// result pages, a user's OpenSearch engine, a podcast feed. Every kind is
// started, stopped and heard the same way, so a new kind is one class and
// one line where the engines are listed (search/SearchEngines.cpp).
//
// An engine reports from its workers through the message channel; the
// messages are read back into typed reports by ReadEngineReport
// (search/EngineReports.h), each naming the engine by its index in the
// search. Releasing an engine stops it: nothing more is asked or reported.
class CSearchEngine {
public:
    enum class Kind { Builtin, Html, Feed };

    virtual ~CSearchEngine() = default;

    // Starts the search for `keys`; false when nothing could be started
    // (the engine then reports nothing, and counts as ended).
    virtual bool Start(const SearchKeys& keys) = 0;
    virtual void Stop() = 0;
    // True until the engine has reported its last page.
    virtual bool IsRunning() const = 0;
    // Whether the first page came as a page (status 200); nothing while it
    // is on its way.
    virtual std::optional<bool> FirstPageRead() const = 0;

    // What the engine's row shows and the command-line tool lists.
    virtual const std::string& Name() const = 0;
    virtual const std::string& HomePage() const = 0;
    virtual Kind EngineKind() const = 0;
    // The address it asks, with its parameters left open.
    virtual std::string Template() const = 0;

    // The engine's index in the search, which its reports carry.
    int Index() const { return m_index; }

protected:
    explicit CSearchEngine(int index) : m_index(index) {}

private:
    int m_index;
};

// "builtin", "html" or "feed".
const char* KindName(CSearchEngine::Kind kind);
