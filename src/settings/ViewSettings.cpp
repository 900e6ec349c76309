// The pages view's side of the settings store.
#include "shell/PagesView.h"

#include "settings/SettingsStore.h"
#include "shell/MainFrame.h"

void CPagesView::LoadSettings()
{
    CMainFrame* frame = Frame();
    Settings settings;
    settings.m_bPlaySound = m_bPlaySound;
    settings.m_strMusicDir = m_strMusicDir;
    settings.m_nMaxHistoryItems = m_nMaxHistoryItems;
    settings.m_strLanguage = frame != nullptr ? frame->m_strLanguage : std::string("English");
    ::LoadSettings(settings);
    m_bPlaySound = settings.m_bPlaySound;
    m_strMusicDir = settings.m_strMusicDir;
    m_nMaxHistoryItems = settings.m_nMaxHistoryItems;
    if (frame != nullptr)
        frame->m_strLanguage = settings.m_strLanguage;
}

void CPagesView::SaveSettings()
{
    CMainFrame* frame = Frame();
    Settings settings;
    settings.m_bPlaySound = m_bPlaySound;
    settings.m_strMusicDir = m_strMusicDir;
    settings.m_nMaxHistoryItems = m_nMaxHistoryItems;
    settings.m_strLanguage = frame != nullptr ? frame->m_strLanguage : std::string("English");
    ::SaveSettings(settings);
}
