// Hearing a found file before downloading it: the view's preview commands.
// The player (window/search/PreviewPlayer) does the playing; its texts go to
// the frame's status bar and its failures to a message box.
#include "window/PagesView.h"

#include "platform/MessageBox.h"
#include "window/MainFrame.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"
#include "window/search/PreviewPlayer.h"

CPreviewPlayer& CPagesView::Preview()
{
    if (m_pPreview == nullptr) {
        m_pPreview = new CPreviewPlayer(this);
        connect(m_pPreview, &CPreviewPlayer::statusChanged, this, [this](const QString& text) {
            if (CMainFrame* frame = Frame())
                frame->SetStatusText(text.toStdString());
        });
        connect(m_pPreview, &CPreviewPlayer::failed, this,
                [](const QString& message) { platform::AfxMessageBox(message.toStdString()); });
    }
    return *m_pPreview;
}

void CPagesView::PreviewRow(int row)
{
    if (const FoundFile* file = m_pFoundFiles->File(row))
        Preview().Play(file->url, file->fileName);
}

// The popup's entry, for the row the right-click chose.
void CPagesView::OnPreview()
{
    PreviewRow(m_item.nItem);
}

void CPagesView::OnStopPreview()
{
    if (m_pPreview != nullptr)
        m_pPreview->Stop();
}

void CPagesView::OnTogglePreview()
{
    const int row = m_lstFiles->GetFirstSelectedItem();
    const FoundFile* file = m_pFoundFiles->File(row);
    if (m_pPreview != nullptr && m_pPreview->IsPlaying() && (file == nullptr || m_pPreview->Url() == file->url)) {
        m_pPreview->Stop();
        return;
    }
    PreviewRow(row);
}
