#include "download/HttpDownload.h"

#include "download/AnswerClass.h"
#include "download/DownloadNotices.h"
#include "download/FileNameFromUrl.h"
#include "download/Mp3Check.h"
#include "platform/CRuntime.h"
#include "platform/CaseInsensitive.h"
#include "platform/Files.h"
#include "platform/LoginPrompt.h"
#include "platform/MessageBox.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "download/DownloadMessages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The error code of a URL whose service the HTTP layer does not speak.
constexpr int kUnsupportedService = 1;

// The Internet layer's code for a body that ended before its length.
constexpr int kBodyCutShort = 18;

// "The server answered 404": what a download that got an answer it cannot
// use says, in the row and in the found file's status.
std::string ServerAnswered(int status)
{
    return AfxFormatString1(LoadLanguageString(IDS_SERVER_ANSWERED), std::to_string(status));
}

}  // namespace

CHttpDownload::CHttpDownload(std::shared_ptr<DownloadControl> control, DownloadOptions options)
    : m_control(std::move(control))
    , m_options(std::move(options))
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
    // A first address that cannot be parsed (or is too long for any server)
    // hands the download to the next one before anything is written.
    if (original.size() > kMaxAddressBytes ||
        !platform::ParseUrlAssumingHttp(m_strUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
        CloseHandles();
        if (!NextSource()) {
            FailBeforeOpen(IDS_BAD_DOWNLOAD_URL, original);
            return true;
        }
    }
    m_bBeganSecure = m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS;
    if (!IsSafeDownloadName(m_item.strFileName)) {
        FailBeforeOpen(IDS_BAD_FILE_NAME, m_item.strFileName);
        return true;
    }

    const std::stop_token token = m_control->Token();
    // Yes only marks the file for replacing: the old song stays whole until
    // the new one is complete and checked.
    if (platform::FileExists(m_strLocalPath)) {
        if (!m_options.replaceConfirmed) {
            const std::string question = AfxFormatString1(LoadLanguageString(IDS_REPLACE_FILE), IsolatedFor(LoadLanguageString(IDS_REPLACE_FILE), m_strLocalPath));
            if (platform::AfxMessageBox(question, platform::MB_YESNO, token) != platform::IDYES) {
                CloseHandles();
                Send(DownloadDeclined{m_item.nSlot});
                return true;
            }
        }
        m_bReplace = true;
    }
    if (AbortRequested())
        return true;

    m_strPartPath = PartFilePath(m_strLocalPath);
    if (const int error = m_file.Open(m_strPartPath); error != 0) {
        std::string text = AfxFormatString1(LoadLanguageString(IDS_OPEN_FILE_ERROR), std::to_string(error));
        platform::AfxMessageBox(text, platform::MB_OK, token);
        EndFailed(std::move(text));
        return true;
    }
    m_bFileOpened = true;
    // Bytes an earlier run left are kept only where its record names their
    // source and they fit the file's length. From this URL they are resumed
    // with its validators; from another of the file's addresses (a Retry
    // after the download moved on) this one must first send back their end.
    if (m_file.Size() > 0) {
        const auto saved = LoadResumeState(ResumeStatePath(m_strPartPath));
        const bool fits = saved && saved->HasValidator() && (saved->nLength == 0 || m_file.Size() <= saved->nLength);
        if (fits && saved->strUrl == m_strUrl) {
            m_state = *saved;
        } else if (fits) {
            m_state.nLength = saved->nLength;
            m_bConfirmTail = true;
        } else if (!StartOver(saved && !saved->HasValidator()
                                  // Without an ETag or a date the bytes kept may be of another
                                  // version of the file: it starts over, and says why.
                                  ? LoadLanguageString(IDS_RESTART_NO_VALIDATORS)
                                  : std::string("the part file has no record of its source"))) {
            return true;
        }
    }
    m_state.strUrl = m_strUrl;
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
    int restarts = 0;
    for (int retry = 0;;) {
        const TryEnd end = TryOnce();
        if (end == TryEnd::Ended)
            return;
        if (end == TryEnd::AskForMore)
            continue;
        if (end == TryEnd::Restart) {
            if (++restarts <= kMaxRestarts)
                continue;
            if (FailAtAddress(IDS_INVALID_HTTP_RESPONSE, 206) == TryEnd::Ended)
                return;
        }
        // A final answer from this server, or its last try spent: the file's
        // next address, else the failure.
        if (end == TryEnd::NextSource || end == TryEnd::Restart || retry >= m_options.retry.nRetries) {
            if (!m_item.strOtherSources.empty() && Checkpoint())
                return;
            if (NextSource(end == TryEnd::Retry)) {
                retry = 0;
                restarts = 0;
                continue;
            }
            FailWithPending();
            return;
        }
        if (!WaitBeforeRetry(++retry))
            return;
    }
}

