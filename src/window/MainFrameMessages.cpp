// The main frame's message map: every numbered message of the workers and
// dialogs goes to its named handler.
#include "window/MainFrame.h"

#include "resources/Messages.h"
#include "window/HistoryCombo.h"
#include "window/PagesView.h"

namespace {

using Handler = platform::LRESULT (CMainFrame::*)(platform::WPARAM, platform::LPARAM);

struct MessageMapEntry {
    unsigned message;
    Handler handler;
    const char* name;
};

const MessageMapEntry kMessageMap[] = {
    {WM_MP3_FOUND, &CMainFrame::OnMp3Found, "OnMp3Found"},
    {WM_DOWNLOAD_PROGRESS, &CMainFrame::OnDownloadProgress, "OnDownloadProgress"},
    {WM_DOWNLOAD_SIZE, &CMainFrame::OnDownloadSize, "OnDownloadSize"},
    {WM_FILE_STATUS, &CMainFrame::OnFileStatus, "OnFileStatus"},
    {WM_DOWNLOAD_TIME_LEFT, &CMainFrame::OnDownloadTimeLeft, "OnDownloadTimeLeft"},
    {WM_DOWNLOAD_RATE, &CMainFrame::OnDownloadRate, "OnDownloadRate"},
    {WM_FILE_SIZE_PROBED, &CMainFrame::OnFileSizeProbed, "OnFileSizeProbed"},
    {WM_CLEAR_HISTORY, &CMainFrame::OnClearHistory, "OnClearHistory"},
    {WM_PAGE_RESULT, &CMainFrame::OnPageResult, "OnPageResult"},
    {WM_FETCH_STEP, &CMainFrame::OnFetchStep, "OnFetchStep"},
    {WM_DOWNLOAD_DECLINED, &CMainFrame::OnDownloadDeclined, "OnDownloadDeclined"},
    {WM_DOWNLOAD_DONE, &CMainFrame::OnDownloadDone, "OnDownloadDone"},
    {WM_DOWNLOAD_FAILED, &CMainFrame::OnDownloadFailed, "OnDownloadFailed"},
    {WM_DOWNLOAD_RETRYING, &CMainFrame::OnDownloadRetrying, "OnDownloadRetrying"},
    {WM_DOWNLOAD_VALIDATORS, &CMainFrame::OnDownloadValidators, "OnDownloadValidators"},
    {WM_PAGE_FINISHED, &CMainFrame::OnPageFinished, "OnPageFinished"},
    {WM_PAGE_CAPPED, &CMainFrame::OnPageCapped, "OnPageCapped"},
    {WM_PAGE_BODY_CAPPED, &CMainFrame::OnPageBodyCapped, "OnPageBodyCapped"},
    {WM_USER_ENGINE_FOUND, &CMainFrame::OnUserEngineFound, "OnUserEngineFound"},
    {WM_USER_ENGINE_PAGE, &CMainFrame::OnUserEnginePage, "OnUserEnginePage"},
    {WM_USER_ENGINE_FIRST_PAGE, &CMainFrame::OnUserEngineFirstPage, "OnUserEngineFirstPage"},
    {WM_USER_ENGINE_ENDED, &CMainFrame::OnUserEngineEnded, "OnUserEngineEnded"},
    {WM_APPLY_LANGUAGE, &CMainFrame::OnApplyLanguage, "OnApplyLanguage"},
    {WM_LANGUAGE_CHOSEN, &CMainFrame::OnLanguageChosen, "OnLanguageChosen"},
};

const MessageMapEntry* FindMessage(unsigned message)
{
    for (const MessageMapEntry& entry : kMessageMap) {
        if (entry.message == message)
            return &entry;
    }
    return nullptr;
}

}  // namespace

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
    const MessageMapEntry* entry = FindMessage(message);
    if (entry == nullptr)
        return 0;  // the workers' end notices among others: nothing to do
    return (this->*entry->handler)(wParam, lParam);
}

const char* CMainFrame::MessageHandlerName(unsigned message)
{
    const MessageMapEntry* entry = FindMessage(message);
    return entry != nullptr ? entry->name : nullptr;
}

platform::LRESULT CMainFrame::OnApplyLanguage(platform::WPARAM, platform::LPARAM)
{
    if (m_wndView != nullptr)
        m_wndView->ApplyLanguage();
    RefreshPrompts();
    return 0;
}

platform::LRESULT CMainFrame::OnLanguageChosen(platform::WPARAM, platform::LPARAM)
{
    return 0;
}

// --- keyword histories
platform::LRESULT CMainFrame::OnClearHistory(platform::WPARAM, platform::LPARAM)
{
    m_wndView->m_cboArtist->EraseHistory(true);
    m_wndView->m_cboSong->EraseHistory(true);
    return 0;
}
