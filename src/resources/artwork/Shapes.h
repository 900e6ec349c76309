// Shared palette, drawing helpers and the picture makers of the generator.
#pragma once

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>

// One palette for every picture, so the program reads as one design:
// deep blue ink, a light sheet colour for whatever is "in front", and an
// orange accent that stands for music.
inline const QColor kInk(0x1c2f4a);        // outlines of icons
inline const QColor kNavy(0x1f3a5f);
inline const QColor kBlue(0x2f6fb5);
inline const QColor kSky(0x8cc0ef);
inline const QColor kOrange(0xf08a24);
inline const QColor kGreen(0x2f9e48);
inline const QColor kRed(0xd23a2f);
inline const QColor kGrey(0x8592a6);
inline const QColor kSheet(0xf3f7fc);      // selected tab and the rule under it
inline const QColor kEdge(0x7b90ab);       // outline of the tab strip
inline const QColor kTabText(0x23395b);
inline const QColor kSelectedText(0x0f2748);
inline const QColor kHoverRed(0xd4202c);

inline QImage Canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

inline void Smooth(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

inline QFont PixelFont(const QString& family, int px, bool bold)
{
    QFont font(family);
    font.setPixelSize(px);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Writes pictures below the resources folder and remembers whether all went well.
class Writer final {
public:
    explicit Writer(const QString& root) : m_root(root) {}
    void Bitmap(int id, const QImage& img) { Png(QString("bitmaps/%1.png").arg(id), img); }
    void Png(const QString& rel, const QImage& img) { Save(rel, img.convertToFormat(QImage::Format_ARGB32), "PNG"); }
    void Bmp(const QString& rel, const QImage& img) { Save(rel, img.convertToFormat(QImage::Format_RGB888), "BMP"); }
    bool Ok() const { return m_ok; }

private:
    void Save(const QString& rel, const QImage& img, const char* format)
    {
        const QString path = m_root + "/" + rel;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!img.save(path, format)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            m_ok = false;
        }
    }
    QString m_root;
    bool m_ok = true;
};

// Icons.cpp: the 16 x 16 images, drawn at the painter's origin.
void ListImage(QPainter& p, int index);    // 0..6 of the list strip
void ToolbarImage(QPainter& p, int index); // 0..18 of the toolbar strip
void NeutralFlag(QPainter& p);
QImage LetterFlag(const QString& letters, const QColor& dark, const QColor& light);
QImage AppIcon(int size);
void DrawNote(QPainter& p, QPointF head, double s, const QColor& colour);
void DrawGlobe(QPainter& p, QPointF centre, double r, bool muted = false);

// Splash.cpp
QImage Splash();
