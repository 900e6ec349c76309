#include "search/sources/PodcastReader.h"

#include "search/sources/SourceAddress.h"
#include "search/sources/SourceAnswer.h"

#include <QHash>
#include <QRegularExpression>

namespace {

bool PathEndsInMp3(const QString& url)
{
    static const QRegularExpression queryOrFragment(QStringLiteral("[?#]"));
    const qsizetype end = url.indexOf(queryOrFragment);
    return (end < 0 ? url : url.left(end)).endsWith(QLatin1StringView(".mp3"), Qt::CaseInsensitive);
}

}  // namespace

QString PodcastSearchUrl(const QString& host, const QString& keywords)
{
    return HostBase(host) + QStringLiteral("/search?term=") + EncodeQueryValue(keywords.trimmed()) +
           QStringLiteral("&media=podcast&entity=podcastEpisode&limit=") + QString::number(kPodcastLimit);
}

SourceRead<std::vector<SourceFile>> ReadPodcastAnswer(QByteArrayView bytes)
{
    SourceRead<std::vector<SourceFile>> read;
    QString cause;
    const std::optional<QJsonObject> answer = ParseAnswer(bytes, cause);
    if (!answer) {
        read.error = AnswerNotReadText(SourceKind::Podcasts, cause);
        return read;
    }
    AnswerFields fields;
    const QJsonArray results = fields.Array(*answer, "results", {}, true);
    const QString resultsWhere = QStringLiteral("results");

    // The podcasts' own artists first: their items may come after their episodes.
    QHash<qint64, QString> podcastArtist;
    for (qsizetype i = 0; i < results.size() && !fields.Failed(); ++i) {
        const QJsonObject item = fields.Element(results, i, resultsWhere);
        const QString where = ElementPath(resultsWhere, i);
        if (fields.Text(item, "kind", where) != u"podcast")
            continue;
        const std::optional<qint64> collection = CheckedSize(fields.Number(item, "collectionId", where));
        const QString artist = fields.Text(item, "artistName", where).trimmed();
        if (collection && !artist.isEmpty() && !podcastArtist.contains(*collection))
            podcastArtist.insert(*collection, artist);
    }
    for (qsizetype i = 0; i < results.size() && !fields.Failed(); ++i) {
        const QJsonObject item = results.at(i).toObject();
        const QString where = ElementPath(resultsWhere, i);
        if (fields.Text(item, "kind", where) != u"podcast-episode")
            continue;
        SourceFile file;
        file.url = fields.Text(item, "episodeUrl", where).trimmed();
        const QString extension = fields.Text(item, "episodeFileExtension", where).trimmed();
        file.title = fields.Text(item, "trackName", where).trimmed();
        file.album = fields.Text(item, "collectionName", where).trimmed();
        file.artist = fields.Text(item, "artistName", where).trimmed();
        const std::optional<qint64> collection = CheckedSize(fields.Number(item, "collectionId", where));
        if (const std::optional<double> millis = fields.Number(item, "trackTimeMillis", where))
            file.lengthSeconds = CheckedSeconds(*millis / 1000);
        if (!IsWebAddress(file.url) ||
            (extension.compare(QLatin1StringView("mp3"), Qt::CaseInsensitive) != 0 && !PathEndsInMp3(file.url)))
            continue;
        if (file.artist.isEmpty() && collection)
            file.artist = podcastArtist.value(*collection);
        read.value.push_back(std::move(file));
    }
    if (fields.Failed()) {
        read.value.clear();
        read.error = AnswerNotReadText(SourceKind::Podcasts, fields.Cause());
    }
    return read;
}
