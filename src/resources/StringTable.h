#pragma once

#include <string>

// The built-in English string table.

// The English text of a string id, or null when the table has none.
const char* FindBuiltinString(unsigned id);

// CString::LoadString: the English text, empty when the table has none.
std::string LoadBuiltinString(unsigned id);

// AfxFormatString1 / AfxFormatString2: every "%1" (and "%2") of the template
// replaced by the argument.
std::string AfxFormatString1(const std::string& templ, const std::string& arg1);
std::string AfxFormatString2(const std::string& templ, const std::string& arg1, const std::string& arg2);
