// The Find/Stop toggle: the one place where a search starts or stops. The
// search itself is the CSearchController's.
#include "window/PagesView.h"

#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/HistoryCombo.h"

#include <QPushButton>

namespace {

// The captions the toggle sets itself are fixed texts, never translated, so
// that the comparison of the stop branch holds in every language.
const char* const kFindCaption = "Find It!";
const char* const kStopCaption = "Stop Searching";

}  // namespace

void CPagesView::OnFindIt()
{
    SearchKeys keys{m_cboArtist->currentText().toStdString(), m_cboSong->currentText().toStdString()};
    // Checked before anything is touched: a running search keeps its keys,
    // which its later engines are still to be started with.
    if (keys.song.empty() && keys.artist.empty()) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_SEARCH_KEYS));
        return;
    }
    if (Search().IsSearching()) {
        Search().Stop();
        return;
    }
    Search().Start(keys);
    m_cboArtist->WriteHistory(true);
    m_cboSong->WriteHistory(true);
}

void CPagesView::SetFindCaption(bool searching)
{
    m_btnFind->setText(QString::fromLatin1(searching ? kStopCaption : kFindCaption));
}
