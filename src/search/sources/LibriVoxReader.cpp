#include "search/sources/LibriVoxReader.h"

#include "search/FeedReader.h"
#include "search/sources/SourceAddress.h"
#include "search/sources/SourceAnswer.h"

#include <QStringList>

namespace {

// What the service answers, with 404 or 200, when no book matches.
constexpr QLatin1StringView kNothingFound("Audiobooks could not be found");

}  // namespace

QString LibriVoxSearchUrl(const QString& host, LibriVoxField field, const QString& keywords)
{
    const QString key = field == LibriVoxField::Title ? QStringLiteral("title") : QStringLiteral("author");
    return HostBase(host) + QStringLiteral("/api/feed/audiobooks/?format=json&limit=") +
           QString::number(kLibriVoxMaxBooks) + u'&' + key + u'=' + EncodeQueryValue(keywords.trimmed());
}

SourceRead<std::vector<LibriVoxBook>> ReadLibriVoxBooks(QByteArrayView bytes)
{
    SourceRead<std::vector<LibriVoxBook>> read;
    QString cause;
    const std::optional<QJsonObject> answer = ParseAnswer(bytes, cause);
    if (!answer) {
        read.error = AnswerNotReadText(SourceKind::LibriVox, cause);
        return read;
    }
    AnswerFields fields;
    if (!answer->contains(QLatin1StringView("books"))) {
        const QString said = fields.Text(*answer, "error", {}).trimmed();
        if (said.compare(kNothingFound, Qt::CaseInsensitive) == 0)
            return read;
        if (!said.isEmpty()) {
            read.error = AnswerNotReadText(SourceKind::LibriVox, ServiceSaidCause(said));
            return read;
        }
    }
    const QJsonArray books = fields.Array(*answer, "books", {}, true);
    const QString booksWhere = QStringLiteral("books");
    for (qsizetype i = 0; i < books.size() && !fields.Failed() && read.value.size() < static_cast<std::size_t>(kLibriVoxMaxBooks); ++i) {
        const QJsonObject entry = fields.Element(books, i, booksWhere);
        const QString where = ElementPath(booksWhere, i);
        LibriVoxBook book;
        book.title = fields.Text(entry, "title", where).trimmed();
        book.feedUrl = fields.Text(entry, "url_rss", where).trimmed();
        book.seconds = CheckedSeconds(fields.Number(entry, "totaltimesecs", where));
        const QJsonArray authors = fields.Array(entry, "authors", where, false);
        QStringList names;
        const QString authorsWhere = FieldPath(where, "authors");
        for (qsizetype k = 0; k < authors.size() && !fields.Failed(); ++k) {
            const QJsonObject author = fields.Element(authors, k, authorsWhere);
            const QString authorWhere = ElementPath(authorsWhere, k);
            const QString name = (fields.Text(author, "first_name", authorWhere).trimmed() + u' ' +
                                  fields.Text(author, "last_name", authorWhere).trimmed())
                                     .trimmed();
            if (!name.isEmpty())
                names << name;
        }
        book.authors = names.join(QStringLiteral(", "));
        if (IsWebAddress(book.feedUrl))
            read.value.push_back(std::move(book));
    }
    if (fields.Failed()) {
        read.value.clear();
        read.error = AnswerNotReadText(SourceKind::LibriVox, fields.Cause());
    }
    return read;
}

std::vector<SourceFile> LibriVoxChapters(const LibriVoxBook& book, const FeedPage& feed)
{
    std::vector<SourceFile> chapters;
    for (const FeedFile& item : feed.files) {
        SourceFile file;
        file.url = QString::fromStdString(item.url);
        if (!IsWebAddress(file.url))
            continue;
        file.title = QString::fromStdString(item.title);
        if (file.title.isEmpty())
            file.title = QString::fromStdString(item.fileName).chopped(4);  // without ".mp3"
        file.artist = book.authors;
        file.album = book.title;
        if (item.seconds >= 0)
            file.lengthSeconds = item.seconds;
        chapters.push_back(std::move(file));
    }
    return chapters;
}
