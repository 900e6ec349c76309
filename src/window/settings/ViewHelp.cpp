// The pages view's help and home-page commands.
#include "window/PagesView.h"

#include "window/desktop/WebBrowser.h"
#include "window/settings/HelpWindow.h"
#include "window/settings/HomePage.h"
#include "settings/LanguagePack.h"

void OpenHomePage(const std::string& address)
{
    platform::OpenUrlInBrowser("http://" + address);
}

void CPagesView::OnHelpContents()
{
    OnHelpInfo();
}

void CPagesView::OnHelpInfo()
{
    // The manual follows the interface language; a missing file is the
    // help window's to report.
    ShowHelpFile(m_strHelpDir + GetLanguage() + ".chm", this);
}

void CPagesView::OnHomePage()
{
    OpenHomePage(kHomePageAddress);
}
