// The main frame's side of the language packs: the language dialog, the
// status-bar prompts and the toolbar tips.
#include "window/MainFrame.h"

#include "resources/Resource.h"
#include "window/settings/LanguageDlg.h"
#include "settings/LanguagePack.h"
#include "window/settings/Translate.h"
#include "window/CommandTables.h"
#include "window/ToolBar.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

namespace {

// Tips are cut to what the tip control's 80-character buffer holds.
constexpr qsizetype kTipMax = 79;

}  // namespace

void CMainFrame::OnLanguageSettings()
{
    CLanguageDlg dialog;
    dialog.DoModal();
}

std::string CMainFrame::GetLanguageFile() const
{
    return ::GetLanguageFile();
}

std::string CMainFrame::GetMessageString(unsigned id) const
{
    return LookupLanguageText(id, " ");
}

std::string CMainFrame::OnToolTipText(unsigned id) const
{
    if (id == 0)
        return {};
    // The cut counts characters, so a tip never ends in half a letter.
    const QString tip = QString::fromStdString(LookupLanguageText(id, ""));
    return tip.left(kTipMax).toStdString();
}

void CMainFrame::RefreshPrompts()
{
    for (auto& [id, action] : m_menuActions) {
        action->setStatusTip(TipDisplayText(QString::fromStdString(GetMessageString(id))));
        action->setEnabled(CanRouteCommand(id));
    }
    if (m_wndStatusBar != nullptr) {
        // The message pane shows the idle prompt whenever no prompt is showing.
        auto* pane = m_wndStatusBar->findChild<QLabel*>(QStringLiteral("messagePane"));
        if (pane == nullptr) {
            pane = new QLabel(m_wndStatusBar);
            pane->setObjectName(QStringLiteral("messagePane"));
            pane->setTextFormat(Qt::PlainText);
            pane->setProperty("controlId", ID_SEPARATOR);
            pane->setAlignment(Qt::AlignLeft | Qt::AlignVCenter | Qt::AlignAbsolute);
            m_wndStatusBar->addWidget(pane, 1);
        }
        pane->setText(QString::fromStdString(GetMessageString(AFX_IDS_IDLEMESSAGE)));
    }
    if (m_wndToolBar == nullptr)
        return;
    for (unsigned id : ToolbarButtons()) {
        if (QAction* action = m_wndToolBar->ButtonAction(id)) {
            action->setStatusTip(TipDisplayText(QString::fromStdString(GetMessageString(id))));
            action->setToolTip(PlainToolTip(TipDisplayText(QString::fromStdString(OnToolTipText(id)))));
            // The buttons show only pictures: a screen reader says the tip's words instead.
            if (QWidget* button = m_wndToolBar->widgetForAction(action))
                button->setAccessibleName(CommandName(id));
        }
    }
}
