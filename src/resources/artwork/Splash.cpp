// The splash picture. The band at the bottom stays plain because the splash lays
// its progress bar over it (about x 110..395, y 280..305).
#include "Shapes.h"

#include <tuple>

namespace {

void DrawGlobeGrid(QPainter& p, QPointF c, double r)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 34), 1.2));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(255, 255, 255, 22), 1));
    for (double f : {0.25, 0.55, 0.82}) p.drawEllipse(c, r * f, r);
    for (double lat : {-0.66, -0.33, 0.0, 0.33, 0.66}) {
        const double half = std::sqrt(1 - lat * lat) * r;
        p.drawLine(QPointF(c.x() - half, c.y() + lat * r), QPointF(c.x() + half, c.y() + lat * r));
    }
}

void DrawWave(QPainter& p, double centreY, double amp, double period, double phase, const QPen& pen)
{
    QPainterPath path;
    for (int x = 0; x <= 400; x += 2) {
        const double envelope = std::pow(std::sin(M_PI * x / 400.0), 1.5);
        const double y = centreY + amp * envelope * std::sin(2 * M_PI * x / period + phase) *
                                       (0.6 + 0.4 * std::sin(2 * M_PI * x / 97.0));
        if (x == 0) path.moveTo(x, y);
        else path.lineTo(x, y);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(pen);
    p.drawPath(path);
}

}  // namespace

QImage Splash()
{
    QImage img(400, 316, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    Smooth(p);
    QLinearGradient sky(0, 0, 0, 316);
    sky.setColorAt(0, QColor(0x0c1f3b));
    sky.setColorAt(0.65, QColor(0x184a78));
    sky.setColorAt(1, QColor(0x113459));
    p.fillRect(img.rect(), sky);
    QRadialGradient glow(QPointF(300, 95), 230);
    glow.setColorAt(0, QColor(110, 180, 255, 90));
    glow.setColorAt(1, QColor(110, 180, 255, 0));
    p.fillRect(img.rect(), glow);
    DrawGlobeGrid(p, QPointF(305, 112), 118);

    // The sound of the web: waves running across the middle.
    DrawWave(p, 204, 26, 61, 0.0, QPen(QColor(140, 200, 255, 70), 1.2));
    DrawWave(p, 204, 20, 43, 1.3, QPen(QColor(255, 255, 255, 60), 1.0));
    DrawWave(p, 204, 30, 83, 2.1, QPen(QColor(240, 138, 36, 200), 2.0));

    for (const auto& [x, y, s, a] : {std::tuple{346.0, 52.0, 5.0, 140}, {372.0, 128.0, 6.5, 170},
                                     {318.0, 160.0, 4.0, 120}, {262.0, 148.0, 3.4, 100}}) {
        DrawNote(p, QPointF(x, y), s, QColor(255, 255, 255, a));
    }

    p.drawImage(QPointF(26, 40), AppIcon(64));
    QFont title = PixelFont("DejaVu Sans", 46, true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(106, 88), "Tunorva");
    p.setPen(Qt::white);
    p.drawText(QPointF(104, 86), "Tunorva");
    p.fillRect(QRectF(106, 98, 120, 3), QColor(0xf08a24));

    p.setFont(PixelFont("DejaVu Sans", 14, false));
    p.setPen(QColor(0xcfe4fa));
    p.drawText(QPointF(28, 140), "Find MP3 music on the web");
    p.drawText(QPointF(28, 159), "and bring it home.");

    // Plain band for the progress bar.
    p.fillRect(QRect(0, 268, 400, 48), QColor(0x0e2a4a));
    p.fillRect(QRect(0, 268, 400, 1), QColor(255, 255, 255, 40));
    p.setFont(PixelFont("DejaVu Sans", 13, true));
    p.setPen(QColor(0xf6b26b));
    p.drawText(QRectF(0, 240, 376, 20), Qt::AlignRight | Qt::AlignVCenter, "Versions 3.0");
    p.setFont(PixelFont("DejaVu Sans", 11, false));
    p.setPen(QColor(0x9fbfdf));
    p.drawText(QRectF(14, 283, 90, 18), Qt::AlignLeft | Qt::AlignVCenter, "Starting...");
    return img;
}
