#include "window/settings/HelpWindow.h"

#include "window/desktop/WebBrowser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextDocument>
#include <QTreeWidget>

#include <vector>

namespace {

constexpr int kLocalRole = Qt::UserRole;

QString DecodeEntities(QString text)
{
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

// The object path of a page address inside the help file.
std::string ObjectPath(const QUrl& url)
{
    QString path = url.path();
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return path.toStdString();
}

QString ErrorPage(const std::string& path)
{
    return QStringLiteral("<h3>Cannot open the help file</h3><p>%1</p>"
                          "<p>The file is missing or is not a compiled help file.</p>")
        .arg(QString::fromStdString(path).toHtmlEscaped());
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
    const auto bytes = m_file.Read(ObjectPath(name));
    if (!bytes)
        return {};
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(*bytes);
    return *bytes;
}

CHelpWindow::CHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the program even while the manual is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Tunorva Help"));
    resize(760, 520);

    auto* splitter = new QSplitter(this);
    m_treContents = new QTreeWidget(splitter);
    m_treContents->setObjectName(QStringLiteral("helpContents"));
    m_treContents->setHeaderHidden(true);
    m_browser = new CHelpBrowser(m_file, splitter);
    m_browser->setObjectName(QStringLiteral("helpPage"));
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
    setWindowTitle(QStringLiteral("Tunorva Help"));
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
    if (scheme == u"http" || scheme == u"https" || scheme == u"mailto") {
        platform::OpenUrlInBrowser(url.toString().toStdString());
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
    const QString text = QString::fromUtf8(*bytes);
    static const QRegularExpression tagPattern(QStringLiteral("<\\s*(/?)\\s*(\\w+)([^>]*)>"));
    static const QRegularExpression attrPattern(QStringLiteral("(\\w+)\\s*=\\s*\"([^\"]*)\""));

    std::vector<QTreeWidgetItem*> parents{nullptr};
    QTreeWidgetItem* last = nullptr;
    QString name;
    QString local;
    bool inObject = false;
    for (auto it = tagPattern.globalMatch(text); it.hasNext();) {
        const auto tag = it.next();
        const bool closing = !tag.captured(1).isEmpty();
        const QString tagName = tag.captured(2).toLower();
        if (tagName == u"ul") {
            if (!closing)
                parents.push_back(last);
            else if (parents.size() > 1)
                parents.pop_back();
        } else if (tagName == u"object") {
            if (!closing) {
                inObject = true;
                name.clear();
                local.clear();
            } else if (inObject) {
                inObject = false;
                auto* item = parents.back() != nullptr ? new QTreeWidgetItem(parents.back())
                                                       : new QTreeWidgetItem(m_treContents);
                item->setText(0, name);
                item->setData(0, kLocalRole, local);
                last = item;
            }
        } else if (tagName == u"param" && inObject) {
            QString paramName;
            QString value;
            for (auto attrs = attrPattern.globalMatch(tag.captured(3)); attrs.hasNext();) {
                const auto attr = attrs.next();
                const QString key = attr.captured(1).toLower();
                if (key == u"name")
                    paramName = attr.captured(2).toLower();
                else if (key == u"value")
                    value = DecodeEntities(attr.captured(2));
            }
            if (paramName == u"name")
                name = value;
            else if (paramName == u"local")
                local = value;
        }
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
