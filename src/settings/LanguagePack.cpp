#include "settings/LanguagePack.h"

#include "platform/AppProfile.h"
#include "platform/IniFile.h"
#include "resources/StringTable.h"

#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace {

std::mutex g_languageMutex;
std::string g_language;

// The language file as last read. Looking up a text costs a stat(2) of the
// file; it is read again only when it is another file or has changed, so a
// window full of captions reads it once.
struct LoadedFile {
    std::string path;
    struct stat info {};
    bool exists = false;
    std::shared_ptr<const platform::CProfileText> text;
};
std::mutex g_fileMutex;
LoadedFile g_file;

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mode == b.st_mode &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

std::shared_ptr<const platform::CProfileText> LanguageText(const std::string& path)
{
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    std::lock_guard lock(g_fileMutex);
    if (g_file.text == nullptr || g_file.path != path || g_file.exists != exists ||
        (exists && !SameFile(g_file.info, info))) {
        g_file.path = path;
        g_file.info = info;
        g_file.exists = exists;
        g_file.text = std::make_shared<const platform::CProfileText>(path);
    }
    return g_file.text;
}

// A value cut at the reader's limit may end inside a multi-byte character;
// half a character would show as a stray glyph, so it goes.
void DropSplitCharacter(std::string& text)
{
    if (text.size() < platform::kProfileValueMax)
        return;
    std::size_t start = text.size();
    int continuation = 0;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80 && continuation < 3) {
        --start;
        ++continuation;
    }
    if (start == 0)
        return;
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    int length = 1;
    if ((lead & 0xE0) == 0xC0)
        length = 2;
    else if ((lead & 0xF0) == 0xE0)
        length = 3;
    else if ((lead & 0xF8) == 0xF0)
        length = 4;
    if (length > 1 && continuation + 1 < length)
        text.resize(start - 1);
}

}  // namespace

std::string GetLanguage()
{
    std::lock_guard lock(g_languageMutex);
    return g_language;
}

void SetLanguage(const std::string& name)
{
    {
        std::lock_guard lock(g_languageMutex);
        g_language = name;
    }
    // Choosing a language (again) is a new load of its file.
    std::lock_guard lock(g_fileMutex);
    g_file.text.reset();
}

std::string GetLanguageDir()
{
    return platform::GetAppFolders().dataDir + "/Language/";
}

std::string GetLanguageFile()
{
    return GetLanguageDir() + GetLanguage() + ".ini";
}

std::string GetFlagsDir()
{
    return platform::GetAppFolders().dataDir + "/Flags/";
}

std::string LookupLanguageText(std::string_view key, std::string_view defaultText)
{
    std::string text = LanguageText(GetLanguageFile())->Get("Tunorva", key, defaultText);
    DropSplitCharacter(text);
    return text;
}

platform::SmallFileState LanguageFileState()
{
    return LanguageText(GetLanguageFile())->State();
}

std::string LookupLanguageText(unsigned id, std::string_view defaultText)
{
    return LookupLanguageText(std::to_string(id), defaultText);
}

std::string LoadLanguageString(unsigned id)
{
    const char* english = FindBuiltinString(id);
    if (english == nullptr)
        return {};
    std::string text = LookupLanguageText(id, english);
    return text.empty() ? std::string(english) : text;
}

std::string MenuKey(const std::string& text, int number, int position)
{
    return text + std::to_string(number) + std::to_string(position);
}
