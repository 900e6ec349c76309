#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// The built-in English string table.

// The English text of a string id, or null when the table has none.
const char* FindBuiltinString(unsigned id);

// CString::LoadString: the English text, empty when the table has none.
std::string LoadBuiltinString(unsigned id);

// AfxFormatString1 / AfxFormatString2: every "%1" (and "%2") of the template
// replaced by the argument.
std::string AfxFormatString1(const std::string& templ, const std::string& arg1);
std::string AfxFormatString2(const std::string& templ, const std::string& arg1, const std::string& arg2);

// The same for a template with more places: every "%N" (N from 1 to 9)
// replaced by the N-th argument; a "%N" without an argument stays as it is.
std::string FormatString(const std::string& templ, std::initializer_list<std::string_view> args);

// `arg` as an isolated run (U+2068 ... U+2069) when `templ` is written right
// to left, unchanged otherwise. A number or a path set into an Arabic
// sentence then keeps its own order and leaves the sentence's order alone;
// left-to-right texts are not touched.
std::string IsolatedFor(const std::string& templ, const std::string& arg);
