// The pages view's Options command.
#include "window/PagesView.h"

#include "platform/AppProfile.h"
#include "window/download/DownloadController.h"
#include "platform/MessageBox.h"
#include "window/settings/OptionsDlg.h"
#include "window/HistoryCombo.h"

void CPagesView::OnOptions()
{
    OnCopyContextUrl();

    COptionsDlg dlg(this);
    dlg.m_strDir = m_strMusicDir;
    dlg.m_bSounds = m_bPlaySound;
    dlg.m_nHistory = m_nMaxHistoryItems;
    dlg.m_nSimultaneous = Downloads().SimultaneousDownloads();
    dlg.m_nSpeedLimit = Downloads().SpeedLimitKBps();
    if (dlg.DoModal() != platform::IDOK)
        return;

    // An emptied entry would make the file-system root the music folder: the
    // folder stays what it was.
    if (!dlg.m_strDir.empty())
        m_strMusicDir = dlg.m_strDir;
    else if (m_strMusicDir.empty())
        m_strMusicDir = platform::GetAppFolders().musicDir;
    if (m_strMusicDir.back() != '/')
        m_strMusicDir += '/';

    m_nMaxHistoryItems = dlg.m_nHistory;
    m_cboArtist->SetHistoryLimit(m_nMaxHistoryItems);
    m_cboSong->SetHistoryLimit(m_nMaxHistoryItems);

    m_bPlaySound = dlg.m_bSounds;

    // Both take effect at once: queued rows may start, running ones slow down.
    Downloads().SetLimits(dlg.m_nSimultaneous, dlg.m_nSpeedLimit);
    SaveSettings();
}
