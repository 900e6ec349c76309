// The pages view's side of the settings store.
#include "window/PagesView.h"

#include "settings/SettingsStore.h"
#include "window/MainFrame.h"

namespace {

// The live values: most on the view, the language on the main frame.
Settings CurrentSettings(const CPagesView& view, const CMainFrame* frame)
{
    Settings settings;
    settings.m_bPlaySound = view.m_bPlaySound;
    settings.m_strMusicDir = view.m_strMusicDir;
    settings.m_nMaxHistoryItems = view.m_nMaxHistoryItems;
    settings.m_strLanguage = frame != nullptr ? frame->m_strLanguage : std::string("English");
    settings.m_nSimultaneousDownloads = view.m_nSimultaneousDownloads;
    settings.m_nSpeedLimitKBps = view.m_nSpeedLimitKBps;
    return settings;
}

}  // namespace

void CPagesView::LoadSettings()
{
    CMainFrame* frame = Frame();
    Settings settings = CurrentSettings(*this, frame);
    ::LoadSettings(settings);
    m_bPlaySound = settings.m_bPlaySound;
    m_strMusicDir = settings.m_strMusicDir;
    m_nMaxHistoryItems = settings.m_nMaxHistoryItems;
    m_nSimultaneousDownloads = settings.m_nSimultaneousDownloads;
    m_nSpeedLimitKBps = settings.m_nSpeedLimitKBps;
    ApplyDownloadLimits();
    if (frame != nullptr)
        frame->m_strLanguage = settings.m_strLanguage;
}

void CPagesView::SaveSettings()
{
    ::SaveSettings(CurrentSettings(*this, Frame()));
}
