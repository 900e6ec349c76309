#include "window/Pictures.h"

#include <QBitmap>
#include <QFile>
#include <QIcon>

QPixmap LoadBitmap(int id)
{
    return QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(id));
}

QPixmap StripCell(const QPixmap& strip, int index, int cellWidth, QRgb maskColour)
{
    if (strip.isNull() || index < 0 || (index + 1) * cellWidth > strip.width())
        return {};
    QPixmap cell = strip.copy(index * cellWidth, 0, cellWidth, strip.height());
    // The strips were drawn for an image list with a mask colour; pictures
    // that already carry transparency lose nothing by it.
    cell.setMask(cell.createMaskFromColor(QColor(maskColour), Qt::MaskInColor));
    return cell;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/icons/tunorva-%1.png").arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}
