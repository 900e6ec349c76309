#pragma once

#include "download/DownloadControl.h"
#include "download/DownloadItem.h"
#include "download/FileStatusReporter.h"
#include "download/TransferFigures.h"
#include "platform/Http.h"
#include "platform/MessageChannel.h"
#include "platform/OutputFile.h"

#include <cstdint>
#include <memory>
#include <string>

// One download: parses the file's URL, asks before replacing a local file,
// creates the file in the music folder, reads the body and writes it, and
// reports status texts, the length, progress, rate, time left and the end to
// the main frame. A download worker builds one on its own stack, runs Start
// and destroys it. The list pauses, resumes and ends it through `control`.
class CHttpDownload final {
public:
    explicit CHttpDownload(std::shared_ptr<DownloadControl> control);
    ~CHttpDownload();
    CHttpDownload(const CHttpDownload&) = delete;
    CHttpDownload& operator=(const CHttpDownload&) = delete;

    // Parsing, the replace question and the local file; then Transfer.
    bool Start();
    // Connection, request, password step, length and the read loop.
    void Transfer();
    void CloseHandles();

    std::string m_strUrl;
    std::string m_strLocalPath;   // music folder + the item's file name
    std::string m_strUserName;    // the login given in the password step
    std::string m_strPassword;
    DownloadItem m_item;          // its address is the wParam of every message
    std::string m_strError;
    std::string m_strServer;
    std::string m_strObject;
    std::uint16_t m_nPort = 0;
    std::uint32_t m_dwServiceType = 0;
    std::unique_ptr<platform::HttpFile> m_pFile;
    platform::OutputFile m_file;

    // How many logins a server may refuse before the download gives up.
    static constexpr int kMaxLoginAttempts = 3;
    // How much of a refused login's body is read before it is thrown away.
    static constexpr std::size_t kLoginBodyMax = 64 * 1024;
    // Body bytes taken per read; figures and pause points still go by
    // 1024-byte blocks.
    static constexpr std::size_t kReadSize = 64 * 1024;
    static constexpr std::size_t kBlockSize = 1024;

private:
    bool AbortRequested() const;
    // A pause point followed by the abort test; true when the transfer ends here.
    bool Checkpoint();
    void EndAborted();
    void Fail(unsigned textId, int errorCode);
    void FailWithText(unsigned textId, const std::string& cause);
    void FailBeforeOpen(unsigned textId, const std::string& arg);
    void Send(unsigned message, platform::LPARAM lParam);
    bool SendFigures(const FigureMessages& messages);
    bool ReadBody();
    void RemoveLocalFile();

    std::shared_ptr<DownloadControl> m_control;
    FileStatusReporter m_status;
    TransferFigures m_figures;
    bool m_bFileOpened = false;
};

// The download worker's procedure: copies the item into a local
// CHttpDownload whose local path is `musicDir` (ending in '/') followed by
// the item's file name, runs it, marks `control` ended and returns 0.
unsigned DownloadThreadProc(DownloadItem item, std::string musicDir, std::shared_ptr<DownloadControl> control);

// The name a download is saved under: FileNameFromUrl, the same name the
// File Name column shows.
std::string DownloadFileName(const std::string& url);

// True when `name` can be saved as a file of its own inside the music folder.
bool IsSafeDownloadName(const std::string& name);
