#pragma once

#include "search/sources/SourceFile.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

// The Internet Archive: a search for audio items, then each item's metadata,
// which lists its files. Pure functions: addresses out, answers in.

inline constexpr int kArchiveRows = 50;     // items per search page
inline constexpr int kArchiveMaxPages = 4;  // 200 items per search

// Page `page` (from 1) of the search for `keywords` among audio items.
QString ArchiveSearchUrl(const QString& host, const QString& keywords, int page);

struct ArchiveSearchPage {
    qint64 found = 0;         // items the whole search matched
    QStringList identifiers;  // this page's, in the answer's order, each once
};

// The search answer: response.numFound and response.docs[].identifier.
// Identifiers that could not stand in an address are left out.
SourceRead<ArchiveSearchPage> ReadArchiveSearch(QByteArrayView bytes);

// True when the search has items after page `page` and the pages allowed
// per search are not used up.
bool ArchiveHasPageAfter(qint64 found, int page);

QString ArchiveMetadataUrl(const QString& host, const QString& identifier);

// One item's metadata answer: one found file per recording, the best MP3 of
// those made from the same original (an original MP3 first, then "VBR MP3",
// then the highest "NNKbps MP3"), in the order the recordings first appear.
// An empty object, the service's answer for an unknown item, has no files.
SourceRead<std::vector<SourceFile>> ReadArchiveItem(QByteArrayView bytes, const QString& host,
                                                    const QString& identifier);
