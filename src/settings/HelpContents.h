#pragma once

#include <QString>

#include <cstddef>
#include <vector>

// One entry of a help file's contents: its name, its page inside the file
// ("search.html") and how deep it sits (0 for a top-level entry).
struct HelpTopic {
    QString name;
    QString local;
    int depth = 0;
};

// The contents file of a compiled help file is a site map: nested <UL> lists
// of <OBJECT>s whose <param>s give each topic's name and page. Help files are
// downloaded and passed around, so the nesting is capped (deeper entries sit
// at the deepest level) and so is the number of entries.
inline constexpr int kHelpContentsDepthMax = 32;
inline constexpr std::size_t kHelpContentsEntriesMax = 10000;

// The entries in the order they appear, each one at most one level deeper
// than the one before it.
std::vector<HelpTopic> ParseHelpContents(const QString& siteMap);
