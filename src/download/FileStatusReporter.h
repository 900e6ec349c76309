#pragma once

#include "download/DownloadItem.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"

#include <stop_token>
#include <string>

// Turns a connection's steps into status texts for a found file's "Status"
// column ("Resolving name: ...", "Connecting to ...", ...), sent as a
// FileStatus (download/DownloadMessages.h). Probes and downloads share it.
class FileStatusReporter final : public platform::HttpStatusObserver {
public:
    // With `post` the texts are posted and the reporting thread does not
    // wait for the window (a probe);
    // otherwise each is sent and waited for (a download).
    FileStatusReporter(DownloadItem& item, std::stop_token token, bool post = false)
        : m_item(item), m_token(std::move(token)), m_post(post)
    {
    }

    // A FileStatus with the text of string `templateId`, "%1" := `info`.
    void Send(unsigned templateId, const std::string& info = {}) const;

    void OnResolvingName(const std::string& host) override;
    void OnNameResolved(const std::string& address) override;
    void OnConnectingToServer(const std::string& address) override;
    void OnConnectedToServer(const std::string& address) override;
    void OnRedirect(const std::string& url) override;

private:
    DownloadItem& m_item;
    std::stop_token m_token;
    bool m_post = false;
};
