#pragma once

#include "search/sources/SourceFile.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

// The podcast directory's episode search: one request per search (the
// service allows about 20 a minute), whose answer lists the episodes
// themselves with their addresses.

inline constexpr int kPodcastLimit = 50;

QString PodcastSearchUrl(const QString& host, const QString& keywords);

// The answer's results[]: each "podcast-episode" whose file is an MP3 (its
// episodeFileExtension, or its address's path) is a found file. An episode
// without an artistName takes that of the "podcast" item of the same
// collectionId in the same answer. resultCount is not trusted.
SourceRead<std::vector<SourceFile>> ReadPodcastAnswer(QByteArrayView bytes);
