#include "settings/SettingsStore.h"

#include "platform/AppProfile.h"
#include "platform/CRuntime.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

#include <filesystem>
#include <algorithm>

namespace {

constexpr const char* kSection = "Tunorva";

// The profile reader cuts values at 259 characters, so a longer stored value
// arrives cut, but still longer than the 202 we accept: the cut never lets a
// too-long value through.
static_assert(platform::kProfileValueMax > kSettingsValueMax);

std::optional<std::string> ReadValue(const platform::CProfileText& file, const char* key)
{
    auto value = file.Value(kSection, key);
    if (!value || value->size() > kSettingsValueMax)
        return std::nullopt;
    return value;
}

}  // namespace

Settings Settings::Defaults()
{
    Settings settings;
    settings.m_strMusicDir = platform::GetAppFolders().musicDir;
    return settings;
}

std::string SettingsFilePath()
{
    return platform::GetAppFolders().configDir + "/Tunorva.ini";
}

platform::SmallFileState LoadSettings(Settings& settings)
{
    const platform::CProfileText file(SettingsFilePath());
    if (const auto value = ReadValue(file, "PlaySound"))
        settings.m_bPlaySound = !value->empty() && value->front() == '1' ? 1 : 0;
    if (auto value = ReadValue(file, "MusicDir"))
        settings.m_strMusicDir = std::move(*value);
    if (const auto value = ReadValue(file, "nMaxHistoryItems"))
        settings.m_nMaxHistoryItems = platform::Atoi(*value);
    if (auto value = ReadValue(file, "Language"))
        settings.m_strLanguage = std::move(*value);
    // Out-of-range numbers fall back to the nearest allowed value.
    if (const auto value = ReadValue(file, "SimultaneousDownloads"))
        settings.m_nSimultaneousDownloads = std::clamp(platform::Atoi(*value), 1, Settings::kMaxSimultaneousDownloads);
    if (const auto value = ReadValue(file, "SpeedLimitKBps"))
        settings.m_nSpeedLimitKBps = std::clamp(platform::Atoi(*value), 0, Settings::kMaxSpeedLimitKBps);
    for (auto [key, field] : {std::pair{"EngineListColumns", &Settings::m_strEngineColumns},
                              std::pair{"FileListColumns", &Settings::m_strFileColumns},
                              std::pair{"DownloadListColumns", &Settings::m_strDownloadColumns},
                              std::pair{"PlayListColumns", &Settings::m_strPlayListColumns}}) {
        if (auto value = ReadValue(file, key))
            settings.*field = std::move(*value);
    }
    return file.State();
}

void SaveSettings(const Settings& settings)
{
    std::string lines;
    const auto add = [&lines](const char* key, const std::string& value) {
        // A value with a line break cannot stand on one line; leaving it out
        // keeps the default at the next start instead of breaking the file.
        if (const auto text = platform::QuoteProfileValue(value))
            lines += std::string(key) + "=" + *text + "\n";
    };
    add("PlaySound", settings.m_bPlaySound != 0 ? "1" : "0");
    add("MusicDir", settings.m_strMusicDir);
    add("nMaxHistoryItems", std::to_string(settings.m_nMaxHistoryItems));
    add("Language", settings.m_strLanguage);
    add("SimultaneousDownloads", std::to_string(settings.m_nSimultaneousDownloads));
    add("SpeedLimitKBps", std::to_string(settings.m_nSpeedLimitKBps));
    // A list without a layout of the user's keeps the built-in one.
    for (auto [key, value] : {std::pair{"EngineListColumns", &settings.m_strEngineColumns},
                              std::pair{"FileListColumns", &settings.m_strFileColumns},
                              std::pair{"DownloadListColumns", &settings.m_strDownloadColumns},
                              std::pair{"PlayListColumns", &settings.m_strPlayListColumns}}) {
        if (!value->empty())
            add(key, *value);
    }
    if (!lines.empty())
        lines.pop_back();
    // The user's own settings folder may not exist yet on a first run.
    const std::string path = SettingsFilePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    platform::ReplaceProfileSection(kSection, lines, path);
}