// One try: the request (a range from where the part file ends, when it has
// bytes), the password step, the answer's validators and the body.
CHttpDownload::TryEnd CHttpDownload::TryOnce()
{
    CloseHandles();
    const std::uint64_t kept = m_file.Size();
    // Bytes from another source are not added to until this one has sent
    // back the part file's end: the range starts that far before it.
    const std::uint64_t overlap = m_bConfirmTail ? std::min(kept, kConfirmBytes) : 0;
    const std::uint64_t from = kept - overlap;
    m_pFile = std::make_unique<platform::HttpFile>(m_strServer, m_nPort, m_strObject, RequestOptions(from, kept > 0));
    if (m_pFile->ErrorCode() != 0)
        return FailAtAddress(IDS_DOWNLOAD_ERROR, m_pFile->ErrorCode());
    if (Checkpoint())
        return TryEnd::Ended;
    if (const std::optional<TryEnd> end = SendWithLogins())
        return *end;

    const int status = m_pFile->StatusCode();
    switch (ClassifyAnswer(status, kept > 0)) {
    case AnswerClass::RetryLater: {
        std::optional<std::uint64_t> retryAfter;
        if (const auto value = m_pFile->QueryInfo("Retry-After"))
            retryAfter = ParseRetryAfter(*value, std::time(nullptr));
        const TryEnd end = Retry(IDS_INVALID_HTTP_RESPONSE, status, ServerAnswered(status), retryAfter);
        // When the tries are spent the row says what the server answered.
        m_pending.text = ServerAnswered(status);
        return end;
    }
    case AnswerClass::RangeNotSatisfied:
        // Short of the part file's end, the server's file is not the one
        // the part file holds.
        if (overlap > 0)
            return StartOver("the next address does not have the bytes the part file holds") ? TryEnd::Restart
                                                                                              : TryEnd::Ended;
        return RangeNotSatisfied(from);
    case AnswerClass::Fail:
        // A file gone from this server (404, 410) may still be at another
        // of its addresses; no try here would change the answer. The row and
        // the found file say what the server answered, as the probe does.
        return FailAtAddress(ServerAnswered(status));
    case AnswerClass::Login:  // SendWithLogins has answered every login request
        return FailAtAddress(ServerAnswered(status));
    case AnswerClass::Body:
        break;
    }
    // A server may compress the answer although it was asked not to; saved
    // as it came, that would be a broken song reported as done.
    if (const auto encoding = m_pFile->QueryInfo("Content-Encoding");
        encoding && !encoding->empty() && !platform::EqualsNoCase(*encoding, "identity")) {
        return FailAtAddress(AfxFormatString1(LoadLanguageString(IDS_COMPRESSED_DOWNLOAD), *encoding));
    }
    // A new address that answers the range with a whole file cannot show
    // that it has the part file's bytes; while another address may, the
    // part file is not given up for it.
    if (status != 206 && m_bConfirmTail && !m_item.strOtherSources.empty())
        return FailAtAddress(IDS_INVALID_HTTP_RESPONSE, status);
    if (!TakeValidators(status, from))
        return m_file.IsOpen() ? TryEnd::Restart : TryEnd::Ended;
    if (status == 206 && m_bConfirmTail) {
        switch (ConfirmTail(from, overlap)) {
        case TailCheck::Same: break;
        case TailCheck::Differs:
            return StartOver("the next address sends other bytes than the part file holds") ? TryEnd::Restart
                                                                                            : TryEnd::Ended;
        case TailCheck::Retry: return TryEnd::Retry;
        case TailCheck::Ended: return TryEnd::Ended;
        }
    }
    m_nTryStart = m_file.Size();

    if (Checkpoint())
        return TryEnd::Ended;
    m_status.Send(IDS_GETTING_INFO);
    if (!SetUpFigures())
        return TryEnd::Ended;
    if (Checkpoint())
        return TryEnd::Ended;
    m_status.Send(IDS_RETRIEVING);
    ReadHeadOfPartFile();

    m_figures.nStartTick = m_figures.nLastReportTick = TickCount();
    switch (ReadBody()) {
    case BodyEnd::Ended: return TryEnd::Ended;
    case BodyEnd::Retry: return TryEnd::Retry;
    case BodyEnd::NextSource: return TryEnd::NextSource;
    case BodyEnd::Complete: break;
    }
    // The layer below reports a body cut short; this catches any that slip by.
    if (m_figures.bLengthKnown && m_figures.nReceived < m_figures.nLength) {
        // The whole range came, yet the length stated is longer: the next
        // request shows whether the server has more.
        if (m_nBodyEnd != 0 && m_file.Size() == m_nBodyEnd && m_nBodyEnd > m_nTryStart)
            return TryEnd::AskForMore;
        return Retry(IDS_READ_ERROR, kBodyCutShort);
    }
    FinishFile();
    return TryEnd::Ended;
}

