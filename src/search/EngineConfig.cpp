#include "search/EngineConfig.h"

#include "platform/IniFile.h"

#include <cctype>
#include <mutex>
#include <string_view>

namespace {

std::mutex g_mutex;
EngineConfig g_engines = EngineConfig::Defaults();

}  // namespace

namespace {

bool StartsWithScheme(const std::string& host, std::string_view scheme)
{
    if (host.size() < scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(host[i])) != scheme[i])
            return false;
    }
    return true;
}

// A bare host means http; a host written with its scheme keeps it. A
// trailing '/' is not doubled.
std::string BaseUrlOf(std::string host)
{
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    if (StartsWithScheme(host, "http://") || StartsWithScheme(host, "https://"))
        return host + "/index.asp";
    return "http://" + host + "/index.asp";
}

}  // namespace

std::string EngineConfig::FirstBaseUrl() const
{
    return BaseUrlOf(sites[0].host);
}

std::string EngineConfig::SecondBaseUrl() const
{
    return BaseUrlOf(sites[1].host);
}

EngineConfig EngineConfig::Defaults()
{
    EngineConfig config;
    config.sites[0] = {"127.0.0.1:8931", "Tunorva Demo One", "http://127.0.0.1:8931/"};
    config.sites[1] = {"127.0.0.1:8932", "Tunorva Demo Two", "http://127.0.0.1:8932/"};
    config.sites[2] = {"", "Tunorva Home", "http://127.0.0.1:8931/about"};
    return config;
}

EngineConfig EngineConfig::Load(const std::string& iniPath)
{
    EngineConfig config = Defaults();
    const platform::CProfileText file(iniPath);
    for (std::size_t i = 0; i < config.sites.size(); ++i) {
        const std::string section = "Engine" + std::to_string(i + 1);
        EngineSite& site = config.sites[i];
        // An empty value counts as missing: an engine without a host cannot be searched.
        const auto read = [&](const char* key, std::string& field) {
            std::string value = file.Get(section, key, "");
            if (!value.empty())
                field = std::move(value);
        };
        if (i < 2)
            read("Host", site.host);
        read("Name", site.name);
        read("HomePage", site.homePage);
    }
    return config;
}

EngineConfig Engines()
{
    std::lock_guard lock(g_mutex);
    return g_engines;
}

void SetEngines(const EngineConfig& config)
{
    std::lock_guard lock(g_mutex);
    g_engines = config;
}
