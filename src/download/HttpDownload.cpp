#include "download/HttpDownload.h"

#include "download/FileNameFromUrl.h"

#include "platform/CRuntime.h"
#include "platform/CaseInsensitive.h"
#include "platform/Files.h"
#include "platform/LoginPrompt.h"
#include "platform/MessageBox.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace {

// HttpQueryInfoA answers into a 32-byte buffer; a longer value does not fit
// and counts as no answer.
constexpr std::size_t kQueryBufferSize = 32;

// The error code of a URL whose service the HTTP layer does not speak.
constexpr int kUnsupportedService = 1;

// The Internet layer's code for a body that ended before its length.
constexpr int kBodyCutShort = 18;

}  // namespace

CHttpDownload::CHttpDownload(std::shared_ptr<DownloadControl> control)
    : m_control(std::move(control))
    , m_status(m_item, m_control->Token())
{
}

CHttpDownload::~CHttpDownload()
{
    CloseHandles();
}

bool CHttpDownload::Start()
{
    const std::string original = m_strUrl;
    if (!platform::AfxParseURL(m_strUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
        m_strUrl = "http://" + m_strUrl;
        if (!platform::AfxParseURL(m_strUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
            CloseHandles();
            FailBeforeOpen(IDS_BAD_DOWNLOAD_URL, original);
            return true;
        }
    }
    if (!IsSafeDownloadName(m_item.strFileName)) {
        FailBeforeOpen(IDS_BAD_FILE_NAME, m_item.strFileName);
        return true;
    }

    const std::stop_token token = m_control->Token();
    if (platform::FileExists(m_strLocalPath)) {
        const std::string question = AfxFormatString1(LoadBuiltinString(IDS_REPLACE_FILE), m_strLocalPath);
        if (platform::AfxMessageBox(question, platform::MB_YESNO, token) != platform::IDYES) {
            CloseHandles();
            Send(WM_DOWNLOAD_DECLINED, 0);
            return true;
        }
    }
    if (AbortRequested())
        return true;

    if (const int error = m_file.Open(m_strLocalPath); error != 0) {
        m_strError = AfxFormatString1(LoadBuiltinString(IDS_OPEN_FILE_ERROR), std::to_string(error));
        platform::AfxMessageBox(m_strError, platform::MB_OK, token);
        CloseHandles();
        Send(WM_DOWNLOAD_FAILED, reinterpret_cast<platform::LPARAM>(m_strError.c_str()));
        platform::PostMessage(WM_DOWNLOAD_FINISHED, 1, 0, token);
        return true;
    }
    m_bFileOpened = true;
    Transfer();
    return true;
}

void CHttpDownload::Transfer()
{
    if (Checkpoint())
        return;
    // Only http and https URLs can be opened; any other service fails where
    // the connection would have been made.
    if (!platform::IsHttpService(m_dwServiceType)) {
        Fail(IDS_CONNECT_ERROR, kUnsupportedService);
        return;
    }
    platform::HttpRequestOptions options;
    // The song is saved as the server sends it, so it must come unencoded.
    options.headers = {"User-Agent: " + LoadBuiltinString(AFX_IDS_APP_TITLE), "Accept: */*",
                       "Accept-Encoding: identity"};
    options.useTls = m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS;
    options.followRedirects = true;
    options.useSystemProxy = true;
    options.observer = &m_status;
    options.stopToken = m_control->Token();
    options.receiveBufferSize = static_cast<long>(kReadSize);
    m_pFile = std::make_unique<platform::HttpFile>(m_strServer, m_nPort, m_strObject, std::move(options));
    if (m_pFile->ErrorCode() != 0) {
        Fail(IDS_DOWNLOAD_ERROR, m_pFile->ErrorCode());
        return;
    }
    if (Checkpoint())
        return;

    // Send, and send again with a login for as long as the server asks for
    // one and the user gives one, a bounded number of times.
    for (int logins = 0;; ++logins) {
        if (!m_pFile->SendRequest()) {
            if (AbortRequested())
                EndAborted();
            else if (m_pFile->CertificateFailed())
                FailWithText(IDS_CERTIFICATE_FAILED, m_pFile->ErrorText());
            else if (m_pFile->NoValidResponse())
                Fail(IDS_INVALID_RESPONSE, 0);
            else
                Fail(IDS_CONNECT_ERROR, m_pFile->ErrorCode());
            return;
        }
        const int status = m_pFile->StatusCode();
        if (status == 200)
            break;
        if ((status != 401 && status != 407) || logins == kMaxLoginAttempts) {
            Fail(IDS_INVALID_HTTP_RESPONSE, status);
            return;
        }
        // The refusal's own body is thrown away, up to a bound: a server that
        // keeps sending is cut off when the request goes out again.
        char discard[4096];
        for (std::size_t dropped = 0; dropped < kLoginBodyMax;) {
            const std::size_t n = m_pFile->ReadSome(discard, std::min(sizeof discard, kLoginBodyMax - dropped));
            if (n == 0)
                break;
            dropped += n;
        }
        // The login is asked for, and goes to, the server that answered (after
        // redirects), or the proxy; never the address first asked.
        const bool forProxy = status == 407;
        std::string asking = forProxy ? m_pFile->ProxyServer() : m_pFile->AnsweringServer();
        if (asking.empty())
            asking = m_strServer;
        if (!forProxy)
            m_pFile->TargetAnsweringServer();
        platform::Credentials login;
        if (platform::InternetErrorDlg(asking, forProxy, login, m_control->Token()) !=
            platform::ERROR_INTERNET_FORCE_RETRY) {
            // A refused login is a failure, not an empty file that looks done.
            Fail(IDS_INVALID_HTTP_RESPONSE, status);
            return;
        }
        m_strUserName = login.userName;
        m_strPassword = login.password;
        m_pFile->SetCredentials(m_strUserName, m_strPassword, forProxy);
        if (Checkpoint())
            return;
    }

    // A server may compress the answer although it was asked not to; saved
    // as it came, that would be a broken song reported as done.
    if (const auto encoding = m_pFile->QueryInfo("Content-Encoding");
        encoding && !encoding->empty() && !platform::EqualsNoCase(*encoding, "identity")) {
        FailWithText(IDS_COMPRESSED_DOWNLOAD, *encoding);
        return;
    }
    if (Checkpoint())
        return;
    m_status.Send(IDS_GETTING_INFO);
    const auto header = m_pFile->QueryInfo("Content-Length");
    const auto length = header && header->size() < kQueryBufferSize ? platform::ParseContentLength(*header) : std::nullopt;
    if (length) {
        m_figures.bLengthKnown = true;
        m_figures.nLength = *length;
        if (Checkpoint())
            return;
        Send(WM_DOWNLOAD_SIZE, static_cast<platform::LPARAM>(m_figures.nLength));
    }
    if (Checkpoint())
        return;
    m_status.Send(IDS_RETRIEVING);

    m_figures.nStartTick = m_figures.nLastReportTick = TickCount();
    if (!ReadBody())
        return;
    // The layer below reports a body cut short; this catches any that slip by.
    if (m_figures.bLengthKnown && m_figures.nReceived < m_figures.nLength) {
        Fail(IDS_READ_ERROR, kBodyCutShort);
        return;
    }
    m_file.Close();
    if (Checkpoint())
        return;
    Send(WM_DOWNLOAD_DONE, 0);
    CloseHandles();
    platform::PostMessage(WM_DOWNLOAD_FINISHED, 0, 0, m_control->Token());
}

// The read loop: each read is written with one call, then counted in blocks
// of 1024 bytes, as a reader of whole blocks would see them: the figures
// follow each completed block (and the last, short one), and each block
// starts with a pause point.
bool CHttpDownload::ReadBody()
{
    std::vector<char> buffer(kReadSize);
    for (;;) {
        if (Checkpoint())
            return false;
        const std::size_t n = m_pFile->ReadSome(buffer.data(), buffer.size());
        if (n == 0) {
            if (AbortRequested()) {
                EndAborted();
                return false;
            }
            if (m_pFile->Failed()) {
                Fail(IDS_READ_ERROR, m_pFile->ErrorCode());
                return false;
            }
            return m_figures.nReceived % kBlockSize == 0 || SendFigures(ReportProgress(m_figures, TickCount()));
        }
        if (const int error = m_file.Write(buffer.data(), n); error != 0) {
            Fail(IDS_READ_ERROR, error);
            return false;
        }
        for (std::size_t offset = 0; offset < n;) {
            const std::size_t room = kBlockSize - static_cast<std::size_t>(m_figures.nReceived % kBlockSize);
            const std::size_t step = std::min(room, n - offset);
            m_figures.nReceived += step;
            offset += step;
            if (m_figures.nReceived % kBlockSize != 0)
                break;  // the block is still filling
            if (!SendFigures(ReportProgress(m_figures, TickCount())))
                return false;
            if (offset < n && Checkpoint())
                return false;
        }
    }
}

bool CHttpDownload::SendFigures(const FigureMessages& messages)
{
    if (messages.progress) {
        if (Checkpoint())
            return false;
        Send(WM_DOWNLOAD_PROGRESS, static_cast<platform::LPARAM>(*messages.progress));
    }
    if (messages.rate) {
        if (Checkpoint())
            return false;
        Send(WM_DOWNLOAD_RATE, reinterpret_cast<platform::LPARAM>(messages.rate->c_str()));
    }
    if (messages.timeLeft) {
        if (Checkpoint())
            return false;
        Send(WM_DOWNLOAD_TIME_LEFT, reinterpret_cast<platform::LPARAM>(messages.timeLeft->c_str()));
    }
    return true;
}

void CHttpDownload::Send(unsigned message, platform::LPARAM lParam)
{
    platform::SendMessage(message, reinterpret_cast<platform::WPARAM>(&m_item), lParam, m_control->Token());
}

bool CHttpDownload::AbortRequested() const
{
    return m_control->IsAborted() || platform::IsShuttingDown();
}

bool CHttpDownload::Checkpoint()
{
    if (m_control->PausePoint(m_figures.nReceived))
        return false;
    EndAborted();
    return true;
}

// The list has let go of this download (Clear) or the program ends: the
// connection closes, the partial file goes and nothing more is reported.
void CHttpDownload::EndAborted()
{
    CloseHandles();
    m_file.Close();
    if (m_bFileOpened)
        RemoveLocalFile();
    platform::PostMessage(WM_DOWNLOAD_FINISHED, 0, 0, m_control->Token());
}

void CHttpDownload::Fail(unsigned textId, int errorCode)
{
    if (AbortRequested()) {
        EndAborted();
        return;
    }
    if (errorCode == 0)
        errorCode = errno;
    m_strError = AfxFormatString1(LoadBuiltinString(textId), std::to_string(errorCode));
    m_file.Close();
    if (m_bFileOpened)
        RemoveLocalFile();
    CloseHandles();
    Send(WM_DOWNLOAD_FAILED, reinterpret_cast<platform::LPARAM>(m_strError.c_str()));
    platform::PostMessage(WM_DOWNLOAD_FINISHED, 1, 0, m_control->Token());
}

// A failure whose text names its cause: the language's text with `cause`
// for "%1"; the partial file goes as in Fail.
void CHttpDownload::FailWithText(unsigned textId, const std::string& cause)
{
    if (AbortRequested()) {
        EndAborted();
        return;
    }
    m_strError = AfxFormatString1(LoadLanguageString(textId), cause);
    m_file.Close();
    if (m_bFileOpened)
        RemoveLocalFile();
    CloseHandles();
    Send(WM_DOWNLOAD_FAILED, reinterpret_cast<platform::LPARAM>(m_strError.c_str()));
    platform::PostMessage(WM_DOWNLOAD_FINISHED, 1, 0, m_control->Token());
}

// A failure found before any file was touched: nothing to delete.
void CHttpDownload::FailBeforeOpen(unsigned textId, const std::string& arg)
{
    m_strError = AfxFormatString1(LoadLanguageString(textId), arg);
    Send(WM_DOWNLOAD_FAILED, reinterpret_cast<platform::LPARAM>(m_strError.c_str()));
    platform::PostMessage(WM_DOWNLOAD_FINISHED, 1, 0, m_control->Token());
}

void CHttpDownload::RemoveLocalFile()
{
    platform::DeleteFile(m_strLocalPath);
    m_bFileOpened = false;
}

void CHttpDownload::CloseHandles()
{
    if (m_pFile) {
        m_pFile->Close();
        m_pFile.reset();
    }
}

unsigned DownloadThreadProc(DownloadItem item, std::string musicDir, std::shared_ptr<DownloadControl> control)
{
    {
        CHttpDownload download(control);
        download.m_item = std::move(item);
        download.m_strUrl = download.m_item.strUrl;
        download.m_strLocalPath = musicDir + download.m_item.strFileName;
        download.Start();
    }
    control->MarkEnded();
    return 0;
}

std::string DownloadFileName(const std::string& url)
{
    return FileNameFromUrl(url);
}

bool IsSafeDownloadName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}
