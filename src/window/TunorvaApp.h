#pragma once

#include "window/CommandTarget.h"

#include <chrono>
#include <memory>

class CMainFrame;

// The application object: builds and shows the main window and handles the
// application-wide commands (About, Exit).
class CTunorvaApp final : public CCommandTarget {
public:
    CTunorvaApp();
    ~CTunorvaApp();
    CTunorvaApp(const CTunorvaApp&) = delete;
    CTunorvaApp& operator=(const CTunorvaApp&) = delete;

    // Builds and shows the main window. False when it could not be created;
    // the failure has then been reported.
    bool InitInstance();

    // The application's command map.
    bool OnCmdMsg(unsigned id) override;
    bool HandlesCommand(unsigned id) const override { return MapHandles(id); }
    const char* HandlerName(unsigned id) const override;
    static bool MapHandles(unsigned id);

    void OnAppAbout();
    void OnAppExit();

    CMainFrame* MainWindow() const { return m_pMainWnd.get(); }

    // The end of the process: from here on network waits give up and no
    // message reaches a window; waits up to `bound` for the workers to return.
    // True when every worker has ended.
    static bool ShutDownWorkers(std::chrono::milliseconds bound);

private:
    std::unique_ptr<CMainFrame> m_pMainWnd;
};

// The application object of the running program; null when there is none.
CTunorvaApp* AfxGetApp();
