#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

// MapDialogRect: a dialog template's rectangle (x, y, width, height in dialog
// units) in pixels for `dialog`'s font. A horizontal unit is a quarter of the
// font's average character width, a vertical unit an eighth of its height,
// so the controls keep their proportions to the text whatever font the
// desktop gives us.
inline QRect MapDialogRect(const QWidget* dialog, int x, int y, int width, int height)
{
    const QFontMetrics fm(dialog->font());
    const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = fm.height();
    return QRect(x * baseX / 4, y * baseY / 8, width * baseX / 4, height * baseY / 8);
}

// Puts a control of a dialog template in place: its name, its control id (the
// key the language pass translates it by) and its rectangle in dialog units.
template <class Widget>
Widget* PlaceControl(QWidget* dialog, Widget* widget, int id, const char* name, int x, int y, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setProperty("controlId", id);
    widget->setGeometry(MapDialogRect(dialog, x, y, width, height));
    return widget;
}
