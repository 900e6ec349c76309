#pragma once

#include <string>

// The text of a string id for the current interface language, with the
// built-in English text as fall-back. Safe to call from any thread.
std::string LoadLanguageString(unsigned id);
