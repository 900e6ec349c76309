// The main frame's message map: every numbered message of the workers and
// dialogs goes, as the struct it carries, to its named handler.
#include "window/MainFrame.h"

#include "resources/Messages.h"
#include "window/HistoryCombo.h"
#include "window/PagesView.h"

// The map is a member's, so that its handlers may be the frame's own.
const platform::MessageMapEntry<CMainFrame>* CMainFrame::FindMessage(unsigned message)
{
    using platform::Entry;
    // Each entry names the struct its message carries and the handler that takes it.
    static constexpr platform::MessageMapEntry<CMainFrame> kMessageMap[] = {
        Entry<Mp3Found, &CMainFrame::OnMp3Found>("OnMp3Found"),
        Entry<DownloadProgress, &CMainFrame::OnDownloadProgress>("OnDownloadProgress"),
        Entry<DownloadSize, &CMainFrame::OnDownloadSize>("OnDownloadSize"),
        Entry<FileStatus, &CMainFrame::OnFileStatus>("OnFileStatus"),
        Entry<DownloadTimeLeft, &CMainFrame::OnDownloadTimeLeft>("OnDownloadTimeLeft"),
        Entry<DownloadRate, &CMainFrame::OnDownloadRate>("OnDownloadRate"),
        Entry<FileSizeProbed, &CMainFrame::OnFileSizeProbed>("OnFileSizeProbed"),
        Entry<ClearHistory, &CMainFrame::OnClearHistory>("OnClearHistory"),
        Entry<PageResult, &CMainFrame::OnPageResult>("OnPageResult"),
        Entry<FetchStep, &CMainFrame::OnFetchStep>("OnFetchStep"),
        Entry<DownloadDeclined, &CMainFrame::OnDownloadDeclined>("OnDownloadDeclined"),
        Entry<DownloadDone, &CMainFrame::OnDownloadDone>("OnDownloadDone"),
        Entry<DownloadFailed, &CMainFrame::OnDownloadFailed>("OnDownloadFailed"),
        Entry<DownloadRetrying, &CMainFrame::OnDownloadRetrying>("OnDownloadRetrying"),
        Entry<DownloadValidators, &CMainFrame::OnDownloadValidators>("OnDownloadValidators"),
        Entry<DownloadSource, &CMainFrame::OnDownloadSource>("OnDownloadSource"),
        Entry<DownloadRestarted, &CMainFrame::OnDownloadRestarted>("OnDownloadRestarted"),
        Entry<PageFinished, &CMainFrame::OnPageFinished>("OnPageFinished"),
        Entry<PageCapped, &CMainFrame::OnPageCapped>("OnPageCapped"),
        Entry<PageBodyCapped, &CMainFrame::OnPageBodyCapped>("OnPageBodyCapped"),
        Entry<UserEngineFind, &CMainFrame::OnUserEngineFound>("OnUserEngineFound"),
        Entry<UserEnginePage, &CMainFrame::OnUserEnginePage>("OnUserEnginePage"),
        Entry<UserEngineFirstPage, &CMainFrame::OnUserEngineFirstPage>("OnUserEngineFirstPage"),
        Entry<UserEngineEnded, &CMainFrame::OnUserEngineEnded>("OnUserEngineEnded"),
        Entry<UserEnginesRead, &CMainFrame::OnUserEnginesRead>("OnUserEnginesRead"),
        Entry<ApplyLanguage, &CMainFrame::OnApplyLanguage>("OnApplyLanguage"),
        Entry<LanguageChosen, &CMainFrame::OnLanguageChosen>("OnLanguageChosen"),
    };
    return platform::FindEntry<CMainFrame>(kMessageMap, message);
}

platform::LRESULT CMainFrame::OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam)
{
    // A command from a popup menu owned by this window travels the routing.
    if (message == WM_COMMAND) {
        OnCmdMsg(static_cast<unsigned>(wParam & 0xFFFF));
        return 0;
    }
    // The play list's listings and tag batches belong to the view that shows them.
    if (message == WM_PLAYLIST_TAGS || message == WM_PLAYLIST_LISTED)
        return m_wndView != nullptr ? m_wndView->OnMessage(message, wParam, lParam) : 0;
    const platform::MessageMapEntry<CMainFrame>* entry = FindMessage(message);
    if (entry == nullptr)
        return 0;  // the workers' end notices among others: nothing to do
    return entry->handle(*this, wParam, lParam);
}

platform::LRESULT CMainFrame::OnApplyLanguage(const ApplyLanguage&)
{
    if (m_wndView != nullptr)
        m_wndView->ApplyLanguage();
    RefreshPrompts();
    return 0;
}

platform::LRESULT CMainFrame::OnLanguageChosen(const LanguageChosen&)
{
    return 0;
}

// --- keyword histories
platform::LRESULT CMainFrame::OnClearHistory(const ClearHistory&)
{
    m_wndView->m_cboArtist->EraseHistory(true);
    m_wndView->m_cboSong->EraseHistory(true);
    return 0;
}
