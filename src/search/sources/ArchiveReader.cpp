#include "search/sources/ArchiveReader.h"

#include "search/sources/SourceAddress.h"
#include "search/sources/SourceAnswer.h"

#include <QHash>
#include <QSet>
#include <QRegularExpression>

namespace {

// One entry of an item's files[].
struct ArchiveEntry {
    QString name;
    QString format;
    QString source;
    QString original;
    std::optional<double> size;
    std::optional<double> length;
    QString title;
    QString artist;
    QString album;
    QString md5;
    QString sha1;
};

bool IsIdentifier(const QString& identifier)
{
    return IsSafePathText(identifier) && !identifier.contains(u'/');
}

bool IsMp3(const ArchiveEntry& entry)
{
    return entry.format.contains(QLatin1StringView("mp3"), Qt::CaseInsensitive) ||
           entry.name.endsWith(QLatin1StringView(".mp3"), Qt::CaseInsensitive);
}

// How good an MP3 is among those of one recording; higher is better.
int Quality(const ArchiveEntry& entry)
{
    if (entry.source == u"original")
        return 1'000'000;
    if (entry.format.compare(QLatin1StringView("VBR MP3"), Qt::CaseInsensitive) == 0)
        return 100'000;
    static const QRegularExpression bitrate(QStringLiteral("^\\s*(\\d{1,5})\\s*Kbps MP3\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = bitrate.match(entry.format); match.hasMatch())
        return 1 + match.captured(1).toInt();
    return 0;
}

// The original a file was made from, following derivatives of derivatives;
// the file's own name for an original.
QString RecordingOf(const ArchiveEntry& entry, const QHash<QString, qsizetype>& byName,
                    const std::vector<ArchiveEntry>& entries)
{
    const ArchiveEntry* at = &entry;
    // A bounded walk: an answer may name files in a circle.
    for (int step = 0; step < 16; ++step) {
        if (at->source != u"derivative" || at->original.isEmpty())
            return at->name;
        const auto next = byName.constFind(at->original);
        if (next == byName.constEnd())
            return at->original;
        at = &entries[static_cast<std::size_t>(*next)];
    }
    return at->name;
}

QString TitleFromName(const QString& name)
{
    QString title = name.mid(name.lastIndexOf(u'/') + 1);
    if (title.endsWith(QLatin1StringView(".mp3"), Qt::CaseInsensitive))
        title.chop(4);
    return title;
}

}  // namespace

QString ArchiveSearchUrl(const QString& host, const QString& keywords, int page)
{
    const QString query = u'(' + keywords.trimmed() + QStringLiteral(") AND mediatype:audio");
    return HostBase(host) + QStringLiteral("/advancedsearch.php?q=") + EncodeQueryValue(query) +
           QStringLiteral("&fl%5B%5D=identifier&fl%5B%5D=title&fl%5B%5D=creator&rows=") +
           QString::number(kArchiveRows) + QStringLiteral("&page=") + QString::number(page) +
           QStringLiteral("&output=json");
}

SourceRead<ArchiveSearchPage> ReadArchiveSearch(QByteArrayView bytes)
{
    SourceRead<ArchiveSearchPage> read;
    QString cause;
    const std::optional<QJsonObject> answer = ParseAnswer(bytes, cause);
    if (!answer) {
        read.error = AnswerNotReadText(SourceKind::InternetArchive, cause);
        return read;
    }
    AnswerFields fields;
    const QJsonObject response = fields.Object(*answer, "response", {}, true);
    const QString where = QStringLiteral("response");
    const std::optional<qint64> found = CheckedSize(fields.Number(response, "numFound", where));
    if (!found)
        fields.Refuse(where, "numFound");
    const QJsonArray docs = fields.Array(response, "docs", where, true);
    const QString docsWhere = QStringLiteral("response.docs");
    QSet<QString> seen;
    for (qsizetype i = 0; i < docs.size() && !fields.Failed(); ++i) {
        const QJsonObject doc = fields.Element(docs, i, docsWhere);
        const QString identifier = fields.NeededText(doc, "identifier", ElementPath(docsWhere, i));
        if (IsIdentifier(identifier) && !seen.contains(identifier)) {
            seen.insert(identifier);
            read.value.identifiers << identifier;
        }
    }
    if (fields.Failed()) {
        read.value = {};
        read.error = AnswerNotReadText(SourceKind::InternetArchive, fields.Cause());
        return read;
    }
    read.value.found = *found;
    return read;
}

bool ArchiveHasPageAfter(qint64 found, int page)
{
    return page >= 1 && page < kArchiveMaxPages && found > static_cast<qint64>(page) * kArchiveRows;
}

QString ArchiveMetadataUrl(const QString& host, const QString& identifier)
{
    return HostBase(host) + QStringLiteral("/metadata/") + EncodePathSegments(identifier);
}

SourceRead<std::vector<SourceFile>> ReadArchiveItem(QByteArrayView bytes, const QString& host,
                                                    const QString& identifier)
{
    SourceRead<std::vector<SourceFile>> read;
    QString cause;
    const std::optional<QJsonObject> answer = ParseAnswer(bytes, cause);
    if (!answer) {
        read.error = AnswerNotReadText(SourceKind::InternetArchive, cause);
        return read;
    }
    if (answer->isEmpty() || !IsIdentifier(identifier))
        return read;

    AnswerFields fields;
    const QJsonArray files = fields.Array(*answer, "files", {}, true);
    const QString d1 = fields.Text(*answer, "d1", {});
    const QString d2 = fields.Text(*answer, "d2", {});
    const QString dir = fields.Text(*answer, "dir", {});
    const QJsonObject metadata = fields.Object(*answer, "metadata", {}, false);
    const QString itemTitle = fields.Names(metadata, "title", QStringLiteral("metadata"));
    const QString itemCreator = fields.Names(metadata, "creator", QStringLiteral("metadata"));

    std::vector<ArchiveEntry> entries;
    entries.reserve(static_cast<std::size_t>(files.size()));
    const QString filesWhere = QStringLiteral("files");
    for (qsizetype i = 0; i < files.size() && !fields.Failed(); ++i) {
        const QJsonObject file = fields.Element(files, i, filesWhere);
        const QString where = ElementPath(filesWhere, i);
        ArchiveEntry entry;
        entry.name = fields.NeededText(file, "name", where);
        entry.format = fields.Text(file, "format", where);
        entry.source = fields.Text(file, "source", where);
        entry.original = fields.Text(file, "original", where);
        entry.size = fields.Number(file, "size", where);
        // "length" is seconds, as a number or a string, or a clock "m:ss".
        if (file.value(QLatin1StringView("length")).isString())
            entry.length = ParseLength(fields.Text(file, "length", where));
        else
            entry.length = fields.Number(file, "length", where);
        entry.title = fields.Names(file, "title", where);
        entry.artist = fields.Names(file, "creator", where);
        if (entry.artist.isEmpty())
            entry.artist = fields.Names(file, "artist", where);
        entry.album = fields.Names(file, "album", where);
        entry.md5 = fields.Text(file, "md5", where);
        entry.sha1 = fields.Text(file, "sha1", where);
        entries.push_back(std::move(entry));
    }
    if (fields.Failed()) {
        read.error = AnswerNotReadText(SourceKind::InternetArchive, fields.Cause());
        return read;
    }

    QHash<QString, qsizetype> byName;
    for (std::size_t i = 0; i < entries.size(); ++i)
        byName.insert(entries[i].name, static_cast<qsizetype>(i));  // the last of a name wins, as anywhere
    // The best MP3 of each recording, recordings in order of appearance.
    QHash<QString, std::size_t> bestOf;
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!IsMp3(entries[i]) || !IsSafePathText(entries[i].name))
            continue;
        const QString recording = RecordingOf(entries[i], byName, entries);
        const auto known = bestOf.constFind(recording);
        if (known == bestOf.constEnd()) {
            bestOf.insert(recording, chosen.size());
            chosen.push_back(i);
        } else if (Quality(entries[i]) > Quality(entries[chosen[*known]])) {
            chosen[*known] = i;
        }
    }

