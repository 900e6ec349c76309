// The pages view's side of the settings store.
#include "window/PagesView.h"

#include "platform/AppProfile.h"
#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"
#include "settings/SettingsStore.h"
#include "window/MainFrame.h"
#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"

#include <filesystem>

namespace {

// The live values: most on the view, the language on the main frame.
Settings CurrentSettings(const CPagesView& view, const CMainFrame* frame)
{
    Settings settings;
    settings.m_bPlaySound = view.m_bPlaySound;
    settings.m_strMusicDir = view.m_strMusicDir;
    settings.m_nMaxHistoryItems = view.m_nMaxHistoryItems;
    settings.m_strLanguage = frame != nullptr ? frame->m_strLanguage : std::string("English");
    settings.m_nSimultaneousDownloads = view.Downloads().SimultaneousDownloads();
    settings.m_nSpeedLimitKBps = view.Downloads().SpeedLimitKBps();
    if (view.m_lstEngines != nullptr) {
        settings.m_strEngineColumns = view.m_lstEngines->ColumnLayout();
        settings.m_strFileColumns = view.m_lstFiles->ColumnLayout();
        settings.m_strDownloadColumns = view.m_lstDownloads->ColumnLayout();
        settings.m_strPlayListColumns = view.m_lstPlayList->ColumnLayout();
    }
    return settings;
}

}  // namespace

void CPagesView::LoadSettings()
{
    CMainFrame* frame = Frame();
    Settings settings = CurrentSettings(*this, frame);
    const platform::SmallFileState store = ::LoadSettings(settings);
    m_bPlaySound = settings.m_bPlaySound;
    m_strMusicDir = settings.m_strMusicDir;
    m_nMaxHistoryItems = settings.m_nMaxHistoryItems;
    Downloads().SetLimits(settings.m_nSimultaneousDownloads, settings.m_nSpeedLimitKBps);
    if (m_lstEngines != nullptr) {
        m_lstEngines->RestoreColumnLayout(settings.m_strEngineColumns);
        m_lstFiles->RestoreColumnLayout(settings.m_strFileColumns);
        m_lstDownloads->RestoreColumnLayout(settings.m_strDownloadColumns);
        m_lstPlayList->RestoreColumnLayout(settings.m_strPlayListColumns);
    }
    if (frame != nullptr)
        frame->m_strLanguage = settings.m_strLanguage;
    // The default music folder is ours to make (in the user's music folder it
    // does not exist before the first run); a folder the user chose is left
    // alone, it may be on a drive that is not there today.
    if (m_strMusicDir == platform::GetAppFolders().musicDir) {
        std::error_code ec;
        std::filesystem::create_directories(m_strMusicDir, ec);
    }
    // A settings or language file that is ignored (a FIFO, a huge file)
    // would otherwise leave the user wondering why nothing of it shows.
    const auto tell = [](platform::SmallFileState state, const std::string& path) {
        if (state != platform::SmallFileState::Read && state != platform::SmallFileState::Missing)
            platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_FILE_IGNORED), path));
    };
    tell(store, SettingsFilePath());
    tell(LanguageFileState(), GetLanguageFile());
}

void CPagesView::SaveSettings()
{
    ::SaveSettings(CurrentSettings(*this, Frame()));
}
