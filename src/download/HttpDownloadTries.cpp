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

bool CHttpDownload::NextSource()
{
    while (!m_item.strOtherSources.empty()) {
        std::string url = m_item.strOtherSources.front();
        m_item.strOtherSources.erase(m_item.strOtherSources.begin());
        std::uint32_t service = 0;
        std::string server;
        std::string object;
        std::uint16_t port = 0;
        if (!platform::ParseUrlAssumingHttp(url, service, server, object, port) || !platform::IsHttpService(service))
            continue;
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
        Send(DownloadSource{m_item.nSlot, m_strUrl});
        return true;
    }
    return false;
}

CHttpDownload::TryEnd CHttpDownload::Retry(unsigned textId, int errorCode, std::string cause,
                                           std::optional<std::uint64_t> retryAfterMs)
{
    if (cause.empty())
        cause = AfxFormatString1(LoadLanguageString(textId), std::to_string(errorCode));
    m_pending = PendingFailure{textId, errorCode, std::move(cause), retryAfterMs};
    return TryEnd::Retry;
}

bool CHttpDownload::StartOver(const char* reason)
{
    if (const int error = m_file.Truncate(); error != 0) {
        Fail(IDS_READ_ERROR, error);
        return false;
    }
    platform::DeleteFile(ResumeStatePath(m_strPartPath));
    m_state = ResumeState{};
    m_state.strUrl = m_strUrl;
    m_strHead.clear();
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
    const auto range = m_pFile->QueryInfo("Content-Range");
    const std::string prefix = "bytes */";
    std::uint64_t total = 0;
    const bool otherLength = range && range->rfind(prefix, 0) == 0 &&
                             std::from_chars(range->data() + prefix.size(), range->data() + range->size(), total).ec ==
                                 std::errc{} &&
                             total != from;
    if (m_state.nLength == from && !otherLength && !NamesAnotherVersion(m_state, AnswerValidators())) {
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
    } else {
        // A whole file answers a range request when the file has changed or
        // the server does not do ranges: the part file starts over with it.
        if (from > 0 && !StartOver(changed ? "the file on the server has changed" : "the server sent the whole file"))
            return false;
        fresh.nLength = contentLength.value_or(0);
    }
    if (!(fresh == m_state)) {
        m_state = fresh;
        // Without a validator a later run could not tell the file has not
        // changed; such a part file is not resumed.
        if (m_state.HasValidator())
            SaveResumeState(ResumeStatePath(m_strPartPath), m_state);
        if (Checkpoint())
            return false;
        Send(DownloadValidators{m_item.nSlot, m_state});
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

    int error = m_bReplace ? (std::rename(m_strPartPath.c_str(), m_strLocalPath.c_str()) == 0 ? 0 : errno)
                           : platform::RenameNoReplace(m_strPartPath, m_strLocalPath);
    if (error == EEXIST) {
        const std::string question = AfxFormatString1(LoadLanguageString(IDS_REPLACE_FILE), m_strLocalPath);
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
    platform::DeleteFile(ResumeStatePath(m_strPartPath));
    Send(DownloadDone{m_item.nSlot});
    CloseHandles();
    platform::Post(DownloadFinished{false}, m_control->Token());
    return true;
}
