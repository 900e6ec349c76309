#include "search/UserEngineFolder.h"

#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>

std::string UserEnginesDir()
{
    return platform::GetAppFolders().enginesDir;
}

UserEngineList LoadUserEngines(const std::string& dir, std::stop_token stop)
{
    UserEngineList list;
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 4 && name.front() != '.' && name.compare(name.size() - 4, 4, ".xml") == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::string base = dir;
    if (!base.empty() && base.back() != '/')
        base += '/';
    for (const std::string& name : names) {
        if (stop.stop_requested() || platform::IsShuttingDown())
            break;
        if (list.engines.size() == kMaxUserEngines) {
            list.problems.push_back(
                AfxFormatString1(LoadLanguageString(IDS_ENGINE_TOO_MANY), std::to_string(kMaxUserEngines)));
            break;
        }
        platform::SmallFileState state = platform::SmallFileState::Read;
        const auto bytes = platform::ReadSmallRegularFile(base + name, kMaxDescriptionBytes, &state);
        DescriptionResult result;
        if (bytes)
            result = ParseOpenSearchDescription(*bytes);
        else
            result.problem = state == platform::SmallFileState::TooLarge ? EngineProblem::TooLarge
                                                                           : EngineProblem::NotXml;
        if (!result.engine) {
            list.problems.push_back(AfxFormatString2(LoadLanguageString(IDS_ENGINE_SKIPPED), name,
                                                     EngineProblemText(result.problem, result.detail)));
            continue;
        }
        result.engine->fileName = name;
        list.engines.push_back(std::move(*result.engine));
    }
    return list;
}

namespace {

// A name of blanks and punctuation alone names nothing.
bool HasNonAscii(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; });
}

}  // namespace

std::string SafeEngineFileName(const std::string& shortName)
{
    std::string stem;
    for (const char c : shortName) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        if (keep)
            stem += c;
        else if (!stem.empty() && stem.back() != '_')
            stem += '_';
    }
    while (!stem.empty() && (stem.front() == '.' || stem.front() == '_'))
        stem.erase(stem.begin());
    if (stem.size() > 60)
        stem.resize(60);
    while (!stem.empty() && (stem.back() == '.' || stem.back() == '_'))
        stem.pop_back();
    if (stem.empty() && !HasNonAscii(shortName))
        return {};
    if (stem.empty()) {
        // A name in another script keeps a stable file of its own.
        std::uint32_t hash = 2166136261u;
        for (const char c : shortName) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 16777619u;
        }
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08x", hash);
        stem = std::string("engine-") + hex;
    }
    return stem + ".xml";
}
