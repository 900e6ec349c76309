#pragma once

#include "search/sources/SourceFile.h"

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

struct FeedPage;

// LibriVox, public-domain audiobooks: a search by title or by author gives
// books, and each book's feed lists its chapters.

inline constexpr int kLibriVoxMaxBooks = 20;

enum class LibriVoxField { Title, Author };

QString LibriVoxSearchUrl(const QString& host, LibriVoxField field, const QString& keywords);

struct LibriVoxBook {
    QString title;
    QString feedUrl;  // the book's podcast feed (url_rss), http or https
    QString authors;  // "First Last, First Last"
    std::optional<double> seconds;  // totaltimesecs
};

// The answer's books[], at most kLibriVoxMaxBooks; books without a usable
// feed address are left out. The service's "Audiobooks could not be found"
// is no books, not an unreadable answer.
SourceRead<std::vector<LibriVoxBook>> ReadLibriVoxBooks(QByteArrayView bytes);

// The chapters of `book` read from its feed: each an MP3 of the book, by its
// authors, with the feed item's title and length.
std::vector<SourceFile> LibriVoxChapters(const LibriVoxBook& book, const FeedPage& feed);
