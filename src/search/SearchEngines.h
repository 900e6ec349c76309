#pragma once

#include "search/OpenSearchDescription.h"
#include "search/SearchEngine.h"

#include <memory>
#include <vector>

// The engines of one search, in the order they start: the two built-in
// engines, then the user's engines as the engines folder lists them. Each
// starts once the one before it has finished its first page. This is the
// one place where the kinds of engine are listed.
std::vector<std::unique_ptr<CSearchEngine>> MakeSearchEngines(const std::vector<UserEngine>& userEngines);

// Engines of the built-in kind come first; the user's follow from this index.
inline constexpr int kFirstUserEngine = 2;
