// The pages view's language pass: captions, menu, tab pictures and list headers.
#include "window/PagesView.h"
#include "window/search/FoundFilesModel.h"
#include "window/download/DownloadsModel.h"

#include "window/download/ListCtrlEx.h"
#include "platform/CaseInsensitive.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/download/DownloadController.h"
#include "window/settings/Translate.h"
#include "window/MainFrame.h"

#include <QLabel>
#include <QMenuBar>

namespace {

// Tab pictures of each set: normal, hover, selected for the engine, search,
// download and play-list tabs.
constexpr std::array<int, 12> kEnglishTabSet = {
    IDB_TAB_ENGINES,  IDB_TAB_ENGINES_HOVER,  IDB_TAB_ENGINES_SEL,  IDB_TAB_SEARCH,   IDB_TAB_SEARCH_HOVER,   IDB_TAB_SEARCH_SEL,
    IDB_TAB_DOWNLOAD, IDB_TAB_DOWNLOAD_HOVER, IDB_TAB_DOWNLOAD_SEL, IDB_TAB_PLAYLIST, IDB_TAB_PLAYLIST_HOVER, IDB_TAB_PLAYLIST_SEL,
};
constexpr std::array<int, 12> kArabicTabSet = {
    IDB_TAB_AR_ENGINES,  IDB_TAB_AR_ENGINES_HOVER,  IDB_TAB_AR_ENGINES_SEL,
    IDB_TAB_AR_SEARCH,   IDB_TAB_AR_SEARCH_HOVER,   IDB_TAB_AR_SEARCH_SEL,
    IDB_TAB_AR_DOWNLOAD, IDB_TAB_AR_DOWNLOAD_HOVER, IDB_TAB_AR_DOWNLOAD_SEL,
    IDB_TAB_AR_PLAYLIST, IDB_TAB_AR_PLAYLIST_HOVER, IDB_TAB_AR_PLAYLIST_SEL,
};
constexpr std::array<int, 12> kFrenchTabSet = {
    IDB_TAB_FR_ENGINES, IDB_TAB_FR_ENGINES_HOVER, IDB_TAB_FR_ENGINES_SEL,
    IDB_TAB_FR_SEARCH, IDB_TAB_FR_SEARCH_HOVER, IDB_TAB_FR_SEARCH_SEL,
    IDB_TAB_FR_DOWNLOAD, IDB_TAB_FR_DOWNLOAD_HOVER, IDB_TAB_FR_DOWNLOAD_SEL,
    IDB_TAB_FR_PLAYLIST, IDB_TAB_FR_PLAYLIST_HOVER, IDB_TAB_FR_PLAYLIST_SEL,
};
constexpr std::array<int, 12> kGermanTabSet = {
    IDB_TAB_DE_ENGINES, IDB_TAB_DE_ENGINES_HOVER, IDB_TAB_DE_ENGINES_SEL,
    IDB_TAB_DE_SEARCH, IDB_TAB_DE_SEARCH_HOVER, IDB_TAB_DE_SEARCH_SEL,
    IDB_TAB_DE_DOWNLOAD, IDB_TAB_DE_DOWNLOAD_HOVER, IDB_TAB_DE_DOWNLOAD_SEL,
    IDB_TAB_DE_PLAYLIST, IDB_TAB_DE_PLAYLIST_HOVER, IDB_TAB_DE_PLAYLIST_SEL,
};

// The headers a language file may replace: the hidden "ID" columns are left out.
constexpr int kEngineHeaders = 4;
constexpr int kDownloadHeaders = 6;
constexpr int kFileHeaders = 5;
constexpr int kPlayListHeaders = 3;
constexpr std::size_t kHeaderTextMax = 99;

}  // namespace

