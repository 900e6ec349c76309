#pragma once

#include "resources/Messages.h"

#include <string>

// What the settings dialogs tell the main frame.

// Options: the keyword histories are to be emptied.
struct ClearHistory {
    static constexpr unsigned kMessage = WM_CLEAR_HISTORY;
};

// The language has changed (chosen, or put back): the window's texts follow.
struct ApplyLanguage {
    static constexpr unsigned kMessage = WM_APPLY_LANGUAGE;
};

// The language dialog was closed with OK.
struct LanguageChosen {
    static constexpr unsigned kMessage = WM_LANGUAGE_CHOSEN;
    std::string language;
};
