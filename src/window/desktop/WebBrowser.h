#pragma once

#include <string>

namespace platform {

// Whoever opens web addresses: the desktop's browser, or a test's recorder.
class UrlLauncher {
public:
    virtual ~UrlLauncher() = default;
    // Starts the browser on `url` without waiting for it; false when nothing
    // could be started.
    virtual bool OpenUrl(const std::string& url) = 0;
};

// Installs the launcher; returns the previous one. Null restores the default,
// which asks the desktop (xdg-open under X11) to open the address.
UrlLauncher* SetUrlLauncher(UrlLauncher* launcher);

// Opens `url` in the user's web browser; false when that failed.
bool OpenUrlInBrowser(const std::string& url);

}  // namespace platform
