#pragma once

#include "download/DownloadItem.h"
#include "download/DownloadMessages.h"
#include "download/FileStatusReporter.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

// One probe of a found file: opens the file's URL with a range request for its
// first bytes, learns the file's length from the answer's headers and what it
// holds from those bytes (download/Mp3Head), and reports status texts, the
// length and the head to the main frame. It never writes a file. A probe worker
// builds one on its own stack, runs Start and destroys it.
class CHttpDownloadInfo final {
public:
    // `stopToken` belongs to the search the probed row was found by: once it
    // is stopped nothing of this probe reaches the main frame any more and a
    // request under way gives up within about 100 ms.
    explicit CHttpDownloadInfo(std::stop_token stopToken = {});
    ~CHttpDownloadInfo();
    CHttpDownloadInfo(const CHttpDownloadInfo&) = delete;
    CHttpDownloadInfo& operator=(const CHttpDownloadInfo&) = delete;

    // Parses m_strUrl (once more with "http://" in front when it does not
    // parse) and probes it; a URL that parses neither way ends silently.
    bool Start();
    void Probe();
    void CloseHandles();

    // The handler the download engine shares: marks the object safe to close,
    // shows m_strError after a failure that was not an abort, and closes the
    // handles. A probe never calls it: its WM_PROBE_FINISHED goes to the main
    // frame, which ignores it, so a failed probe shows nothing.
    platform::LRESULT OnFinished(const ProbeFinished& finished);

    std::string m_strUrl;
    std::string m_strLocalPath;   // the item's file name; the probe does not use it
    DownloadItem m_item;          // the messages carry a copy of it (its address when sent)
    std::string m_strError;
    std::string m_strServer;
    std::string m_strObject;
    std::string m_strFileName;    // not used by the probe
    std::uint16_t m_nPort = 0;
    std::uint32_t m_dwServiceType = 0;
    // Session, connection and request are one libcurl transfer here.
    std::unique_ptr<platform::HttpFile> m_pFile;
    std::atomic<bool> m_bAbort{false};
    bool m_bSafeToClose = false;
    int m_nRequests = 0;          // HTTP requests sent so far (redirects not counted)
    std::uint64_t m_nBytesRead = 0;  // bytes of the files' bodies read for their heads
    bool m_bHeadDigest = false;      // the head's SHA-256 too (Mp3Head::digest)
    // The probe worker's open connections; null: a connection of its own.
    platform::HttpConnections* m_pConnections = nullptr;

private:
    bool AbortRequested() const;
    bool SendRequest();  // m_pFile's, counted
    Mp3Head ReadHead(std::optional<std::uint64_t> knownSize, bool wholeBody, platform::HttpRequestOptions rangeOptions);
    void Fail(unsigned textId, int errorCode);

    std::stop_token m_stopToken;
    // The probe's texts are posted: nothing it reports needs an answer.
    FileStatusReporter m_status{m_item, m_stopToken, true};
};

// The probe worker's procedure: copies the item into a local
// CHttpDownloadInfo, runs it over `connections` (a connection of its own
// when null) and returns 0.
unsigned ProbeThreadProc(DownloadItem item, std::stop_token stopToken,
                         platform::HttpConnections* connections = nullptr);
