// The profile-file reader on arbitrary files: a language file or Engines.ini
// can hold anything.
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::string InputPath()
{
    static const std::string path = [] {
        char name[] = "/tmp/tunorva-fuzz-ini-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = InputPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    for (const char* section : {"Tunorva", "Engine1", "engine2", ""}) {
        for (const char* key : {"Host", "name", "61228", ""}) {
            const std::string value = platform::GetPrivateProfileString(section, key, "default", path);
            if (value.size() > platform::kProfileValueMax)
                __builtin_trap();
            platform::ReadProfileValue(section, key, path);
        }
    }
    return 0;
}
