#include "search/sources/SourceAddress.h"

#include "download/FileNameFromUrl.h"
#include "platform/Url.h"

#include <QStringList>
#include <QUrl>

namespace {

bool IsControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

}  // namespace

bool IsWebAddress(const QString& url)
{
    if (url.isEmpty())
        return false;
    for (const QChar c : url) {
        if (IsControl(c) || c == u' ')
            return false;
    }
    platform::ParsedUrl parsed;
    return platform::ParseUrl(url.toStdString(), parsed) && platform::IsHttpService(parsed.service);
}

bool IsSafeServerName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'.') || name.startsWith(u'-') || name.contains(QStringLiteral("..")))
        return false;
    const qsizetype colon = name.indexOf(u':');
    const QString host = colon < 0 ? name : name.left(colon);
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'.' || c == u'-'))
            return false;
    }
    if (colon < 0)
        return true;
    bool ok = false;
    const int port = name.mid(colon + 1).toInt(&ok);
    return ok && port >= 1 && port <= 65535 && !name.mid(colon + 1).startsWith(u'+');
}

bool IsSafePathText(const QString& path)
{
    if (path.isEmpty())
        return false;
    for (const QChar c : path) {
        if (IsControl(c) || c == u'@' || c == u'\\')
            return false;
    }
    for (const QString& segment : path.split(u'/')) {
        if (segment == u"." || segment == u"..")
            return false;
    }
    return true;
}

QString EncodePathSegments(const QString& path)
{
    QStringList segments = path.split(u'/');
    for (QString& segment : segments)
        segment = QString::fromLatin1(QUrl::toPercentEncoding(segment));
    return segments.join(u'/');
}

QString EncodeQueryValue(const QString& value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString HostBase(const QString& host)
{
    QString base = host.trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QString SaveNameFor(const QString& artist, const QString& title)
{
    QString stem = artist.trimmed().isEmpty() ? title.trimmed() : artist.trimmed() + QStringLiteral(" - ") + title.trimmed();
    if (stem.isEmpty())
        stem = QStringLiteral("track");
    // Encoded whole as one path segment, the name goes through the same
    // cleaning as a name taken from an address: a '/' in a title becomes '_'
    // instead of making a folder.
    return QString::fromStdString(FileNameFromUrl("/" + EncodeQueryValue(stem).toStdString() + ".mp3"));
}
