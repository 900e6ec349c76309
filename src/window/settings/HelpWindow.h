#pragma once

#include "settings/ChmFile.h"

#include <QTextBrowser>
#include <QWidget>

#include <string>

class QTreeWidget;
class QTreeWidgetItem;

// The page pane of the help window: pages, pictures and style sheets come
// out of the open help file.
class CHelpBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    CHelpBrowser(const CChmFile& file, QWidget* parent);
    QVariant loadResource(int type, const QUrl& name) override;

private:
    const CChmFile& m_file;
};

// The help window: the contents tree of a compiled help file beside its
// pages. A file that cannot be opened shows the viewer's own error page.
class CHelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    // Opens `path` and shows its first topic; false (and the error page) when
    // it cannot be read.
    bool OpenFile(const std::string& path);
    const std::string& FilePath() const { return m_path; }

    // Shows the topic at `local` ("search.html"), relative to the file's root.
    void ShowTopic(const QString& local);

    QTreeWidget* m_treContents = nullptr;
    CHelpBrowser* m_browser = nullptr;

private:
    void LoadContents();
    void OnAnchorClicked(const QUrl& url);

    CChmFile m_file;
    std::string m_path;
};

// A mailto: link as it may leave the help window: the addresses alone,
// without any query; empty when it names no address.
QString MailAddressOnly(const QUrl& url);

// HtmlHelp's HH_DISPLAY_TOPIC: opens (or brings forward) the help window on
// `path`. The window belongs to `caller`'s top-level window.
CHelpWindow* ShowHelpFile(const std::string& path, QWidget* caller);
