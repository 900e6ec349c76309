// The Find/Stop toggle: the one place where a search starts or stops.
#include "window/PagesView.h"

#include "window/download/ListCtrlEx.h"
#include "download/ProbeQueue.h"
#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "search/NavigateToMp3.h"
#include "search/SearchQuery.h"
#include "settings/LanguagePack.h"
#include "window/HistoryCombo.h"
#include "window/ProgressCtrl.h"

#include <QLabel>
#include <QPushButton>

namespace {

// The captions the toggle sets itself are fixed texts, never translated, so
// that the comparison of the stop branch holds in every language.
const char* const kFindCaption = "Find It!";
const char* const kStopCaption = "Stop Searching";

}  // namespace

void CPagesView::OnFindIt()
{
    std::string artist = m_cboArtist->currentText().toStdString();
    std::string song = m_cboSong->currentText().toStdString();
    // Checked before anything is touched: a running search keeps its request,
    // which its second engine is still to be started from.
    if (song.empty() && artist.empty()) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_SEARCH_KEYS));
        return;
    }
    m_strSearchType.clear();
    m_strSearchUrl.clear();
    m_strFindButtonText.clear();
    m_strArtist = std::move(artist);
    m_strSong = std::move(song);
    m_bSecondEngineStarted = 0;
    // The toggle's caption follows the search's state; it is never read back.
    m_strFindButtonText = m_bSearching ? kStopCaption : kFindCaption;

    if (m_pNavigator1 && m_bSearching) {
        // Releasing a handle stops its chains: nothing more of them is
        // requested or reported. The rows found so far stay.
        SetSearching(false);
        m_pNavigator1.reset();
        StopUserEngines();
        if (!m_pNavigator2)
            return;
        m_pNavigator2.reset();
        return;
    }

    SetSearching(true);
    m_stcFilesCount->setText(QStringLiteral("0"));
    m_stcAvailableCount->setText(QStringLiteral("0"));
    m_ctlProgress->SetPos(0);
    m_nFoundFiles = 0;
    m_nAvailableFiles = 0;
    // A search still running from before is replaced: both of its engines stop.
    m_pNavigator2.reset();
    StopUserEngines();
    m_pNavigator1 = std::make_unique<CNavigateToMp3>();
    m_filesListStop.request_stop();
    m_filesListStop = std::stop_source();
    ++m_nFilesSearchId;
    m_lstFiles->DeleteAllItems();
    // The music folder as it is now, for the new rows' states.
    UpdateFoundFileStates(true);
    m_lstEngines->SetItemText(0, EngineFiles, "0");
    m_lstEngines->SetItemText(1, EngineFiles, "0");
    ResetUserEngineRows();
    m_cboArtist->WriteHistory(true);
    m_cboSong->WriteHistory(true);
    m_strSearchType = DeriveSearchType(m_strArtist, m_strSong);
    m_strSearchUrl = BuildEngineUrl(Engines().FirstBaseUrl(), m_strSearchType, m_strArtist, m_strSong);
    m_lstEngines->SetItemImage(0, IMG_ENGINE_AT_WORK);
    m_pNavigator1->m_strPageKey = "start";
    m_pNavigator1->StartNavigation(m_strSearchUrl, 1);
}

void CPagesView::OnSearchChainEnded()
{
    if (!m_bSearching || m_bSecondEngineStarted == 0)
        return;
    if ((m_pNavigator1 && m_pNavigator1->IsRunning()) || (m_pNavigator2 && m_pNavigator2->IsRunning()) ||
        UserEnginesRunning())
        return;
    SetSearching(false);
    m_pNavigator1.reset();
    m_pNavigator2.reset();
    StopUserEngines();
}

void CPagesView::SetSearching(bool searching)
{
    m_bSearching = searching;
    m_btnFind->setText(QString::fromLatin1(searching ? kStopCaption : kFindCaption));
}
