#pragma once

#include "download/DownloadItem.h"
#include "platform/Http.h"

#include <stop_token>
#include <string>

// Turns a connection's steps into status texts for a found file's "Status"
// column ("Resolving name: ...", "Connecting to ...", ...), sent with
// WM_FILE_STATUS. Probes and downloads share it.
class FileStatusReporter final : public platform::HttpStatusObserver {
public:
    FileStatusReporter(DownloadItem& item, std::stop_token token) : m_item(item), m_token(std::move(token)) {}

    // WM_FILE_STATUS with the text of string `templateId`, "%1" := `info`.
    void Send(unsigned templateId, const std::string& info = {}) const;

    void OnResolvingName(const std::string& host) override;
    void OnNameResolved(const std::string& address) override;
    void OnConnectingToServer(const std::string& address) override;
    void OnConnectedToServer(const std::string& address) override;
    void OnRedirect(const std::string& url) override;

private:
    DownloadItem& m_item;
    std::stop_token m_token;
};