platform::HttpRequestOptions CHttpDownload::RequestOptions(std::uint64_t from, bool ranged)
{
    platform::HttpRequestOptions options;
    // The song is saved as the server sends it, so it must come unencoded.
    options.headers = {"User-Agent: " + LoadBuiltinString(AFX_IDS_APP_TITLE), "Accept: */*",
                       "Accept-Encoding: identity"};
    options.useTls = m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS;
    if (ranged) {
        options.headers.push_back("Range: bytes=" + std::to_string(from) + "-");
        if (const std::string validator = m_state.IfRangeValue(); !validator.empty())
            options.headers.push_back("If-Range: " + validator);
    }
    options.followRedirects = true;
    options.refuseHttpsToHttp = true;
    options.useSystemProxy = true;
    options.observer = &m_status;
    options.stopToken = m_control->Token();
    options.receiveBufferSize = static_cast<long>(kReadSize);
    return options;
}

// Send, and send again with a login for as long as the server asks for one
// and the user gives one, a bounded number of times.
std::optional<CHttpDownload::TryEnd> CHttpDownload::SendWithLogins()
{
    for (int logins = 0;; ++logins) {
        if (!m_pFile->SendRequest())
            return SendFailed();
        const int status = m_pFile->StatusCode();
        if (ClassifyAnswer(status, false) != AnswerClass::Login)
            return std::nullopt;
        if (logins == kMaxLoginAttempts) {
            FailKeepingBytes(ServerAnswered(status));
            return TryEnd::Ended;
        }
        DropRefusalBody();
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
            FailKeepingBytes(ServerAnswered(status));
            return TryEnd::Ended;
        }
        m_strUserName = login.userName;
        m_strPassword = login.password;
        m_pFile->SetCredentials(m_strUserName, m_strPassword, forProxy);
        if (Checkpoint())
            return TryEnd::Ended;
    }
}

// No answer came: a stop, a certificate that will not verify on the next try
// either, a passing connection failure (tried again) or a lasting one.
CHttpDownload::TryEnd CHttpDownload::SendFailed()
{
    if (AbortRequested()) {
        EndAborted();
        return TryEnd::Ended;
    }
    if (m_pFile->CertificateFailed())
        return FailAtAddress(AfxFormatString1(LoadLanguageString(IDS_CERTIFICATE_FAILED), m_pFile->ErrorText()));
    if (m_pFile->RedirectedToHttp())
        return FailAtAddress(LoadLanguageString(IDS_HTTPS_TO_HTTP));
    const unsigned textId = m_pFile->NoValidResponse() ? IDS_INVALID_RESPONSE : IDS_CONNECT_ERROR;
    const int code = textId == IDS_INVALID_RESPONSE ? 0 : m_pFile->ErrorCode();
    if (IsRetriableTransferError(m_pFile->ErrorCode()))
        return Retry(textId, code, textId == IDS_INVALID_RESPONSE ? LoadLanguageString(textId) : std::string());
    // A redirect loop, an address libcurl cannot use, a refused connection:
    // the same request would meet the same end.
    return FailAtAddress(textId, code);
}

// The refusal's own body is thrown away, up to a bound: a server that keeps
// sending is cut off when the request goes out again.
void CHttpDownload::DropRefusalBody()
{
    char discard[4096];
    for (std::size_t dropped = 0; dropped < kLoginBodyMax;) {
        const std::size_t n = m_pFile->ReadSome(discard, std::min(sizeof discard, kLoginBodyMax - dropped));
        if (n == 0)
            break;
        dropped += n;
    }
}

