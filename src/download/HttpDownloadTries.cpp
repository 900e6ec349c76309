// CHttpDownload's tries and their end: the wait before a retry, the start-over
// of a part file, the answer's validators against the part file, and the
// check and rename of a complete file.
#include "download/HttpDownload.h"

#include "download/DownloadNotices.h"
#include "download/Mp3Check.h"
#include "platform/CRuntime.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "download/DownloadMessages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// HttpQueryInfoA answers into a 32-byte buffer; a longer value does not fit
// and counts as no answer.
constexpr std::size_t kQueryBufferSize = 32;

// After a rename the folder's entry is on disk too, not only the bytes.
void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Either validator, where both have it, tells another version of the file.
bool NamesAnotherVersion(const ResumeState& saved, const ResumeState& answer)
{
    return (!saved.strETag.empty() && !answer.strETag.empty() && answer.strETag != saved.strETag) ||
           (!saved.strLastModified.empty() && !answer.strLastModified.empty() &&
            answer.strLastModified != saved.strLastModified);
}

// Whether the answer carries one of the validators the part file was
// fetched with, unchanged.
bool CarriesSavedValidator(const ResumeState& saved, const ResumeState& answer)
{
    return (!saved.strETag.empty() && answer.strETag == saved.strETag) ||
           (!saved.strLastModified.empty() && answer.strLastModified == saved.strLastModified);
}

}  // namespace

bool CHttpDownload::WaitBeforeRetry(int retry)
{
    RetryNotice notice;
    notice.nTry = retry;
    notice.nOf = m_options.retry.nRetries;
    notice.nWaitMs = m_options.retry.WaitMs(retry, m_pending.retryAfterMs);
    notice.strCause = m_pending.cause;
    notice.strText = FormatString(LoadLanguageString(IDS_RETRYING),
                                  {std::to_string((notice.nWaitMs + 999) / 1000), std::to_string(notice.nTry),
                                   std::to_string(notice.nOf), notice.strCause});
    CloseHandles();
    if (Checkpoint())
        return false;
    Send(DownloadRetrying{m_item.nSlot, notice});
    if (!m_control->WaitFor(notice.nWaitMs)) {
        EndAborted();
        return false;
    }
    return !Checkpoint();
}

bool CHttpDownload::NextSource(bool leftMayWork)
{
    while (!m_item.strOtherSources.empty()) {
        std::string url = m_item.strOtherSources.front();
        m_item.strOtherSources.erase(m_item.strOtherSources.begin());
        std::uint32_t service = 0;
        std::string server;
        std::string object;
        std::uint16_t port = 0;
        if (url.size() > kMaxAddressBytes || !platform::ParseUrlAssumingHttp(url, service, server, object, port) ||
            !platform::IsHttpService(service))
            continue;
        // What went over verified TLS does not go on in the clear, as a
        // redirect from https: to http: does not.
        if (m_bBeganSecure && service != platform::AFX_INET_SERVICE_HTTPS) {
            m_strPassedOver = AfxFormatString1(LoadLanguageString(IDS_HTTP_SOURCE_PASSED), url);
            m_status.Send(IDS_HTTP_SOURCE_PASSED, url);
            continue;
        }
        CloseHandles();
        m_strUrl = url;
        m_dwServiceType = service;
        m_strServer = server;
        m_strObject = object;
        m_nPort = port;
        // The other server's validators mean nothing here: the part file goes
        // on with a plain range request, whose answer must still start where
        // the part file ends and state the same whole length.
        m_state.strUrl = m_strUrl;
        m_state.strETag.clear();
        m_state.strLastModified.clear();
        // Its bytes must match the part file's end before it adds any; the
        // record still names the source they came from until then.
        m_bConfirmTail = m_file.Size() > 0;
        Send(DownloadSource{m_item.nSlot, m_strUrl, leftMayWork});
        return true;
    }
    return false;
}

CHttpDownload::TryEnd CHttpDownload::FailAtAddress(std::string text)
{
    if (m_item.strOtherSources.empty()) {
        if (!m_strPassedOver.empty())
            text += " (" + m_strPassedOver + ")";
        FailKeepingBytes(std::move(text));
        return TryEnd::Ended;
    }
    m_pending = PendingFailure{};
    m_pending.text = std::move(text);
    return TryEnd::NextSource;
}

