#include "settings/HelpContents.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

QString DecodeEntities(QString text)
{
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

}  // namespace

std::vector<HelpTopic> ParseHelpContents(const QString& siteMap)
{
    static const QRegularExpression tagPattern(QStringLiteral("<\\s*(/?)\\s*(\\w+)([^>]*)>"));
    static const QRegularExpression attrPattern(QStringLiteral("(\\w+)\\s*=\\s*\"([^\"]*)\""));

    std::vector<HelpTopic> topics;
    // For every open <UL>, the depth of the entry that opened it (-1 for a
    // list opened before any entry): its entries sit one level below. Lists
    // nested past the cap are only counted, so their ends still match.
    std::vector<int> parents{-1};
    std::size_t uncounted = 0;
    QString name;
    QString local;
    bool inObject = false;
    for (auto it = tagPattern.globalMatch(siteMap); it.hasNext();) {
        const auto tag = it.next();
        const bool closing = !tag.captured(1).isEmpty();
        const QString tagName = tag.captured(2).toLower();
        if (tagName == u"ul") {
            if (!closing) {
                if (parents.size() <= static_cast<std::size_t>(kHelpContentsDepthMax) + 1)
                    parents.push_back(topics.empty() ? -1 : topics.back().depth);
                else
                    ++uncounted;
            } else if (uncounted > 0) {
                --uncounted;
            } else if (parents.size() > 1) {
                parents.pop_back();
            }
        } else if (tagName == u"object") {
            if (!closing) {
                inObject = true;
                name.clear();
                local.clear();
            } else if (inObject) {
                inObject = false;
                topics.push_back({name, local, std::min(parents.back() + 1, kHelpContentsDepthMax)});
                if (topics.size() >= kHelpContentsEntriesMax)
                    break;
            }
        } else if (tagName == u"param" && inObject) {
            QString paramName;
            QString value;
            for (auto attrs = attrPattern.globalMatch(tag.captured(3)); attrs.hasNext();) {
                const auto attr = attrs.next();
                const QString key = attr.captured(1).toLower();
                if (key == u"name")
                    paramName = attr.captured(2).toLower();
                else if (key == u"value")
                    value = DecodeEntities(attr.captured(2));
            }
            if (paramName == u"name")
                name = value;
            else if (paramName == u"local")
                local = value;
        }
    }
    return topics;
}
