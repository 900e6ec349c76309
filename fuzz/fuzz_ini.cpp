// The profile-file rules on arbitrary text: a language file, Engines.ini or
// the keyword profile can hold anything. Parsed from memory, so a run costs
// what the parsing costs and not a file write.
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* section : {"tunorva", ""}) {
        for (const char* key : {"Host", "61228"}) {
            const auto value = platform::ReadProfileValueFromText(text, section, key);
            if (value && value->size() > platform::kProfileValueMax)
                __builtin_trap();
        }
    }
    // A key written into any file reads back as written. The writer keeps a
    // string per line, so it is tried on small files only, where the
    // fuzzer's time is best spent.
    if (size > 512)
        return 0;
    const std::string written = platform::ApplyProfileChangesToText(
        text, "Artist Key Word", {{"TunorvaHistory_Artist0", std::string("abba")}, {"TunorvaHistory_Artist1", std::nullopt}});
    if (platform::ReadProfileValueFromText(written, "Artist Key Word", "TunorvaHistory_Artist0") != "abba" ||
        platform::ReadProfileValueFromText(written, "Artist Key Word", "TunorvaHistory_Artist1"))
        __builtin_trap();
    return 0;
}
