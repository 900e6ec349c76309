#pragma once

#include <QPixmap>

// The built-in pictures, addressed by their resource ids. A picture that is
// missing gives a null pixmap, so its control simply stays blank.
QPixmap LoadBitmap(int id);

// The images of a strip of equal cells (the toolbar strip and the list
// images), cut from left to right; colour `maskColour` becomes transparent.
QPixmap StripCell(const QPixmap& strip, int index, int cellWidth, QRgb maskColour);

// The application icon in every size that was drawn for it.
class QIcon;
QIcon ApplicationIcon();
