// Engine descriptions as anyone might write them: read, and every template
// expanded for a few pages.
#include "search/OpenSearchDescription.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const DescriptionResult result =
        ParseOpenSearchDescription(std::string_view(reinterpret_cast<const char*>(data), size));
    if (result.engine.has_value() != (result.problem == EngineProblem::None))
        __builtin_trap();
    if (!result.engine)
        return 0;
    for (int page = 0; page < 3; ++page) {
        // A usable engine never has a required parameter left unfilled.
        if (!ExpandTemplate(*result.engine, "a%20b", page))
            __builtin_trap();
    }
    return 0;
}
