#include "search/sources/SourceAnswer.h"

#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "resources/StringTable.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QStringList>

#include <cmath>

namespace {

QString Text(unsigned id)
{
    return QString::fromStdString(LoadLanguageString(id));
}

QString Format(unsigned id, const QString& arg)
{
    return QString::fromStdString(AfxFormatString1(LoadLanguageString(id), arg.toStdString()));
}

}  // namespace

QString SourceName(SourceKind kind)
{
    switch (kind) {
    case SourceKind::InternetArchive: return Text(IDS_SOURCE_ARCHIVE);
    case SourceKind::LibriVox: return Text(IDS_SOURCE_LIBRIVOX);
    case SourceKind::Podcasts: return Text(IDS_SOURCE_PODCASTS);
    case SourceKind::Jamendo: return Text(IDS_SOURCE_JAMENDO);
    }
    return {};
}

QString AnswerNotReadText(SourceKind kind, const QString& cause)
{
    return QString::fromStdString(AfxFormatString2(LoadLanguageString(IDS_SOURCE_ANSWER_NOT_READ),
                                                   SourceName(kind).toStdString(), cause.toStdString()));
}

QString ServiceSaidCause(const QString& text)
{
    return Format(IDS_SOURCE_SERVICE_SAID, text.trimmed().left(200));
}

bool NestsDeeperThan(QByteArrayView bytes, int maxDepth)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\')
                ++i;  // the escaped character, whatever it is
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

std::optional<QJsonObject> ParseAnswer(QByteArrayView bytes, QString& cause)
{
    if (static_cast<std::size_t>(bytes.size()) > kMaxAnswerBytes) {
        cause = Format(IDS_SOURCE_TOO_LARGE, QString::number(kMaxAnswerBytes / (1024 * 1024)));
        return std::nullopt;
    }
    if (NestsDeeperThan(bytes, kMaxAnswerDepth)) {
        cause = Format(IDS_SOURCE_TOO_DEEP, QString::number(kMaxAnswerDepth));
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        cause = Text(IDS_SOURCE_NOT_JSON);
        return std::nullopt;
    }
    return document.object();
}

QString FieldPath(const QString& where, const char* key)
{
    return where.isEmpty() ? QString::fromUtf8(key) : where + u'.' + QString::fromUtf8(key);
}

QString ElementPath(const QString& where, qsizetype index)
{
    return where + u'[' + QString::number(index) + u']';
}

void AnswerFields::Refuse(const QString& where, const char* key)
{
    if (m_field.isEmpty())
        m_field = FieldPath(where, key);
}

QString AnswerFields::Cause() const
{
    return Format(IDS_SOURCE_BAD_FIELD, m_field);
}

QString AnswerFields::Text(const QJsonObject& object, const char* key, const QString& where)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (value.isString())
        return value.toString();
    if (!value.isUndefined() && !value.isNull())
        Refuse(where, key);
    return {};
}

QString AnswerFields::NeededText(const QJsonObject& object, const char* key, const QString& where)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (!value.isString()) {
        Refuse(where, key);
        return {};
    }
    return value.toString();
}

QString AnswerFields::Names(const QJsonObject& object, const char* key, const QString& where)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (value.isString())
        return value.toString().trimmed();
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isArray()) {
        Refuse(where, key);
        return {};
    }
    QStringList names;
    for (const QJsonValue& name : value.toArray()) {
        if (!name.isString()) {
            Refuse(where, key);
            return {};
        }
        if (const QString trimmed = name.toString().trimmed(); !trimmed.isEmpty())
            names << trimmed;
    }
    return names.join(QStringLiteral(", "));
}

std::optional<double> AnswerFields::Number(const QJsonObject& object, const char* key, const QString& where)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (value.isDouble())
        return value.toDouble();
    if (value.isString()) {
        bool ok = false;
        const double number = value.toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
        return std::nullopt;
    }
    if (!value.isUndefined() && !value.isNull())
        Refuse(where, key);
    return std::nullopt;
}

bool AnswerFields::Flag(const QJsonObject& object, const char* key, const QString& where)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (!value.isBool() && !value.isUndefined() && !value.isNull())
        Refuse(where, key);
    return value.toBool(false);
}

QJsonArray AnswerFields::Array(const QJsonObject& object, const char* key, const QString& where, bool needed)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (value.isArray())
        return value.toArray();
    if (needed || (!value.isUndefined() && !value.isNull()))
        Refuse(where, key);
    return {};
}

QJsonObject AnswerFields::Object(const QJsonObject& object, const char* key, const QString& where, bool needed)
{
    const QJsonValue value = object.value(QLatin1StringView(key));
    if (value.isObject())
        return value.toObject();
    if (needed || (!value.isUndefined() && !value.isNull()))
        Refuse(where, key);
    return {};
}

QJsonObject AnswerFields::Element(const QJsonArray& array, qsizetype index, const QString& where)
{
    const QJsonValue value = array.at(index);
    if (!value.isObject()) {
        if (m_field.isEmpty())
            m_field = ElementPath(where, index);
        return {};
    }
    return value.toObject();
}

std::optional<double> CheckedSeconds(std::optional<double> seconds)
{
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > 1e9)
        return std::nullopt;
    return seconds;
}

std::optional<double> ParseLength(const QString& text)
{
    const QStringList parts = text.trimmed().split(u':');
    if (parts.size() > 3)
        return std::nullopt;
    double seconds = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        // Only the last part may have a fraction; the others are whole
        // minutes or hours.
        const double value = i + 1 == parts.size() ? parts[i].toDouble(&ok) : parts[i].toUInt(&ok);
        if (!ok || parts[i].isEmpty() || parts[i].startsWith(u'-') || parts[i].startsWith(u'+'))
            return std::nullopt;
        seconds = seconds * 60 + value;
    }
    return CheckedSeconds(seconds);
}

std::optional<qint64> CheckedSize(std::optional<double> size)
{
    // Sizes above 2^53 cannot be told exactly from a double, and no file is
    // that large.
    if (!size || !std::isfinite(*size) || *size < 0 || *size > 9007199254740992.0 || *size != std::floor(*size))
        return std::nullopt;
    return static_cast<qint64>(*size);
}

QString CheckedHex(const QString& hex, qsizetype digits)
{
    if (hex.size() != digits)
        return {};
    for (const QChar c : hex) {
        if (!(c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return {};
    }
    return hex.toLower();
}
