#pragma once

#include "download/DownloadItem.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"

#include <stop_token>
#include <string>

// Turns a connection's steps into status texts for a found file's "Status"
// column ("Resolving name: ...", "Connecting to ...", ...), sent with
// WM_FILE_STATUS. Probes and downloads share it.
class FileStatusReporter final : public platform::HttpStatusObserver {
public:
    // With `post` the texts are posted with copies of the item and the text,
    // and the reporting thread does not wait for the window (a probe);
    // otherwise each is sent and waited for (a download).
    FileStatusReporter(DownloadItem& item, std::stop_token token, bool post = false)
        : m_item(item), m_token(std::move(token)), m_post(post)
    {
    }

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
    bool m_post = false;
};

// Posts `message` to the main frame with wParam pointing to a copy of `item`
// and lParam to a copy of `text` (or, with no text, `value`), both kept until
// the message has been handled.
void PostFileMessage(unsigned message, const DownloadItem& item, std::string text, platform::LPARAM value,
                     std::stop_token token);
