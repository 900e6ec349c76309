#include "download/FileStatusReporter.h"

#include "resources/Messages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"

#include <memory>

namespace {

struct FileMessage {
    DownloadItem item;
    std::string text;
};

}  // namespace

void PostFileMessage(unsigned message, const DownloadItem& item, std::string text, platform::LPARAM value,
                     std::stop_token token)
{
    auto payload = std::make_shared<FileMessage>(FileMessage{item, std::move(text)});
    const auto wParam = reinterpret_cast<platform::WPARAM>(&payload->item);
    const platform::LPARAM lParam = payload->text.empty() ? value : reinterpret_cast<platform::LPARAM>(payload->text.c_str());
    platform::PostMessage(message, wParam, lParam, std::move(payload), std::move(token));
}

void FileStatusReporter::Send(unsigned templateId, const std::string& info) const
{
    std::string text = AfxFormatString1(LoadBuiltinString(templateId), info);
    if (m_post) {
        PostFileMessage(WM_FILE_STATUS, m_item, std::move(text), 0, m_token);
        return;
    }
    platform::SendMessage(WM_FILE_STATUS, reinterpret_cast<platform::WPARAM>(&m_item),
                          reinterpret_cast<platform::LPARAM>(text.c_str()), m_token);
}

void FileStatusReporter::OnResolvingName(const std::string& host)
{
    Send(IDS_RESOLVING_NAME, host);
}

void FileStatusReporter::OnNameResolved(const std::string& address)
{
    Send(IDS_RESOLVED_NAME, address);
}

void FileStatusReporter::OnConnectingToServer(const std::string& address)
{
    Send(IDS_CONNECTING, address);
}

void FileStatusReporter::OnConnectedToServer(const std::string& address)
{
    Send(IDS_CONNECTED, address);
}

void FileStatusReporter::OnRedirect(const std::string& url)
{
    Send(IDS_REDIRECTING, url);
}
