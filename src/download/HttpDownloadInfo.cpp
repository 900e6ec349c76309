#include "download/HttpDownloadInfo.h"

#include "platform/CRuntime.h"
#include "platform/MessageBox.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "resources/Messages.h"
#include "settings/LanguagePack.h"

#include <utility>

namespace {

// HttpQueryInfoA answers into a 32-byte buffer; a longer value does not fit
// and counts as no answer.
constexpr std::size_t kQueryBufferSize = 32;

// The error code of a URL whose service the HTTP layer does not speak.
constexpr int kUnsupportedService = 1;
// A probe ends within this time, however slowly its server answers, so that
// slow or silent servers cannot hold the probe slots of a search for good.
constexpr int kProbeTimeoutMs = 30000;

}  // namespace

CHttpDownloadInfo::CHttpDownloadInfo(std::stop_token stopToken)
    : m_stopToken(std::move(stopToken))
{
}

CHttpDownloadInfo::~CHttpDownloadInfo()
{
    CloseHandles();
}

bool CHttpDownloadInfo::Start()
{
    if (!platform::AfxParseURL(m_strUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
        m_strUrl = "http://" + m_strUrl;
        if (!platform::AfxParseURL(m_strUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
            CloseHandles();
            return true;
        }
    }
    Probe();
    return true;
}

bool CHttpDownloadInfo::AbortRequested() const
{
    return m_bAbort || m_stopToken.stop_requested() || platform::IsShuttingDown();
}

void CHttpDownloadInfo::Probe()
{
    const auto aborted = [this] {
        if (!AbortRequested())
            return false;
        platform::PostMessage(WM_PROBE_FINISHED, 0, 0, m_stopToken);
        CloseHandles();
        return true;
    };

    platform::HttpRequestOptions options;
    options.headers = {"User-Agent: " + LoadBuiltinString(AFX_IDS_APP_TITLE), "Accept: */*",
                       "Accept-Encoding: identity"};
    options.useTls = m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS;
    options.followRedirects = true;
    options.useSystemProxy = true;
    options.observer = &m_status;
    options.stopToken = m_stopToken;
    // A probe holds one of a few slots: it ends in this time whatever the server does.
    options.totalTimeoutMs = kProbeTimeoutMs;

    // Only http and https URLs can be opened; any other service fails where
    // the connection would have been made.
    if (!platform::IsHttpService(m_dwServiceType)) {
        if (aborted())
            return;
        Fail(IDS_CONNECT_ERROR, kUnsupportedService);
        return;
    }
    m_pFile = std::make_unique<platform::HttpFile>(m_strServer, m_nPort, m_strObject, std::move(options));
    if (m_pFile->ErrorCode() != 0) {
        Fail(IDS_DOWNLOAD_ERROR, m_pFile->ErrorCode());
        return;
    }
    if (aborted())
        return;
    if (!m_pFile->SendRequest()) {
        if (aborted())
            return;
        if (m_pFile->CertificateFailed()) {
            // The row says why the file cannot be had from this server.
            const std::string text =
                AfxFormatString1(LoadLanguageString(IDS_CERTIFICATE_FAILED), m_pFile->ErrorText());
            platform::SendMessage(WM_FILE_STATUS, reinterpret_cast<platform::WPARAM>(&m_item),
                                  reinterpret_cast<platform::LPARAM>(text.c_str()), m_stopToken);
        }
        Fail(IDS_CONNECT_ERROR, m_pFile->ErrorCode());
        return;
    }

    // The status code is not looked at: whatever answer carries a length
    // gives the file its size.
    const auto header = m_pFile->QueryInfo("Content-Length");
    const auto length = header && header->size() < kQueryBufferSize ? platform::ParseContentLength(*header) : std::nullopt;
    if (length) {
        platform::SendMessage(WM_FILE_SIZE_PROBED, reinterpret_cast<platform::WPARAM>(&m_item),
                              static_cast<platform::LPARAM>(*length), m_stopToken);
        const std::string available = LoadBuiltinString(IDS_AVALIABLE);
        platform::SendMessage(WM_FILE_STATUS, reinterpret_cast<platform::WPARAM>(&m_item),
                              reinterpret_cast<platform::LPARAM>(available.c_str()), m_stopToken);
    }
    CloseHandles();
}

void CHttpDownloadInfo::CloseHandles()
{
    if (m_pFile) {
        m_pFile->Close();
        m_pFile.reset();
    }
}

void CHttpDownloadInfo::Fail(unsigned textId, int errorCode)
{
    m_strError = AfxFormatString1(LoadBuiltinString(textId), std::to_string(errorCode));
    platform::PostMessage(WM_PROBE_FINISHED, 1, 0, m_stopToken);
    CloseHandles();
}

platform::LRESULT CHttpDownloadInfo::OnFinished(platform::WPARAM wParam, platform::LPARAM)
{
    m_bSafeToClose = true;
    if (!m_bAbort && wParam == 1)
        platform::AfxMessageBox(m_strError, platform::MB_OK, m_stopToken);
    CloseHandles();
    return 0;
}

unsigned ProbeThreadProc(DownloadItem item, std::stop_token stopToken)
{
    CHttpDownloadInfo info(std::move(stopToken));
    info.m_item = std::move(item);
    info.m_strUrl = info.m_item.strUrl;
    info.m_strLocalPath = info.m_item.strFileName;
    info.Start();
    return 0;
}
