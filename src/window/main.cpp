// Tunorva's entry point: one main window on the user-interface thread.
#include "window/desktop/DesktopLoginDialog.h"
#include "window/desktop/DesktopMessageBox.h"
#include "platform/AppProfile.h"
#include "platform/Http.h"
#include "search/EngineConfig.h"
#include "window/TunorvaApp.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#ifdef TUNORVA_HAVE_PICTURES
static void InitPictures()
{
    Q_INIT_RESOURCE(pictures);
}
#else
static void InitPictures() {}
#endif

int main(int argc, char** argv)
{
    platform::InitHttp();
    QApplication qtApp(argc, argv);
    InitPictures();
    SetEngines(EngineConfig::Load(platform::GetAppFolders().configDir + "/Engines.ini"));
    platform::DesktopMessageBox messageBoxes;
    platform::SetMessageBoxResponder(&messageBoxes);
    platform::DesktopLoginDialog loginDialog;
    platform::SetLoginResponder(&loginDialog);

    int status = 1;
    {
        CTunorvaApp app;
        if (app.InitInstance())
            status = QApplication::exec();
        // Workers still blocked on the network give up now; those that do not
        // return in time end with the process.
        CTunorvaApp::ShutDownWorkers(std::chrono::seconds(3));
        platform::SetMessageBoxResponder(nullptr);
        platform::SetLoginResponder(nullptr);
    }
    // Static objects are left alone: a worker that has not returned may
    // still be using them.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