void CPagesView::ApplyLanguage()
{
    TranslateWindow(this, 0);
    if (CMainFrame* frame = Frame())
        TranslateMenu(frame->menuBar());
    SelectTabImages();

    unsigned key = IDS_HEADER_FIRST;
    const std::pair<CListCtrlEx*, int> lists[] = {
        {m_lstEngines, kEngineHeaders}, {m_lstDownloads, kDownloadHeaders},
        {m_lstFiles, kFileHeaders},     {m_lstPlayList, kPlayListHeaders}};
    for (const auto& [list, count] : lists) {
        for (int column = 0; column < count; ++column, ++key) {
            if (list == nullptr || column >= list->GetColumnCount())
                continue;
            std::string current = list->GetColumnHeader(column);
            if (current.size() > kHeaderTextMax)
                current.resize(kHeaderTextMax);
            const std::string text = LookupLanguageText(key, current);
            if (!text.empty())
                list->SetColumnHeader(column, text);
        }
    }
    // The play list's tag columns came later than the numbered headers and
    // are texts of their own.
    const unsigned tagHeaders[] = {IDS_HEADER_TITLE, IDS_HEADER_ARTIST, IDS_HEADER_ALBUM, IDS_HEADER_LENGTH,
                                   IDS_HEADER_BITRATE};
    for (int i = 0; i < 5; ++i) {
        const int column = kPlayListHeaders + i;
        if (m_lstPlayList != nullptr && column < m_lstPlayList->GetColumnCount())
            m_lstPlayList->SetColumnHeader(column, LoadLanguageString(tagHeaders[i]));
    }
    // So are the columns of what a probe read from a found file's head.
    const std::pair<int, unsigned> fileHeaders[] = {
        {CFoundFilesModel::Bitrate, IDS_HEADER_BITRATE}, {CFoundFilesModel::Length, IDS_HEADER_LENGTH},
        {CFoundFilesModel::Title, IDS_HEADER_TITLE},     {CFoundFilesModel::Artist, IDS_HEADER_ARTIST},
        {CFoundFilesModel::Sources, IDS_HEADER_SOURCES}};
    for (const auto& [column, id] : fileHeaders) {
        if (m_lstFiles != nullptr && column < m_lstFiles->GetColumnCount())
            m_lstFiles->SetColumnHeader(column, LoadLanguageString(id));
    }
    if (m_lstDownloads != nullptr && CDownloadsModel::Source < m_lstDownloads->GetColumnCount())
        m_lstDownloads->SetColumnHeader(CDownloadsModel::Source, LoadLanguageString(IDS_HEADER_SOURCE));
    // Each list and its tab picture are named after their page, as the
    // page's toolbar button calls it, for the screen readers.
    const std::pair<CListCtrlEx*, unsigned> pages[] = {{m_lstEngines, ID_TB_ENGINES_PAGE},
                                                       {m_lstFiles, ID_TB_SEARCH_PAGE},
                                                       {m_lstDownloads, ID_TB_DOWNLOAD_PAGE},
                                                       {m_lstPlayList, ID_TB_PLAYLIST_PAGE}};
    for (std::size_t k = 0; k < std::size(pages); ++k) {
        const QString name = CommandName(pages[k].second);
        if (pages[k].first != nullptr)
            pages[k].first->setAccessibleName(name);
        if (m_stcTab[k] != nullptr)
            m_stcTab[k]->setAccessibleName(name);
    }
    // So are a download's queued and paused states.
    if (m_pDownloadController)
        m_pDownloadController->ShowStatesInLanguage();
    // The rows keep ids and numbers: they are drawn again in the new language.
    for (CListCtrlEx* list : {m_lstEngines, m_lstFiles, m_lstPlayList}) {
        if (list != nullptr)
            list->Model().LanguageChanged();
    }
}

void CPagesView::SelectTabImages()
{
    // A language without pictures of its own keeps the set that was last loaded.
    const std::string language = GetLanguage();
    if (platform::EqualsNoCase(language, "Arabic"))
        m_nTabBitmaps = kArabicTabSet;
    if (platform::EqualsNoCase(language, "English"))
        m_nTabBitmaps = kEnglishTabSet;
    if (platform::EqualsNoCase(language, "French"))
        m_nTabBitmaps = kFrenchTabSet;
    if (platform::EqualsNoCase(language, "German"))
        m_nTabBitmaps = kGermanTabSet;
    if (m_nSelectedTab >= 0 && m_nSelectedTab < 4)
        SetTabImage(m_stcTab[static_cast<std::size_t>(m_nSelectedTab)], TabImage(m_nSelectedTab, 2));
    PaintTabs();
}
