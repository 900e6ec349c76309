#include "search/EngineConfig.h"

#include "platform/IniFile.h"

#include <mutex>

namespace {

std::mutex g_mutex;
EngineConfig g_engines = EngineConfig::Defaults();

}  // namespace

std::string EngineConfig::FirstBaseUrl() const
{
    return "http://" + sites[0].host + "/index.asp";
}

std::string EngineConfig::SecondBaseUrl() const
{
    return "http://" + sites[1].host + "/index.asp";
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