CHttpDownload::TryEnd CHttpDownload::FailAtAddress(unsigned textId, int errorCode)
{
    if (errorCode == 0)
        errorCode = errno;
    return FailAtAddress(AfxFormatString1(LoadLanguageString(textId), std::to_string(errorCode)));
}

void CHttpDownload::FailWithPending()
{
    std::string text = !m_pending.text.empty() ? m_pending.text
                                               : AfxFormatString1(LoadLanguageString(m_pending.textId),
                                                                  std::to_string(m_pending.errorCode));
    if (!m_strPassedOver.empty())
        text += " (" + m_strPassedOver + ")";
    FailKeepingBytes(std::move(text));
}

CHttpDownload::TailCheck CHttpDownload::ConfirmTail(std::uint64_t from, std::uint64_t overlap)
{
    std::string theirs(static_cast<std::size_t>(overlap), '\0');
    std::size_t got = 0;
    while (got < theirs.size()) {
        const std::size_t n = m_pFile->ReadSome(theirs.data() + got, theirs.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    if (got < theirs.size()) {
        if (AbortRequested()) {
            EndAborted();
            return TailCheck::Ended;
        }
        // A body that ends before the part file does cannot be this file.
        if (!m_pFile->Failed())
            return TailCheck::Differs;
        Retry(IDS_READ_ERROR, m_pFile->ErrorCode());
        return TailCheck::Retry;
    }
    std::string ours(theirs.size(), '\0');
    const ssize_t n = ::pread(m_file.Fd(), ours.data(), ours.size(), static_cast<off_t>(from));
    if (n != static_cast<ssize_t>(ours.size()) || ours != theirs)
        return TailCheck::Differs;
    m_bConfirmTail = false;
    return RecordSource() ? TailCheck::Same : TailCheck::Ended;
}

bool CHttpDownload::RecordSource()
{
    // Without a validator a later run could not tell the file has not
    // changed; such a part file keeps no record and is not resumed.
    if (m_state.HasValidator())
        SaveResumeState(ResumeStatePath(m_strPartPath), m_state);
    else
        platform::DeleteFile(ResumeStatePath(m_strPartPath));
    if (Checkpoint())
        return false;
    Send(DownloadValidators{m_item.nSlot, m_state});
    return true;
}

CHttpDownload::TryEnd CHttpDownload::Retry(unsigned textId, int errorCode, std::string cause,
                                           std::optional<std::uint64_t> retryAfterMs)
{
    if (cause.empty())
        cause = AfxFormatString1(LoadLanguageString(textId), std::to_string(errorCode));
    m_pending = PendingFailure{textId, errorCode, std::move(cause), retryAfterMs, {}};
    return TryEnd::Retry;
}

bool CHttpDownload::StartOver(const std::string& reason)
{
    if (const int error = m_file.Truncate(); error != 0) {
        Fail(IDS_READ_ERROR, error);
        return false;
    }
    platform::DeleteFile(ResumeStatePath(m_strPartPath));
    m_state = ResumeState{};
    m_state.strUrl = m_strUrl;
    m_strHead.clear();
    m_bConfirmTail = false;
    Send(DownloadRestarted{m_item.nSlot, reason});
    return true;
}

// The answer's validators and length against what the part file was
// fetched with. False when the transfer cannot go on with this answer: a
// start-over is needed (the part file stays open) or it ended.
ResumeState CHttpDownload::AnswerValidators() const
{
    ResumeState answer;
    answer.strUrl = m_strUrl;
    answer.strETag = m_pFile->QueryInfo("ETag").value_or("");
    answer.strLastModified = m_pFile->QueryInfo("Last-Modified").value_or("");
    return answer;
}

CHttpDownload::TryEnd CHttpDownload::RangeNotSatisfied(std::uint64_t from)
{
    // A 416 that names another version, by a validator or by its length
    // ("bytes */N"), says the part file is not that file, however long.
    // One whose length is where the part file ends says the server's bytes
    // end there, whatever length was stated before: the file is checked.
    const auto range = m_pFile->QueryInfo("Content-Range");
    const std::string prefix = "bytes */";
    std::uint64_t total = 0;
    const bool statesLength = range && range->rfind(prefix, 0) == 0 &&
                              std::from_chars(range->data() + prefix.size(), range->data() + range->size(), total).ec ==
                                  std::errc{};
    const bool endsHere = statesLength ? total == from : m_state.nLength == from;
    if (endsHere && !NamesAnotherVersion(m_state, AnswerValidators())) {
        FinishFile();
        return TryEnd::Ended;
    }
    return StartOver("the part file does not fit the file on the server") ? TryEnd::Restart : TryEnd::Ended;
}

bool CHttpDownload::TakeValidators(int status, std::uint64_t from)
{
    ResumeState fresh = AnswerValidators();
    std::optional<std::uint64_t> contentLength;
    if (const auto length = m_pFile->QueryInfo("Content-Length"); length && length->size() < kQueryBufferSize)
        contentLength = platform::ParseContentLength(*length);

    const bool changed = NamesAnotherVersion(m_state, fresh);
    if (status == 206) {
        const auto range = ParseContentRange(m_pFile->QueryInfo("Content-Range").value_or(""));
        // A server that ignores If-Range answers 206 for any version; only
        // the validator the part file was fetched with shows the bytes fit.
        if (changed || (m_state.HasValidator() && !CarriesSavedValidator(m_state, fresh))) {
            StartOver("the file on the server has changed");
            return false;
        }
        if (!range || range->nFirst != from ||
            (range->nTotal != 0 && m_state.nLength != 0 && range->nTotal != m_state.nLength)) {
            StartOver("the server's range does not fit the part file");
            return false;
        }
        fresh.nLength = range->nTotal != 0 ? range->nTotal : m_state.nLength;
        m_nBodyEnd = range->nLast + 1;
    } else {
        m_nBodyEnd = 0;
        // A whole file answers a range request when the file has changed or
        // the server does not do ranges: the part file starts over with it.
        if (m_file.Size() > 0 &&
            !StartOver(changed ? "the file on the server has changed" : "the server sent the whole file"))
            return false;
        fresh.nLength = contentLength.value_or(0);
    }
    if (!(fresh == m_state)) {
        m_state = fresh;
        // Bytes still to be matched keep the record of where they came from.
        if (!m_bConfirmTail && !RecordSource())
            return false;
    }
    return true;
}

// The part file is complete: it is checked, written through and renamed
// into place. Only where the user said Yes does it replace a file of that
// name; a file that appeared meanwhile brings up the question now.
bool CHttpDownload::FinishFile()
{
    if (Checkpoint())
        return false;
    if (const int error = m_file.Sync(); error != 0) {
        Fail(IDS_READ_ERROR, error);
        return false;
    }
    if (const ContentKind kind = CheckMp3File(m_file.Fd(), m_file.Size()); kind != ContentKind::Mp3) {
        FailNotAudio(kind);
        return false;
    }
    if (Checkpoint())
        return false;
    Send(DownloadChecked{m_item.nSlot});
    // The record goes before the rename: a finished song never has one
    // beside it, whenever the program is killed.
    platform::DeleteFile(ResumeStatePath(m_strPartPath));

    int error = m_bReplace ? (std::rename(m_strPartPath.c_str(), m_strLocalPath.c_str()) == 0 ? 0 : errno)
                           : platform::RenameNoReplace(m_strPartPath, m_strLocalPath);
    if (error == EEXIST) {
        const std::string question = AfxFormatString1(LoadLanguageString(IDS_REPLACE_FILE), IsolatedFor(LoadLanguageString(IDS_REPLACE_FILE), m_strLocalPath));
        if (platform::AfxMessageBox(question, platform::MB_YESNO, m_control->Token()) != platform::IDYES) {
            RemovePartFile();
            CloseHandles();
            Send(DownloadDeclined{m_item.nSlot});
            platform::Post(DownloadFinished{false}, m_control->Token());
            return false;
        }
        if (AbortRequested()) {
            EndAborted();
            return false;
        }
        error = std::rename(m_strPartPath.c_str(), m_strLocalPath.c_str()) == 0 ? 0 : errno;
    }
    if (error != 0) {
        Fail(IDS_READ_ERROR, error);
        return false;
    }
    m_file.Close();
    m_bFileOpened = false;
    SyncFolderOf(m_strLocalPath);
    Send(DownloadDone{m_item.nSlot});
    CloseHandles();
    platform::Post(DownloadFinished{false}, m_control->Token());
    return true;
}
