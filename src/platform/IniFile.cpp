#include "platform/IniFile.h"

#include "platform/CaseInsensitive.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace platform {
namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// "[name]" gives the name; anything else is not a section line.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const std::size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
}

std::string CleanValue(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kProfileValueMax)
        value = value.substr(0, kProfileValueMax);
    return std::string(value);
}

// Index range [begin, end) of the first section called `section`, the header
// line included; begin == end == lines.size() when there is none.
std::pair<std::size_t, std::size_t> FindSection(const std::vector<std::string_view>& lines, std::string_view section)
{
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i]);
        if (name && EqualsNoCase(*name, section))
            break;
    }
    if (i == lines.size())
        return {lines.size(), lines.size()};
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end]))
        ++end;
    return {i, end};
}

bool WriteLines(const std::vector<std::string>& lines, const std::string& path)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return WriteFileAtomically(path, text);
}

}  // namespace

std::optional<std::string> ReadProfileValue(std::string_view section, std::string_view key, const std::string& path)
{
    return CProfileText(path).Value(section, key);
}

CProfileText::CProfileText(const std::string& path)
{
    m_text = ReadSmallRegularFile(path, kProfileFileMax, &m_state).value_or(std::string{});
}

std::optional<std::string> CProfileText::Value(std::string_view section, std::string_view key) const
{
    if (m_state != SmallFileState::Read)
        return std::nullopt;
    return ReadProfileValueFromText(m_text, section, key);
}

std::string CProfileText::Get(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    if (auto value = Value(section, key))
        return std::move(*value);
    return std::string(defaultValue.substr(0, std::min(defaultValue.size(), kProfileValueMax)));
}

std::optional<std::string> ReadProfileValueFromText(std::string_view content, std::string_view section,
                                                    std::string_view key)
{
    // One pass over the lines, as FindSection would see them: the first
    // section of the name runs to the next section line.
    bool inSection = false;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        const std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        if (const auto name = SectionName(line)) {
            if (inSection)
                return std::nullopt;
            inSection = EqualsNoCase(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        const auto parsed = ParseKeyLine(line);
        if (parsed && EqualsNoCase(parsed->key, Trim(key)))
            return CleanValue(parsed->value);
    }
    return std::nullopt;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    const std::string& path)
{
    return CProfileText(path).Get(section, key, defaultValue);
}

namespace {

// Sets or deletes one key in the lines of a file; false when nothing changed.
bool ApplyProfileChange(std::vector<std::string>& out, std::string_view section, std::string_view key,
                        const std::string* value)
{
    // Looked up afresh in the lines as they are now: earlier changes move lines.
    const std::vector<std::string_view> lines(out.begin(), out.end());
    const auto [begin, end] = FindSection(lines, section);
    const std::string newLine = value ? std::string(Trim(key)) + "=" + *value : std::string{};
    if (begin == lines.size()) {
        if (!value)
            return false;
        out.push_back("[" + std::string(section) + "]");
        out.push_back(newLine);
        return true;
    }
    for (std::size_t i = begin + 1; i < end; ++i) {
        const auto parsed = ParseKeyLine(lines[i]);
        if (parsed && EqualsNoCase(parsed->key, Trim(key))) {
            if (value)
                out[i] = newLine;
            else
                out.erase(out.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    if (!value)
        return false;
    // New keys go after the section's last non-blank line.
    std::size_t at = end;
    while (at > begin + 1 && Trim(lines[at - 1]).empty())
        --at;
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), newLine);
    return true;
}

std::vector<std::string> TextLines(std::string_view content)
{
    std::vector<std::string> out;
    for (std::string_view line : SplitLines(content)) {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        out.emplace_back(line);
    }
    return out;
}

// The lines of the file to be rewritten; nothing when something other than
// a small regular file stands there, which a rewrite would destroy.
std::optional<std::vector<std::string>> FileLines(const std::string& path)
{
    SmallFileState state = SmallFileState::Read;
    const auto content = ReadSmallRegularFile(path, kProfileFileMax, &state);
    if (!content && state != SmallFileState::Missing)
        return std::nullopt;
    return TextLines(content.value_or(std::string{}));
}

}  // namespace

std::string ApplyProfileChangesToText(std::string_view content, std::string_view section, const ProfileChanges& changes)
{
    std::vector<std::string> out = TextLines(content);
    for (const auto& [key, value] : changes)
        ApplyProfileChange(out, section, key, value ? &*value : nullptr);
    std::string text;
    for (const std::string& line : out) {
        text += line;
        text += '\n';
    }
    return text;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, const std::string* value,
                               const std::string& path)
{
    auto lines = FileLines(path);
    if (!lines)
        return false;
    if (!ApplyProfileChange(*lines, section, key, value))
        return true;
    return WriteLines(*lines, path);
}

bool WritePrivateProfileStrings(std::string_view section, const ProfileChanges& changes, const std::string& path)
{
    auto lines = FileLines(path);
    if (!lines)
        return false;
    bool changed = false;
    for (const auto& [key, value] : changes)
        changed = ApplyProfileChange(*lines, section, key, value ? &*value : nullptr) || changed;
    return !changed || WriteLines(*lines, path);
}

bool ReplaceProfileSection(std::string_view section, const std::string& lines, const std::string& path)
{
    SmallFileState state = SmallFileState::Read;
    const std::string content = ReadSmallRegularFile(path, kProfileFileMax, &state).value_or(std::string{});
    if (state != SmallFileState::Read && state != SmallFileState::Missing)
        return false;
    const auto old = SplitLines(content);
    const auto [begin, end] = FindSection(old, section);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (i >= begin && i < end)
            continue;
        std::string line(old[i]);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(std::move(line));
    }
    std::vector<std::string> block{"[" + std::string(section) + "]"};
    for (std::string_view line : SplitLines(lines))
        block.emplace_back(line);
    const std::size_t at = begin == old.size() ? out.size() : begin;
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), block.begin(), block.end());
    return WriteLines(out, path);
}

}  // namespace platform
