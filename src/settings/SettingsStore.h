#pragma once

#include "platform/Files.h"

#include <string>

// The user settings kept between runs. The pages view and the main
// frame hold the live copies; LoadSettings/SaveSettings move them to and from
// the store, the file Tunorva.ini, section [Tunorva]: beside a portable
// program, else in the user's settings folder (platform::GetAppFolders).
struct Settings {
    int m_bPlaySound = 1;
    std::string m_strMusicDir;  // GetAppFolders().musicDir: program folder + "/Music/" when portable
    int m_nMaxHistoryItems = 10;
    std::string m_strLanguage = "English";
    int m_nSimultaneousDownloads = 4;  // 1..20; more wait as "Queued"
    int m_nSpeedLimitKBps = 0;         // shared by all transfers; 0: none
    // The lists' columns as the user left them: "column:width" in the order
    // shown, comma-separated; empty for the built-in layout.
    std::string m_strEngineColumns;
    std::string m_strFileColumns;
    std::string m_strDownloadColumns;
    std::string m_strPlayListColumns;

    // The values of a first start.
    static Settings Defaults();

    static constexpr int kMaxSimultaneousDownloads = 20;
    static constexpr int kMaxSpeedLimitKBps = 1000000;
};

// Values longer than this are not loaded: the reader's buffer holds no more.
inline constexpr std::size_t kSettingsValueMax = 202;

std::string SettingsFilePath();

// Replaces each field whose stored value can be read; everything else keeps
// its current value. A missing or unreadable file changes nothing, nor does
// one that is no regular file of at most 1 MiB. Returns how the file was
// found (Read, Missing, or why it was ignored).
platform::SmallFileState LoadSettings(Settings& settings);

// Replaces the stored section with exactly these values. Other sections of
// the file stay; a file that cannot be written is left as it was.
void SaveSettings(const Settings& settings);