    const QString base = HostBase(host) + QStringLiteral("/download/") + EncodePathSegments(identifier) + u'/';
    // The item's folder on its two servers; left out when the answer's
    // names could not safely make an address.
    const bool dirUsable = dir.startsWith(u'/') && IsSafePathText(dir.mid(1));
    const QString dirPath = dirUsable ? EncodePathSegments(dir.endsWith(u'/') ? dir.chopped(1) : dir) : QString();
    for (const std::size_t index : chosen) {
        const ArchiveEntry& entry = entries[index];
        SourceFile file;
        const QString name = EncodePathSegments(entry.name);
        file.url = base + name;
        if (!IsWebAddress(file.url))
            continue;
        for (const QString& server : {d1, d2}) {
            if (!dirUsable || !IsSafeServerName(server))
                continue;
            const QString mirror = QStringLiteral("https://") + server + dirPath + u'/' + name;
            if (IsWebAddress(mirror) && mirror != file.url && !file.mirrors.contains(mirror))
                file.mirrors << mirror;
        }
        file.size = CheckedSize(entry.size);
        file.lengthSeconds = CheckedSeconds(entry.length);
        file.title = entry.title.isEmpty() ? TitleFromName(entry.name) : entry.title;
        file.artist = entry.artist.isEmpty() ? itemCreator : entry.artist;
        file.album = entry.album.isEmpty() ? itemTitle : entry.album;
        file.md5 = CheckedHex(entry.md5, 32);
        file.sha1 = CheckedHex(entry.sha1, 40);
        read.value.push_back(std::move(file));
    }
    return read;
}
