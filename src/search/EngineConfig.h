#pragma once

#include <array>
#include <string>

// The sites the program knows: the two searched engines and a third listed
// one. They come from Engines.ini in the program folder:
//
//   [Engine1]            [Engine2]            [Engine3]
//   Host=host[:port]     Host=host[:port]     Name=...
//   Name=...             Name=...             HomePage=...
//   HomePage=...         HomePage=...
//
// A host may be written with its scheme, "Host=https://search.example[:port]";
// a bare host means http. An IPv6 host is written in brackets, "[::1]:8931".
//
// Missing files or keys fall back to the built-in defaults, which point at
// the local demo engine.
struct EngineSite {
    std::string host;  // empty for the third site
    std::string name;
    std::string homePage;
};

struct EngineConfig {
    std::array<EngineSite, 3> sites;

    // "http://" + host + "/index.asp", or host + "/index.asp" for a host
    // written with its scheme ("https://search.example").
    std::string FirstBaseUrl() const;
    std::string SecondBaseUrl() const;
    const std::string& FirstHost() const { return sites[0].host; }
    const std::string& SecondHost() const { return sites[1].host; }

    static EngineConfig Defaults();
    static EngineConfig Load(const std::string& iniPath);
};

// A copy of the configuration in force: tests and tools set it again while
// workers may still read it.
EngineConfig Engines();
void SetEngines(const EngineConfig& config);
