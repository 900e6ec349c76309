#pragma once

#include "platform/MessageChannel.h"
#include "search/SearchMessages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// What an engine knows of a file it found before anyone asked the file's
// server. The page engines know nothing more than the address; engines that
// read a catalogue fill what the catalogue says.
struct FileFacts {
    std::optional<std::int64_t> size;
    std::optional<double> lengthSeconds;
    std::string title;
    std::string artist;
    std::string album;
    std::vector<std::string> mirrors;
};

// The typed reports of a search's engines. `engine` is the engine's index in
// the search (CSearchEngine::Index).
struct EngineFileFound {
    int engine = 0;
    std::string url;
    std::string fileName;  // the name the file is saved under
    FileFacts facts;
};

struct EnginePageRead {
    int engine = 0;
    std::string url;
    bool found = false;  // the page held at least one MP3 link
};

// A page of the engine is done; after its first, the next engine starts.
struct EnginePageDone {
    int engine = 0;
};

// The engine has reported its last page; `problem`, when not empty, says why
// it ended early, naming the engine.
struct EngineEnded {
    int engine = 0;
    std::string problem;
};

using EngineReport = std::variant<EngineFileFound, EnginePageRead, EnginePageDone, EngineEnded>;

// The report each engine message carries; nothing for other messages.
std::optional<EngineReport> ReadEngineReport(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam);

// The same for a message already at hand.
EngineReport ToReport(const Mp3Found& message);
EngineReport ToReport(const PageResult& message);
EngineReport ToReport(const PageFinished& message);
EngineReport ToReport(const UserEngineFind& message);
EngineReport ToReport(const UserEnginePage& message);
EngineReport ToReport(const UserEngineFirstPage& message);
EngineReport ToReport(const UserEngineEnded& message);
