// The Internet Archive's answers as any server might send them: the same
// bytes read as a search answer and as an item's metadata.
#include "search/sources/ArchiveReader.h"
#include "search/sources/SourceAddress.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto search = ReadArchiveSearch(bytes);
    if (!search.ok() && (!search.value.identifiers.isEmpty() || search.value.found != 0))
        __builtin_trap();
    for (const QString& identifier : search.value.identifiers) {
        // Each identifier can stand as one path segment of an address.
        if (!IsSafePathText(identifier) || identifier.contains(u'/'))
            __builtin_trap();
    }
    const auto item = ReadArchiveItem(bytes, QStringLiteral("https://archive.test"), QStringLiteral("item"));
    if (!item.ok() && !item.value.empty())
        __builtin_trap();
    static const QRegularExpression md5(QStringLiteral("^([0-9a-f]{32})?$"));
    static const QRegularExpression sha1(QStringLiteral("^([0-9a-f]{40})?$"));
    for (const SourceFile& file : item.value) {
        // Every address stays on the configured host or goes to a checked
        // server of the item, over http or https.
        if (!file.url.startsWith(QStringLiteral("https://archive.test/download/item/")) || !IsWebAddress(file.url))
            __builtin_trap();
        for (const QString& mirror : file.mirrors) {
            if (!IsWebAddress(mirror) || mirror.indexOf(u'@') >= 0 || mirror.contains(QStringLiteral("/../")))
                __builtin_trap();
        }
        if (!md5.match(file.md5).hasMatch() || !sha1.match(file.sha1).hasMatch() || (file.size && *file.size < 0))
            __builtin_trap();
    }
    return 0;
}
