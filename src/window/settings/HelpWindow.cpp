#include "window/settings/HelpWindow.h"

#include "resources/Resource.h"
#include "window/settings/Translate.h"

#include "settings/HelpContents.h"
#include "window/desktop/WebBrowser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextDocument>
#include <QTreeWidget>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr int kLocalRole = Qt::UserRole;

// The object path of a page address inside the help file; nothing for an
// address that points outside it (another scheme, another host).
std::optional<std::string> ObjectPath(const QUrl& url)
{
    if (!url.scheme().isEmpty() || !url.host().isEmpty())
        return std::nullopt;
    QString path = url.path();
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return path.toStdString();
}

QString ErrorPage(const std::string& path)
{
    return QStringLiteral("<h3>%1</h3><p>%2</p><p>%3</p>")
        .arg(LanguageText(IDS_HELP_CANNOT_OPEN).toHtmlEscaped(), QString::fromStdString(path).toHtmlEscaped(),
             LanguageText(IDS_HELP_NOT_CHM).toHtmlEscaped());
}

}  // namespace

CHelpBrowser::CHelpBrowser(const CChmFile& file, QWidget* parent)
    : QTextBrowser(parent)
    , m_file(file)
{
    setOpenLinks(false);
}

QVariant CHelpBrowser::loadResource(int type, const QUrl& name)
{
    // Everything a page uses comes out of the help file or not at all: an
    // invalid answer would let the document read the address from disk.
    const bool text = type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource;
    const auto path = ObjectPath(name);
    const auto bytes = path ? m_file.Read(*path) : std::nullopt;
    if (!bytes)
        return text ? QVariant(QStringLiteral("")) : QVariant(QByteArray(""));
    if (text)
        return QString::fromUtf8(*bytes);
    return *bytes;
}

QString MailAddressOnly(const QUrl& url)
{
    // Only the addresses go to the mail program: a query could attach files
    // (attach=) or fill in a message the user never wrote.
    // The addresses are kept to plain characters, so nothing encoded in them
    // can turn into a query on the mail program's side.
    const QString to = url.path(QUrl::FullyDecoded);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9._+\\-]+@[A-Za-z0-9.\\-]+"
                                                         "(,[A-Za-z0-9._+\\-]+@[A-Za-z0-9.\\-]+)*$"));
    if (!plain.match(to).hasMatch())
        return {};
    return QStringLiteral("mailto:") + to;
}

CHelpWindow::CHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the program even while the manual is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(LanguageText(IDS_HELP_TITLE));
    resize(760, 520);

    auto* splitter = new QSplitter(this);
    m_treContents = new QTreeWidget(splitter);
    m_treContents->setObjectName(QStringLiteral("helpContents"));
    m_treContents->setHeaderHidden(true);
    m_treContents->setAccessibleName(LanguageText(IDS_HELP_CONTENTS));
    m_browser = new CHelpBrowser(m_file, splitter);
    m_browser->setObjectName(QStringLiteral("helpPage"));
    m_browser->setAccessibleName(LanguageText(IDS_HELP_PAGE));
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 540});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(m_treContents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { ShowTopic(item->data(0, kLocalRole).toString()); });
    connect(m_browser, &QTextBrowser::anchorClicked, this, &CHelpWindow::OnAnchorClicked);
}

bool CHelpWindow::OpenFile(const std::string& path)
{
    m_path = path;
    m_treContents->clear();
    setWindowTitle(LanguageText(IDS_HELP_TITLE));
    if (!m_file.Open(path)) {
        m_browser->setHtml(ErrorPage(path));
        return false;
    }
    if (const std::string title = m_file.Title(); !title.empty())
        setWindowTitle(QString::fromStdString(title));
    LoadContents();
    QString first;
    if (QTreeWidgetItem* top = m_treContents->topLevelItem(0))
        first = top->data(0, kLocalRole).toString();
    ShowTopic(first.isEmpty() ? QStringLiteral("index.html") : first);
    m_treContents->expandAll();
    return true;
}

void CHelpWindow::ShowTopic(const QString& local)
{
    if (!local.isEmpty())
        m_browser->setSource(QUrl(QStringLiteral("/") + local), QTextDocument::HtmlResource);
}

void CHelpWindow::OnAnchorClicked(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        platform::OpenUrlInBrowser(url.toString().toStdString());
        return;
    }
    if (scheme == u"mailto") {
        if (const QString mail = MailAddressOnly(url); !mail.isEmpty())
            platform::OpenUrlInBrowser(mail.toStdString());
        return;
    }
    m_browser->setSource(m_browser->source().resolved(url), QTextDocument::HtmlResource);
}

void CHelpWindow::LoadContents()
{
    // The contents file is a site map: nested <UL> lists of <OBJECT>s whose
    // <param>s give each topic's name and page.
    std::string contentsPath;
    for (const std::string& entry : m_file.Entries()) {
        if (QString::fromStdString(entry).endsWith(QStringLiteral(".hhc"), Qt::CaseInsensitive)) {
            contentsPath = entry;
            break;
        }
    }
    const auto bytes = m_file.Read(contentsPath);
    if (!bytes)
        return;
    // The most recent entry at each depth: the parent of the next one below it.
    std::vector<QTreeWidgetItem*> lastAt;
    for (const HelpTopic& topic : ParseHelpContents(QString::fromUtf8(*bytes))) {
        const auto depth = static_cast<std::size_t>(topic.depth);
        QTreeWidgetItem* parent = depth > 0 && depth <= lastAt.size() ? lastAt[depth - 1] : nullptr;
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_treContents);
        item->setText(0, topic.name);
        item->setData(0, kLocalRole, topic.local);
        lastAt.resize(std::min(lastAt.size(), depth));
        lastAt.push_back(item);
    }
}

CHelpWindow* ShowHelpFile(const std::string& path, QWidget* caller)
{
    static QPointer<CHelpWindow> window;
    if (window == nullptr)
        window = new CHelpWindow(caller != nullptr ? caller->window() : nullptr);
    if (window->FilePath() != path || !window->isVisible())
        window->OpenFile(path);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
