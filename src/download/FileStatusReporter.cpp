#include "download/FileStatusReporter.h"

#include "resources/Messages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"

void FileStatusReporter::Send(unsigned templateId, const std::string& info) const
{
    const std::string text = AfxFormatString1(LoadBuiltinString(templateId), info);
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
