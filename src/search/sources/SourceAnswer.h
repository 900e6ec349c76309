#pragma once

#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <optional>

// The built-in web sources, each a service that answers JSON.
enum class SourceKind { InternetArchive, LibriVox, Podcasts, Jamendo };

// The source's name as the user sees it, in the language in force.
QString SourceName(SourceKind kind);

// An answer larger than this is not read at all: the largest real ones (an
// Internet Archive item with thousands of files) stay far below it, and Qt's
// JSON reader has no limit of its own.
inline constexpr std::size_t kMaxAnswerBytes = 8 * 1024 * 1024;
// Arrays and objects nested deeper than this are refused before parsing; the
// services' answers are four or five levels deep.
inline constexpr int kMaxAnswerDepth = 32;

// "The answer of NAME could not be read: CAUSE".
QString AnswerNotReadText(SourceKind kind, const QString& cause);

// "the service answered: TEXT" for an error the service reports itself; the
// text is cut to 200 characters.
QString ServiceSaidCause(const QString& text);

// True when `bytes` opens more than `maxDepth` arrays or objects inside each
// other. One pass over the bytes, reading strings as JSON does, so brackets
// inside a string do not count.
bool NestsDeeperThan(QByteArrayView bytes, int maxDepth);

// The answer's top-level object after the size and depth checks, or nothing
// with the cause in `cause` (without the source's name).
std::optional<QJsonObject> ParseAnswer(QByteArrayView bytes, QString& cause);

// Reads fields of an answer and keeps the first one that is missing where it
// is needed or of a kind the reader cannot use; readers stop at that point.
// `where` names the enclosing object ("response.docs[3]") for the message.
class AnswerFields final {
public:
    // A string; empty when the field is absent or null.
    QString Text(const QJsonObject& object, const char* key, const QString& where);
    // A string that must be there.
    QString NeededText(const QJsonObject& object, const char* key, const QString& where);
    // A string or a list of strings ("creator"), trimmed and joined by ", ".
    QString Names(const QJsonObject& object, const char* key, const QString& where);
    // A number, or a string holding one as the Internet Archive sends sizes;
    // nothing when absent or unreadable as a number.
    std::optional<double> Number(const QJsonObject& object, const char* key, const QString& where);
    // true only for the JSON value true.
    bool Flag(const QJsonObject& object, const char* key, const QString& where);
    QJsonArray Array(const QJsonObject& object, const char* key, const QString& where, bool needed);
    QJsonObject Object(const QJsonObject& object, const char* key, const QString& where, bool needed);
    // The element at `index` of an array of objects.
    QJsonObject Element(const QJsonArray& array, qsizetype index, const QString& where);

    // Marks a field that was there but cannot be used (a count below zero).
    void Refuse(const QString& where, const char* key);

    bool Failed() const { return !m_field.isEmpty(); }
    // "its field NAME is missing or of the wrong kind".
    QString Cause() const;

private:
    QString m_field;
};

// "where.key", or "key" at the top.
QString FieldPath(const QString& where, const char* key);
// "where[index]".
QString ElementPath(const QString& where, qsizetype index);

// A length as services write it: seconds ("245", "245.3") or a clock
// ("4:05", "1:02:03"); nothing for anything else or a negative length.
std::optional<double> ParseLength(const QString& text);
// A length in seconds that is a real one (finite, not negative).
std::optional<double> CheckedSeconds(std::optional<double> seconds);
// A byte count that is a whole, non-negative number a file can have.
std::optional<qint64> CheckedSize(std::optional<double> size);
// `hex` in lower case when it is exactly `digits` hex digits, else empty.
QString CheckedHex(const QString& hex, qsizetype digits);