// The figures start from where the part file ends; the row learns the length
// and, for a resumed file, where it goes on. False when the transfer ended at
// a pause point.
bool CHttpDownload::SetUpFigures()
{
    const std::uint64_t resumedAt = m_file.Size();
    m_figures = TransferFigures{};
    m_figures.nReceived = m_figures.nReceivedAtLastReport = m_figures.nResumedFrom = resumedAt;
    if (m_state.nLength > 0) {
        m_figures.bLengthKnown = true;
        m_figures.nLength = m_state.nLength;
        if (Checkpoint())
            return false;
        Send(DownloadSize{m_item.nSlot, m_figures.nLength});
    }
    if (resumedAt > 0) {
        if (Checkpoint())
            return false;
        Send(DownloadResumed{m_item.nSlot, resumedAt});
        // The row goes on from where the part file ends.
        if (m_figures.bLengthKnown) {
            m_figures.nLastPercent = static_cast<int>(static_cast<double>(resumedAt) * 100.0 /
                                                      static_cast<double>(m_figures.nLength));
            Send(DownloadProgress{m_item.nSlot, resumedAt});
        }
    }
    return true;
}

// The early check looks at the file's own first bytes, also when they came in
// an earlier try.
void CHttpDownload::ReadHeadOfPartFile()
{
    const std::uint64_t resumedAt = m_file.Size();
    if (m_strHead.size() < std::min<std::uint64_t>(resumedAt, kEarlyCheckSize)) {
        m_strHead.resize(static_cast<std::size_t>(std::min<std::uint64_t>(resumedAt, kEarlyCheckSize)));
        const ssize_t n = ::pread(m_file.Fd(), m_strHead.data(), m_strHead.size(), 0);
        m_strHead.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
}

// The read loop: each read is written with one call, then counted in blocks
// of 1024 bytes, as a reader of whole blocks would see them: the figures
// follow each completed block (and the last, short one), and each block
// starts with a pause point.
CHttpDownload::BodyEnd CHttpDownload::ReadBody()
{
    std::vector<char> buffer(kReadSize);
    for (;;) {
        if (Checkpoint())
            return BodyEnd::Ended;
        const std::size_t n = m_pFile->ReadSome(buffer.data(), buffer.size());
        if (n == 0) {
            if (AbortRequested()) {
                EndAborted();
                return BodyEnd::Ended;
            }
            if (m_pFile->Failed()) {
                if (IsRetriableTransferError(m_pFile->ErrorCode())) {
                    Retry(IDS_READ_ERROR, m_pFile->ErrorCode());
                    return BodyEnd::Retry;
                }
                return FailAtAddress(IDS_READ_ERROR, m_pFile->ErrorCode()) == TryEnd::NextSource ? BodyEnd::NextSource
                                                                                                  : BodyEnd::Ended;
            }
            const bool sent = m_figures.nReceived % kBlockSize == 0 || SendFigures(ReportProgress(m_figures, TickCount()));
            return sent ? BodyEnd::Complete : BodyEnd::Ended;
        }
        // Bytes past the range the answer stated are not the file's: this
        // try's bytes go, and the try has failed.
        if (m_nBodyEnd != 0 && m_file.Size() + n > m_nBodyEnd) {
            if (const int error = m_file.TruncateTo(m_nTryStart); error != 0) {
                Fail(IDS_READ_ERROR, error);
                return BodyEnd::Ended;
            }
            m_strHead.resize(std::min<std::uint64_t>(m_strHead.size(), m_nTryStart));
            Retry(IDS_INVALID_HTTP_RESPONSE, 206,
                  AfxFormatString1(LoadLanguageString(IDS_SERVER_ANSWERED), "206"));
            return BodyEnd::Retry;
        }
        if (m_file.Size() < kEarlyCheckSize) {
            if (const std::optional<BodyEnd> end = LookAtHead(buffer.data(), n))
                return *end;
        }
        if (const int error = m_file.Write(buffer.data(), n); error != 0) {
            Fail(IDS_READ_ERROR, error);
            return BodyEnd::Ended;
        }
        if (m_options.limiter)
            m_options.limiter->Take(n, m_control->Token());
        for (std::size_t offset = 0; offset < n;) {
            const std::size_t room = kBlockSize - static_cast<std::size_t>(m_figures.nReceived % kBlockSize);
            const std::size_t step = std::min(room, n - offset);
            m_figures.nReceived += step;
            offset += step;
            if (m_figures.nReceived % kBlockSize != 0)
                break;  // the block is still filling
            if (!SendFigures(ReportProgress(m_figures, TickCount())))
                return BodyEnd::Ended;
            if (offset < n && Checkpoint())
                return BodyEnd::Ended;
        }
    }
}

// A web page, JSON or XML shows in its first bytes: such an answer is not
// fetched to its end. Ends the transfer (the part file closed and gone) when
// the head plainly is not audio, or hands the download to the next address.
std::optional<CHttpDownload::BodyEnd> CHttpDownload::LookAtHead(const char* data, std::size_t size)
{
    const std::size_t take = std::min(size, kEarlyCheckSize - std::min(m_strHead.size(), kEarlyCheckSize));
    m_strHead.append(data, take);
    const ContentKind kind = EarlyContentKind(m_strHead);
    if (kind == ContentKind::Mp3)
        return std::nullopt;
    // A page in place of the song at one address; another may have it.
    if (!m_item.strOtherSources.empty() && m_file.Truncate() == 0) {
        platform::DeleteFile(ResumeStatePath(m_strPartPath));
        m_strHead.clear();
        m_state = ResumeState{};
        m_state.strUrl = m_strUrl;
        m_pending = PendingFailure{};
        m_pending.text = LoadLanguageString(ContentKindTextId(kind));
        return BodyEnd::NextSource;
    }
    FailNotAudio(kind);
    return BodyEnd::Ended;
}

bool CHttpDownload::SendFigures(const FigureMessages& messages)
{
    if (messages.progress) {
        if (Checkpoint())
            return false;
        Send(DownloadProgress{m_item.nSlot, *messages.progress});
    }
    if (messages.rate) {
        if (Checkpoint())
            return false;
        Send(DownloadRate{m_item.nSlot, *messages.rate});
    }
    if (messages.timeLeft) {
        if (Checkpoint())
            return false;
        Send(DownloadTimeLeft{m_item.nSlot, messages.timeLeft->nSeconds, messages.timeLeft->nReceived,
                              messages.timeLeft->nLength});
    }
    return true;
}

bool CHttpDownload::AbortRequested() const
{
    return m_control->IsAborted() || platform::IsShuttingDown();
}

bool CHttpDownload::Checkpoint()
{
    // Time spent paused here is no time spent transferring.
    const std::uint64_t before = TickCount();
    const bool goOn = m_control->PausePoint(m_figures.nReceived);
    SkipStoppedTime(m_figures, TickCount() - before);
    if (goOn)
        return false;
    EndAborted();
    return true;
}

// The list has let go of this download (Clear): the connection closes, the
// part file goes and nothing more is reported. At the program's end (or a
// Stop) the part file stays, so that the next start resumes it.
void CHttpDownload::EndAborted()
{
    CloseHandles();
    if (m_control->IsAborted() && !m_control->KeepsPartFile() && m_bFileOpened)
        RemovePartFile();
    m_file.Close();
    platform::Post(DownloadFinished{false}, m_control->Token());
}

// A failure whose text carries the error's number.
void CHttpDownload::Fail(unsigned textId, int errorCode)
{
    if (errorCode == 0)
        errorCode = errno;
    FailKeepingBytes(AfxFormatString1(LoadLanguageString(textId), std::to_string(errorCode)));
}

// A failed download keeps the bytes it received, and what they were fetched
// with, for a retry or a later run; one that received none leaves nothing.
void CHttpDownload::FailKeepingBytes(std::string text)
{
    if (AbortRequested()) {
        EndAborted();
        return;
    }
    if (m_bFileOpened && m_file.Size() == 0)
        RemovePartFile();
    EndFailed(std::move(text));
}

// A failure found before any file was touched: nothing to delete.
void CHttpDownload::FailBeforeOpen(unsigned textId, const std::string& arg)
{
    EndFailed(AfxFormatString1(LoadLanguageString(textId), arg));
}

// What the server sent is plainly not a song: nothing of it is kept.
void CHttpDownload::FailNotAudio(ContentKind kind)
{
    RemovePartFile();
    EndFailed(LoadLanguageString(ContentKindTextId(kind)));
}

// Every failed download ends here: the row shows `text` and the list learns
// the transfer is over.
void CHttpDownload::EndFailed(std::string text)
{
    m_strError = std::move(text);
    m_file.Close();
    CloseHandles();
    Send(DownloadFailed{m_item.nSlot, m_item.nItem, m_item.nSearchId, m_strError});
    platform::Post(DownloadFinished{true}, m_control->Token());
}

// The record goes first: a record is never left without its part file.
void CHttpDownload::RemovePartFile()
{
    platform::DeleteFile(ResumeStatePath(m_strPartPath));
    m_file.Remove();
    m_bFileOpened = false;
}

void CHttpDownload::CloseHandles()
{
    if (m_pFile) {
        m_pFile->Close();
        m_pFile.reset();
    }
}

unsigned DownloadThreadProc(DownloadItem item, std::string musicDir, std::shared_ptr<DownloadControl> control,
                            DownloadOptions options)
{
    {
        CHttpDownload download(control, std::move(options));
        download.m_item = std::move(item);
        download.m_strUrl = download.m_item.strUrl;
        download.m_strLocalPath = musicDir + download.m_item.strFileName;
        RemoveLeftoverRecords(musicDir);
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
