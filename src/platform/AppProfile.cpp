#include "platform/AppProfile.h"

#include "platform/Files.h"
#include "platform/IniFile.h"

#include <QProcess>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_testPath;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// The XDG base-directory rules: a variable that is unset, empty or relative
// is ignored and the folder below HOME is used.
std::string XdgDir(const std::string& value, const std::string& home, const char* fallback)
{
    if (!value.empty() && value.front() == '/')
        return value;
    return home + fallback;
}

std::string EnvString(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeDir()
{
    std::string home = EnvString("HOME");
    if (!home.empty() && home.front() == '/')
        return home;
    // Started without HOME (from a service or `env -i`): the account's own.
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return "/";
}

// `xdg-user-dir MUSIC`: the first line it prints, or nothing when it is not
// installed, fails, or takes longer than two seconds.
std::optional<std::string> RunXdgUserDirMusic()
{
    QProcess process;
    process.setProgram(QStringLiteral("xdg-user-dir"));
    process.setArguments({QStringLiteral("MUSIC")});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(2000))
        return std::nullopt;
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    std::string out = process.readAllStandardOutput().toStdString();
    if (const auto end = out.find('\n'); end != std::string::npos)
        out.resize(end);
    return out;
}

std::mutex g_musicMutex;
std::optional<std::string> g_musicKey;
std::optional<std::string> g_musicDir;

std::optional<std::string> UserMusicDir()
{
    const std::string key = EnvString("HOME") + '\0' + EnvString("XDG_CONFIG_HOME") + '\0' + EnvString("PATH");
    std::lock_guard lock(g_musicMutex);
    if (g_musicKey != key) {
        g_musicDir = RunXdgUserDirMusic();
        g_musicKey = key;
    }
    return g_musicDir;
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
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

AppFolders ResolveAppFolders(const AppFolderFacts& facts)
{
    AppFolders folders;
    const std::string programDir = WithoutTrailingSlashes(facts.programDir);
    folders.portable = facts.programDirWritable && facts.installedDataDir.empty();
    folders.dataDir = facts.installedDataDir.empty() ? programDir : WithoutTrailingSlashes(facts.installedDataDir);
    if (folders.portable) {
        folders.configDir = programDir;
        folders.tempDir = programDir + "/Temp/";
        folders.musicDir = programDir + "/Music/";
        folders.enginesDir = programDir + "/Engines/";
        return folders;
    }
    const std::string home = WithoutTrailingSlashes(facts.home);
    folders.configDir = WithoutTrailingSlashes(XdgDir(facts.xdgConfigHome, home, "/.config")) + "/Tunorva";
    folders.tempDir = WithoutTrailingSlashes(XdgDir(facts.xdgCacheHome, home, "/.cache")) + "/Tunorva/";
    folders.enginesDir = WithoutTrailingSlashes(XdgDir(facts.xdgDataHome, home, "/.local/share")) + "/Tunorva/engines/";
    std::string music = facts.userMusicDir.value_or("");
    if (music.empty() || music.front() != '/')
        music = home + "/Music";
    folders.musicDir = WithoutTrailingSlashes(music) + "/Tunorva/";
    return folders;
}

AppFolders GetAppFolders()
{
    AppFolderFacts facts;
    facts.programDir = GetProgramDir();
    facts.programDirWritable = access(facts.programDir.c_str(), W_OK) == 0;
    // An installed program runs from <prefix>/bin and finds its files in
    // <prefix>/share/tunorva; it never writes into bin, even as root.
    const std::filesystem::path program(facts.programDir);
    std::error_code ec;
    if (program.filename() == "bin") {
        const auto shared = program.parent_path() / "share" / "tunorva";
        if (std::filesystem::is_directory(shared, ec))
            facts.installedDataDir = shared.string();
    }
    if (facts.programDirWritable && facts.installedDataDir.empty())
        return ResolveAppFolders(facts);
    facts.home = HomeDir();
    facts.xdgConfigHome = EnvString("XDG_CONFIG_HOME");
    facts.xdgCacheHome = EnvString("XDG_CACHE_HOME");
    facts.xdgDataHome = EnvString("XDG_DATA_HOME");
    facts.userMusicDir = UserMusicDir();
    return ResolveAppFolders(facts);
}

}  // namespace platform
