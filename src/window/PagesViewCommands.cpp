// The pages view's command map and the handlers that the other subsystems fill in.
#include "window/PagesView.h"

#include "window/download/ListCtrlEx.h"
#include "resources/Resource.h"
#include "window/CommandMap.h"
#include "resources/Messages.h"

// The map is a member's, so that its handlers may be the view's own.
const CommandMapEntry<CPagesView>* CPagesView::FindCommand(unsigned id)
{
    static const CommandMapEntry<CPagesView> kViewCommands[] = {
        {ID_MENU_ENGINES_PAGE, &CPagesView::ShowEnginesPage, "ShowEnginesPage"},
        {ID_POPUP_ADD_ENGINE, &CPagesView::OnAddEngine, "OnAddEngine"},
        {ID_POPUP_REMOVE_ENGINE, &CPagesView::OnRemoveEngine, "OnRemoveEngine"},
        {ID_POPUP_EDIT_ENGINES_FOLDER, &CPagesView::OnEditEnginesFolder, "OnEditEnginesFolder"},
        {ID_TB_ENGINES_PAGE, &CPagesView::ShowEnginesPage, "ShowEnginesPage"},
        {ID_MENU_SEARCH_PAGE, &CPagesView::ShowSearchPage, "ShowSearchPage"},
        {ID_TB_SEARCH_PAGE, &CPagesView::ShowSearchPage, "ShowSearchPage"},
        {ID_MENU_DOWNLOAD_PAGE, &CPagesView::ShowDownloadPage, "ShowDownloadPage"},
        {ID_TB_DOWNLOAD_PAGE, &CPagesView::ShowDownloadPage, "ShowDownloadPage"},
        {ID_MENU_PLAYLIST_PAGE, &CPagesView::ShowPlayListPage, "ShowPlayListPage"},
        {ID_TB_PLAYLIST_PAGE, &CPagesView::ShowPlayListPage, "ShowPlayListPage"},
        {ID_ACCEL_NEXT_PAGE, &CPagesView::NextPage, "NextPage"},
        {ID_MENU_FIND, &CPagesView::OnFindIt, "OnFindIt"},
        {ID_TB_FIND, &CPagesView::OnFindIt, "OnFindIt"},
        {ID_ACCEL_FIND, &CPagesView::OnFindIt, "OnFindIt"},
        {IDC_FIND, &CPagesView::OnFindIt, "OnFindIt"},
        {ID_TB_COPY_URL, &CPagesView::OnCopyUrl, "OnCopyUrl"},
        {ID_COPY_URL, &CPagesView::OnCopyContextUrl, "OnCopyContextUrl"},
        {ID_DOWNLOAD, &CPagesView::OnDownload, "OnDownload"},
        {ID_POPUP_PREVIEW, &CPagesView::OnPreview, "OnPreview"},
        {ID_POPUP_STOP_PREVIEW, &CPagesView::OnStopPreview, "OnStopPreview"},
        {ID_ACCEL_PREVIEW, &CPagesView::OnTogglePreview, "OnTogglePreview"},
        {ID_TB_DOWNLOAD_FILE, &CPagesView::OnDownloadFile, "OnDownloadFile"},
        {ID_TB_CANCEL_DOWNLOAD, &CPagesView::OnCancelDownload, "OnCancelDownload"},
        {ID_TB_CLEAR_DOWNLOAD, &CPagesView::OnClearDownload, "OnClearDownload"},
        {ID_TB_CANCEL_ALL, &CPagesView::OnCancelAll, "OnCancelAll"},
        {ID_TB_CLEAR_ALL, &CPagesView::OnClearAll, "OnClearAll"},
        {ID_TB_PLAY, &CPagesView::OnPlayFile, "OnPlayFile"},
        {ID_TB_RENAME, &CPagesView::OnRenameFile, "OnRenameFile"},
        {ID_ACCEL_RENAME, &CPagesView::OnRenameFile, "OnRenameFile"},
        {ID_TB_DELETE, &CPagesView::OnDeleteFile, "OnDeleteFile"},
        {ID_ACCEL_DELETE, &CPagesView::OnDeleteFile, "OnDeleteFile"},
        {ID_TB_REFRESH, &CPagesView::OnRefresh, "OnRefresh"},
        {ID_ACCEL_REFRESH, &CPagesView::OnRefresh, "OnRefresh"},
        {ID_MENU_OPTIONS, &CPagesView::OnOptions, "OnOptions"},
        {ID_TB_OPTIONS, &CPagesView::OnOptions, "OnOptions"},
        {ID_MENU_HELP_CONTENTS, &CPagesView::OnHelpContents, "OnHelpContents"},
        {ID_TB_HELP, &CPagesView::OnHelpContents, "OnHelpContents"},
        {ID_HOME_PAGE, &CPagesView::OnHomePage, "OnHomePage"},
    };
    return FindCommandEntry(kViewCommands, id);
}

bool CPagesView::OnCmdMsg(unsigned id)
{
    const CommandMapEntry<CPagesView>* entry = FindCommand(id);
    if (entry == nullptr)
        return false;
    (this->*entry->handler)();
    emit commandHandled(id);
    return true;
}

bool CPagesView::HandlesCommand(unsigned id) const
{
    return FindCommand(id) != nullptr;
}

const char* CPagesView::HandlerName(unsigned id) const
{
    const CommandMapEntry<CPagesView>* entry = FindCommand(id);
    return entry != nullptr ? entry->name : nullptr;
}

platform::LRESULT CPagesView::OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam)
{
    switch (message) {
    case WM_DOWNLOAD_CANCEL_ITEM: return OnDownloadCancelItem(wParam, lParam);
    case WM_DOWNLOAD_CLEAR_ITEM: return OnDownloadClearItem(wParam, lParam);
    case WM_DOWNLOAD_RESUME_ITEM: return OnDownloadResumeItem(wParam, lParam);
    case WM_DOWNLOAD_RETRY_ITEM: return OnDownloadRetryItem(wParam, lParam);
    case WM_PLAYLIST_TAGS:
        return platform::Dispatch<PlayListTags>(message, wParam, lParam,
                                                [this](const PlayListTags& tags) { return OnPlayListTags(tags); });
    case WM_PLAYLIST_LISTED:
        return platform::Dispatch<PlayListListed>(
            message, wParam, lParam, [this](const PlayListListed& listed) { return OnPlayListListed(listed); });
    default: return 0;
    }
}
