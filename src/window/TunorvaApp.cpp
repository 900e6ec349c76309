#include "window/TunorvaApp.h"

#include "platform/MessageBox.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "window/AboutDlg.h"
#include "window/CommandMap.h"
#include "window/MainFrame.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

CTunorvaApp* g_app = nullptr;

const CommandMapEntry<CTunorvaApp> kAppCommands[] = {
    {ID_APP_ABOUT, &CTunorvaApp::OnAppAbout, "OnAppAbout"},
    {ID_APP_EXIT, &CTunorvaApp::OnAppExit, "OnAppExit"},
};

}  // namespace

CTunorvaApp* AfxGetApp()
{
    return g_app;
}

CTunorvaApp::CTunorvaApp()
{
    g_app = this;
    SetAppCommandTarget(this);
}

CTunorvaApp::~CTunorvaApp()
{
    m_pMainWnd.reset();
    if (g_app == this) {
        g_app = nullptr;
        SetAppCommandTarget(nullptr);
    }
}

bool CTunorvaApp::InitInstance()
{
    // The keyword histories live under this key and the application's name.
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QString::fromStdString(LoadBuiltinString(AFX_IDS_APP_TITLE)));

    auto frame = std::make_unique<CMainFrame>();
    if (!frame->LoadFrame(IDR_MAINFRAME)) {
        frame.reset();
        const char* text = "Tunorva could not create its main window.";
        std::fprintf(stderr, "tunorva: %s\n", text);
        platform::AfxMessageBox(text);
        return false;
    }
    m_pMainWnd = std::move(frame);
    m_pMainWnd->show();
    return true;
}

bool CTunorvaApp::MapHandles(unsigned id)
{
    return FindCommandEntry(kAppCommands, id) != nullptr;
}

const char* CTunorvaApp::HandlerName(unsigned id) const
{
    const CommandMapEntry<CTunorvaApp>* entry = FindCommandEntry(kAppCommands, id);
    return entry != nullptr ? entry->name : nullptr;
}

bool CTunorvaApp::OnCmdMsg(unsigned id)
{
    const CommandMapEntry<CTunorvaApp>* entry = FindCommandEntry(kAppCommands, id);
    if (entry == nullptr)
        return false;
    (this->*entry->handler)();
    return true;
}

void CTunorvaApp::OnAppAbout()
{
    CAboutDlg about(m_pMainWnd.get());
    about.DoModal();
}

void CTunorvaApp::OnAppExit()
{
    // Exit is a close request, so it takes the same shut-down order as the close box.
    if (m_pMainWnd)
        m_pMainWnd->close();
}

bool CTunorvaApp::ShutDownWorkers(std::chrono::milliseconds bound)
{
    platform::BeginShutdown();
    return platform::WaitForWorkers(bound);
}
