#pragma once

#include <cstddef>

// One entry of a command map: the command id, the member that handles it and
// the handler's name (shown by diagnostics and checked by tests).
template <class T>
struct CommandMapEntry {
    unsigned id;
    void (T::*handler)();
    const char* name;
};

template <class T, std::size_t N>
const CommandMapEntry<T>* FindCommandEntry(const CommandMapEntry<T> (&map)[N], unsigned id)
{
    for (const CommandMapEntry<T>& entry : map) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}
