#pragma once

#include "search/sources/SourceFile.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

// Jamendo, Creative Commons music. Its download addresses end in '/' and
// carry no file name, so each found file comes with the name to save it under.

inline constexpr int kJamendoLimit = 200;

// Page `page` (from 1) of the track search; `clientId` is the user's own.
QString JamendoSearchUrl(const QString& host, const QString& clientId, const QString& keywords, int page = 1);

// The answer's results[]: a track whose audiodownload_allowed is true gives
// a found file at its audiodownload address, saved as "ARTIST - TITLE.mp3".
// A "failed" status in the headers is an answer that could not be read, with
// the service's own message.
SourceRead<std::vector<SourceFile>> ReadJamendoAnswer(QByteArrayView bytes);
