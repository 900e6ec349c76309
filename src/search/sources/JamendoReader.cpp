#include "search/sources/JamendoReader.h"

#include "search/sources/SourceAddress.h"
#include "search/sources/SourceAnswer.h"

QString JamendoSearchUrl(const QString& host, const QString& clientId, const QString& keywords, int page)
{
    QString url = HostBase(host) + QStringLiteral("/v3.0/tracks/?client_id=") + EncodeQueryValue(clientId.trimmed()) +
                  QStringLiteral("&format=json&limit=") + QString::number(kJamendoLimit) + QStringLiteral("&search=") +
                  EncodeQueryValue(keywords.trimmed()) + QStringLiteral("&audioformat=mp32");
    if (page > 1)
        url += QStringLiteral("&offset=") + QString::number(static_cast<qint64>(page - 1) * kJamendoLimit);
    return url;
}

SourceRead<std::vector<SourceFile>> ReadJamendoAnswer(QByteArrayView bytes)
{
    SourceRead<std::vector<SourceFile>> read;
    QString cause;
    const std::optional<QJsonObject> answer = ParseAnswer(bytes, cause);
    if (!answer) {
        read.error = AnswerNotReadText(SourceKind::Jamendo, cause);
        return read;
    }
    AnswerFields fields;
    const QJsonObject headers = fields.Object(*answer, "headers", {}, false);
    const QString headersWhere = QStringLiteral("headers");
    if (fields.Text(headers, "status", headersWhere).trimmed() == u"failed") {
        QString said = fields.Text(headers, "error_message", headersWhere);
        if (said.trimmed().isEmpty())
            said = QStringLiteral("failed");
        read.error = AnswerNotReadText(SourceKind::Jamendo, ServiceSaidCause(said));
        return read;
    }
    const QJsonArray results = fields.Array(*answer, "results", {}, true);
    const QString resultsWhere = QStringLiteral("results");
    for (qsizetype i = 0; i < results.size() && !fields.Failed(); ++i) {
        const QJsonObject track = fields.Element(results, i, resultsWhere);
        const QString where = ElementPath(resultsWhere, i);
        const bool allowed = fields.Flag(track, "audiodownload_allowed", where);
        SourceFile file;
        file.url = fields.Text(track, "audiodownload", where).trimmed();
        file.title = fields.Text(track, "name", where).trimmed();
        file.artist = fields.Text(track, "artist_name", where).trimmed();
        file.album = fields.Text(track, "album_name", where).trimmed();
        file.lengthSeconds = CheckedSeconds(fields.Number(track, "duration", where));
        if (!allowed || !IsWebAddress(file.url))
            continue;
        file.fileName = SaveNameFor(file.artist, file.title);
        read.value.push_back(std::move(file));
    }
    if (fields.Failed()) {
        read.value.clear();
        read.error = AnswerNotReadText(SourceKind::Jamendo, fields.Cause());
    }
    return read;
}
