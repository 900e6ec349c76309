#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What a built-in web source (a service that answers JSON) knows about one
// file before anything of the file itself has been fetched. A field the
// service did not give stays empty.
struct SourceFile {
    QString url;          // http or https
    QStringList mirrors;  // other addresses of the same bytes, known from the start
    std::optional<qint64> size;            // bytes
    std::optional<double> lengthSeconds;
    QString title;
    QString artist;
    QString album;
    QString md5;   // lower-case hex, 32 digits
    QString sha1;  // lower-case hex, 40 digits
    // The name to save the file under when its address carries none (Jamendo's
    // "…/mp32/"); empty when the name comes from the address as for any link.
    QString fileName;
};

// A reader's result: what it read, or why the answer could not be read (the
// whole text, naming the source, in the language in force).
template <typename T>
struct SourceRead {
    T value{};
    QString error;
    bool ok() const { return error.isEmpty(); }
};
