#pragma once

#include "download/DownloadItem.h"
#include "download/DownloadMessages.h"
#include "platform/MessageChannel.h"
#include "search/SearchMessages.h"
#include "settings/LanguagePack.h"
#include "window/settings/SettingsMessages.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <string>

class CPagesView;
class CToolBar;
class QAction;
class QLabel;
class QStatusBar;

// The application's single main window: menu, toolbar, status bar and the
// pages view. It receives the workers' messages, routes every command (view
// first, then itself, then the application), lays the pages out on resize
// and shuts the program down in a fixed order.
//
// Where its handlers live:
//   window/MainFrame.cpp                   creation, layout, routing, shut-down
//   window/MainFrameMessages.cpp           the message map, language and history messages
//   window/search/FoundFiles.cpp           the built-in engines' reports, to the search controller
//   window/search/UserEngines.cpp          the user's engines' reports, to the search controller
//   window/download/FileProbeHandlers.cpp  probe status texts and sizes, to the search controller
//   window/download/DownloadHandlers.cpp   a download's figures, end and failure
//   window/settings/FrameLanguage.cpp      prompts, tips and the language command
class CMainFrame final : public QMainWindow, public platform::MessageReceiver {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window from resource `resourceId`; false when any part of
    // it could not be created (the frame must then not be shown).
    bool LoadFrame(int resourceId);

    // --- layout
    void OnSize(int cx, int cy);
    // Client size as the layout sees it: the window without its menu bar.
    QSize ClientSize() const;


    // --- command routing
    bool OnCmdMsg(unsigned id);
    bool CanRouteCommand(unsigned id) const;
    QAction* MenuAction(unsigned id) const;

    std::string GetMessageString(unsigned id) const;
    std::string OnToolTipText(unsigned id) const;

    // --- the numbered messages of workers and dialogs
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override;
    platform::LRESULT OnFileStatus(const FileStatus& message);
    platform::LRESULT OnFileSizeProbed(const FileSizeProbed& message);
    platform::LRESULT OnFetchStep(const FetchStep& message);
    platform::LRESULT OnUserEnginesRead(const UserEnginesRead& message);
    // A note in the status bar's message pane.
    void SetStatusText(const std::string& text);

    int m_cyView = 0;
    int m_cxView = 0;
    // The language in force; shared with the workers (see LanguagePack.h).
    CLanguageName m_strLanguage;
    QStatusBar* m_wndStatusBar = nullptr;
    CToolBar* m_wndToolBar = nullptr;
    CPagesView* m_wndView = nullptr;

    // Told the name of each shut-down step as it is taken (tests follow the order).
    std::function<void(const char*)> m_onCloseStep;
    // Makes the next creation fail after the window itself exists.
    static void SetFailCreationForTesting(bool fail);

signals:
    // A command id has been routed; `handler` names who took it (empty: nobody).
    void commandRouted(unsigned id, const QString& handler);

protected:
    int OnCreate();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // The message map's entry for `message`, null when the frame has none.
    static const platform::MessageMapEntry<CMainFrame>* FindMessage(unsigned message);
    void LayoutPages();
    // --- shut-down: clear the downloads, empty Temp/, save the settings, destroy.
    void OnClose();
    void OnLanguageSettings();
    // --- prompts and tips from the language file (settings/FrameLanguage.cpp)
    std::string GetLanguageFile() const;
    void RefreshPrompts();
    platform::LRESULT OnMp3Found(const Mp3Found& message);
    platform::LRESULT OnDownloadProgress(const DownloadProgress& message);
    platform::LRESULT OnDownloadSize(const DownloadSize& message);
    platform::LRESULT OnDownloadTimeLeft(const DownloadTimeLeft& message);
    platform::LRESULT OnDownloadRate(const DownloadRate& message);
    platform::LRESULT OnClearHistory(const ClearHistory& message);
    platform::LRESULT OnPageResult(const PageResult& message);
    platform::LRESULT OnDownloadDeclined(const DownloadDeclined& message);
    platform::LRESULT OnDownloadDone(const DownloadDone& message);
    platform::LRESULT OnDownloadFailed(const DownloadFailed& message);
    platform::LRESULT OnDownloadRetrying(const DownloadRetrying& message);
    platform::LRESULT OnDownloadValidators(const DownloadValidators& message);
    platform::LRESULT OnDownloadSource(const DownloadSource& message);
    platform::LRESULT OnDownloadRestarted(const DownloadRestarted& message);
    platform::LRESULT OnPageFinished(const PageFinished& message);
    platform::LRESULT OnPageCapped(const PageCapped& message);
    platform::LRESULT OnPageBodyCapped(const PageBodyCapped& message);
    // The user's engines' walks (window/search/UserEngines.cpp).
    platform::LRESULT OnUserEngineFound(const UserEngineFind& message);
    platform::LRESULT OnUserEnginePage(const UserEnginePage& message);
    platform::LRESULT OnUserEngineFirstPage(const UserEngineFirstPage& message);
    platform::LRESULT OnUserEngineEnded(const UserEngineEnded& message);
    platform::LRESULT OnApplyLanguage(const ApplyLanguage& message);
    platform::LRESULT OnLanguageChosen(const LanguageChosen& message);

    void BuildMenu();
    void CreateStatusBar();
    void DeleteTempFiles();

    std::map<unsigned, QAction*> m_menuActions;
    bool m_bCreated = false;
    bool m_bClosed = false;
};
