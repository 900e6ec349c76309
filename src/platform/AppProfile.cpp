#include "platform/AppProfile.h"

#include "platform/IniFile.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_testPath;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

}  // namespace

std::string AppProfilePath()
{
    {
        std::lock_guard lock(g_mutex);
        if (!g_testPath.empty())
            return g_testPath;
    }
    std::string base;
    // A relative XDG_CONFIG_HOME is invalid and is to be ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.config";
    }
    return base + "/Local AppWizard-Generated Applications/Tunorva.ini";
}

void SetAppProfilePathForTesting(const std::string& path)
{
    std::lock_guard lock(g_mutex);
    g_testPath = path;
}

std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue)
{
    return GetPrivateProfileString(section, key, defaultValue, AppProfilePath());
}

bool WriteProfileString(std::string_view section, std::string_view key, const std::string* value)
{
    const std::string path = AppProfilePath();
    std::optional<std::string> text;
    if (value != nullptr) {
        text = QuoteProfileValue(*value);
        if (!text)
            return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return WritePrivateProfileString(section, key, text ? &*text : nullptr, path);
}

bool WriteProfileStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::optional<std::string>>>& changes)
{
    const std::string path = AppProfilePath();
    ProfileChanges quoted;
    bool all = true;
    for (const auto& [key, value] : changes) {
        if (!value) {
            quoted.emplace_back(key, std::nullopt);
        } else if (auto text = QuoteProfileValue(*value)) {
            quoted.emplace_back(key, std::move(text));
        } else {
            all = false;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return WritePrivateProfileStrings(section, quoted, path) && all;
}

std::optional<std::string> QuoteProfileValue(std::string_view value)
{
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return std::nullopt;
    if (!value.empty() &&
        (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"' || value.front() == '\''))
        return "\"" + std::string(value) + "\"";
    return std::string(value);
}

}  // namespace platform
