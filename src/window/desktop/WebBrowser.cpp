#include "window/desktop/WebBrowser.h"

#include <QDesktopServices>
#include <QUrl>

#include <atomic>

namespace platform {
namespace {

class DesktopUrlLauncher final : public UrlLauncher {
public:
    bool OpenUrl(const std::string& url) override
    {
        const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
        return address.isValid() && QDesktopServices::openUrl(address);
    }
};

DesktopUrlLauncher g_desktopLauncher;
std::atomic<UrlLauncher*> g_launcher{nullptr};

}  // namespace

UrlLauncher* SetUrlLauncher(UrlLauncher* launcher)
{
    return g_launcher.exchange(launcher);
}

bool OpenUrlInBrowser(const std::string& url)
{
    UrlLauncher* launcher = g_launcher.load();
    return (launcher != nullptr ? launcher : &g_desktopLauncher)->OpenUrl(url);
}

}  // namespace platform
