#include "download/FileStatusReporter.h"

#include "download/DownloadMessages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

void FileStatusReporter::Send(unsigned templateId, const std::string& info) const
{
    FileStatus status{m_item.nItem, m_item.nSearchId, AfxFormatString1(LoadLanguageString(templateId), info), false,
                      templateId, info};
    if (m_post) {
        platform::Post(std::move(status), m_token);
        return;
    }
    platform::Send(status, m_token);
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
