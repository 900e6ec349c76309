// The 16 x 16 images (list, toolbar, flags) and the program icon. Outlines sit on
// half pixels so that one-pixel lines stay sharp at the pictures' real size.
#include "Shapes.h"

namespace {

const QColor kPageEdge(0x51657f);

QPen Line(const QColor& colour, double width = 1.0)
{
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

QLinearGradient Vertical(double top, double bottom, const QColor& from, const QColor& to)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    return g;
}

// A sheet of paper with a folded corner, optionally ruled with lines of text.
void DrawPage(QPainter& p, const QRectF& r, bool ruled)
{
    const double f = 3.0;
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - f, r.top());
    path.lineTo(r.right(), r.top() + f);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kPageEdge, 1));
    p.setBrush(Vertical(r.top(), r.bottom(), Qt::white, QColor(0xe3eaf3)));
    p.drawPath(path);
    QPainterPath fold;
    fold.moveTo(r.right() - f, r.top());
    fold.lineTo(r.right() - f, r.top() + f);
    fold.lineTo(r.right(), r.top() + f);
    p.setBrush(QColor(0xc6d3e3));
    p.drawPath(fold);
    if (ruled) {
        p.setPen(QPen(QColor(0x7da7d6), 1));
        for (double y = r.top() + 4.0; y < r.bottom() - 1.5; y += 2.0)
            p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

// A round badge in the lower right corner, ringed in white so it stands off the picture under it.
void DrawBadge(QPainter& p, QPointF c, double r, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(c, r + 1, r + 1);
    QRadialGradient g(c - QPointF(r * 0.4, r * 0.4), r * 1.6);
    g.setColorAt(0, colour.lighter(140));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.setPen(QPen(colour.darker(140), 0.8));
    p.drawEllipse(c, r, r);
}

void DrawCheck(QPainter& p, QPointF c)
{
    p.setPen(Line(Qt::white, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({c + QPointF(-1.8, 0), c + QPointF(-0.5, 1.4), c + QPointF(1.9, -1.5)}));
}

// Marks inside badges are set pixel by pixel around the badge's centre pixel:
// drawn lines blur into a blob at this size.
void DrawCross(QPainter& p, QPoint c)
{
    for (int d = -2; d <= 2; ++d) {
        p.fillRect(QRect(c.x() + d, c.y() + d, 1, 1), Qt::white);
        p.fillRect(QRect(c.x() + d, c.y() - d, 1, 1), Qt::white);
    }
}

void DrawClockHands(QPainter& p, QPoint c)
{
    p.fillRect(QRect(c.x(), c.y() - 2, 1, 3), Qt::white);
    p.fillRect(QRect(c.x() + 1, c.y(), 2, 1), Qt::white);
}

void DrawArrowDown(QPainter& p, QPointF c, double s, const QColor& colour)
{
    QPolygonF arrow({c + QPointF(-0.9 * s, -2.2 * s), c + QPointF(0.9 * s, -2.2 * s), c + QPointF(0.9 * s, -0.2 * s),
                     c + QPointF(2.1 * s, -0.2 * s), c + QPointF(0, 2.2 * s), c + QPointF(-2.1 * s, -0.2 * s),
                     c + QPointF(-0.9 * s, -0.2 * s)});
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(Vertical(c.y() - 2 * s, c.y() + 2 * s, colour.lighter(150), colour));
    p.drawPolygon(arrow);
}

void DrawLens(QPainter& p, QPointF c, double r)
{
    const QPointF dir(0.7071, 0.7071);
    p.setPen(Line(kInk, r > 3.5 ? 2.6 : 2.0));
    p.drawLine(c + dir * (r + 0.8), c + dir * (r + (r > 3.5 ? 4.0 : 2.8)));
    QRadialGradient glass(c - QPointF(r * 0.4, r * 0.4), r * 1.5);
    glass.setColorAt(0, Qt::white);
    glass.setColorAt(1, QColor(0xa9cff2));
    p.setBrush(glass);
    p.setPen(QPen(kNavy, r > 3.5 ? 1.4 : 1.1));
    p.drawEllipse(c, r, r);
}

void DrawPauseBars(QPainter& p, QPointF c, double h)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(c.x() - 2.5, c.y() - h / 2, 1.8, h));
    p.drawRect(QRectF(c.x() + 0.7, c.y() - h / 2, 1.8, h));
}

void DrawDisc(QPainter& p, QPointF c, double r, const QColor& colour)
{
    QRadialGradient g(c - QPointF(r * 0.35, r * 0.45), r * 1.5);
    g.setColorAt(0, colour.lighter(150));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.setPen(QPen(colour.darker(150), 1));
    p.drawEllipse(c, r, r);
}

void DrawGear(QPainter& p)
{
    QPainterPath gear;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        const auto at = [&](double angle, double r) { return c + QPointF(std::cos(angle) * r, std::sin(angle) * r); };
        const QPointF pts[] = {at(a - 0.30, 7.2), at(a + 0.30, 7.2), at(a + 0.45, 5.3), at(a + M_PI / 4 - 0.45, 5.3)};
        if (i == 0) gear.moveTo(pts[0]);
        else gear.lineTo(pts[0]);
        for (int j = 1; j < 4; ++j) gear.lineTo(pts[j]);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 2.2, 2.2);
    p.setPen(QPen(kInk, 1));
    p.setBrush(Vertical(1, 15, QColor(0xd5dfeb), QColor(0x7286a2)));
    p.drawPath(gear.subtracted(hole));
}

void DrawRefresh(QPainter& p)
{
    const QPointF c(8, 8);
    const double r = 5.2;
    p.setBrush(Qt::NoBrush);
    p.setPen(Line(kGreen, 2.0));
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    p.drawArc(box, 200 * 16, 130 * 16);  // Qt angles: counter-clockwise from three o'clock
    p.drawArc(box, 20 * 16, 130 * 16);
    p.setPen(QPen(kGreen.darker(130), 0.8));
    p.setBrush(kGreen);
    // Arrowheads at the clockwise ends of both arcs.
    for (double deg : {20.0, 200.0}) {
        const double a = -deg * M_PI / 180.0;
        const QPointF tip = c + QPointF(std::cos(a) * r, std::sin(a) * r);
        const QPointF along(std::sin(a), -std::cos(a));  // clockwise tangent on screen
        const QPointF out(std::cos(a), std::sin(a));
        p.drawPolygon(QPolygonF({tip + along * 2.6, tip + out * 2.6 - along * 0.6, tip - out * 2.6 - along * 0.6}));
    }
}

void DrawPencil(QPainter& p)
{
    p.save();
    p.translate(8.5, 7.5);
    p.rotate(-45);
    p.setPen(QPen(kInk, 0.9));
    p.setBrush(QColor(0xe58a8a));
    p.drawRoundedRect(QRectF(3.6, -2, 3, 4), 1, 1);
    p.setBrush(Vertical(-2, 2, QColor(0xffe08a), QColor(0xe7a52c)));
    p.drawRect(QRectF(-4.4, -2, 8, 4));
    p.setBrush(QColor(0xf3d8ae));
    p.drawPolygon(QPolygonF({QPointF(-4.4, -2), QPointF(-4.4, 2), QPointF(-8.2, 0)}));
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({QPointF(-6.9, -0.7), QPointF(-6.9, 0.7), QPointF(-8.2, 0)}));
    p.restore();
}

void DrawTrash(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(Vertical(4, 15, QColor(0xdfe6ef), QColor(0x8597b0)));
    p.drawPolygon(QPolygonF({QPointF(3.5, 4.5), QPointF(12.5, 4.5), QPointF(11.5, 15.5), QPointF(4.5, 15.5)}));
    p.setPen(QPen(QColor(0x5a6d88), 1));
    for (double x : {6.5, 9.5}) p.drawLine(QPointF(x, 6.5), QPointF(x, 13.5));
    p.setPen(QPen(kInk, 1));
    p.setBrush(QColor(0xb4c2d4));
    p.drawRect(QRectF(1.5, 2.5, 13, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(5.5, 0.5, 5, 2));
}

void DrawEnvelope(QPainter& p)
{
    p.setPen(QPen(kPageEdge, 1));
    p.setBrush(Vertical(3, 13, Qt::white, QColor(0xdbe4ef)));
    p.drawRect(QRectF(0.5, 3.5, 15, 10));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 1.2));
    p.drawPolyline(QPolygonF({QPointF(1.2, 4.2), QPointF(8, 9.4), QPointF(14.8, 4.2)}));
    p.setPen(QPen(QColor(0x9fb3cb), 1));
    p.drawLine(QPointF(1.5, 12.5), QPointF(6, 8.6));
    p.drawLine(QPointF(14.5, 12.5), QPointF(10, 8.6));
}

void DrawHouse(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(Vertical(7, 15, QColor(0xfffaf0), QColor(0xe6dcc8)));
    p.drawRect(QRectF(2.5, 7.5, 11, 8));
    p.setBrush(kBlue);
    p.drawRect(QRectF(6.5, 10.5, 3, 5));
    p.setBrush(QColor(0xb5502a));
    p.drawRect(QRectF(10.5, 1.5, 2, 4));
    p.setPen(Line(QColor(0xa3461f), 1));
    p.setBrush(Vertical(1, 9, QColor(0xf7a050), QColor(0xd9621f)));
    p.drawPolygon(QPolygonF({QPointF(8, 0.8), QPointF(15.3, 8.2), QPointF(0.7, 8.2)}));
}

void DrawChain(QPainter& p, QPointF c)
{
    p.save();
    p.translate(c);
    p.rotate(-45);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3.2));
    p.drawRoundedRect(QRectF(-4.6, -1.4, 5, 2.8), 1.4, 1.4);
    p.drawRoundedRect(QRectF(-0.4, -1.4, 5, 2.8), 1.4, 1.4);
    p.setPen(QPen(kBlue, 1.3));
    p.drawRoundedRect(QRectF(-4.6, -1.4, 5, 2.8), 1.4, 1.4);
    p.drawRoundedRect(QRectF(-0.4, -1.4, 5, 2.8), 1.4, 1.4);
    p.restore();
}

// The page buttons share one shape: a ruled sheet with a sign of the page in the corner.
void DrawPageButton(QPainter& p, int page)
{
    DrawPage(p, QRectF(1.5, 0.5, 10, 14), true);
    const QPointF c(11.5, 11.5);
    switch (page) {
    case 0: DrawGlobe(p, c, 4.0); break;
    case 1: DrawLens(p, QPointF(10.5, 10.5), 3.0); break;
    case 2: DrawArrowDown(p, QPointF(11.5, 11.2), 1.9, kGreen); break;
    default: DrawNote(p, QPointF(10.0, 13.0), 1.75, kOrange.darker(110)); break;
    }
}

}  // namespace

void DrawNote(QPainter& p, QPointF head, double s, const QColor& colour)
{
    const double rx = 1.35 * s, ry = 0.95 * s;
    const double stemX = head.x() + rx * 0.82, top = head.y() - 4.6 * s;
    p.setPen(QPen(colour.darker(160), std::max(0.6, 0.25 * s)));
    p.setBrush(colour);
    p.save();
    p.translate(head);
    p.rotate(-22);
    p.drawEllipse(QPointF(0, 0), rx, ry);
    p.restore();
    p.setPen(QPen(colour.darker(130), std::max(1.0, 0.45 * s), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(stemX, head.y() - 0.3 * s), QPointF(stemX, top));
    QPainterPath flag;
    flag.moveTo(stemX, top);
    flag.cubicTo(stemX + 0.3 * s, top + 1.3 * s, stemX + 2.2 * s, top + 1.6 * s, stemX + 1.6 * s, top + 3.4 * s);
    p.setBrush(Qt::NoBrush);
    p.setPen(Line(colour.darker(130), std::max(1.0, 0.5 * s)));
    p.drawPath(flag);
}

void DrawGlobe(QPainter& p, QPointF c, double r, bool muted)
{
    QRadialGradient g(c - QPointF(r * 0.35, r * 0.4), r * 1.4);
    g.setColorAt(0, muted ? QColor(0xeef2f6) : QColor(0xcfe8ff));
    g.setColorAt(1, muted ? QColor(0x97a5b8) : kBlue);
    p.setPen(QPen(muted ? QColor(0x5d6b80) : kNavy, 1));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(255, 255, 255, muted ? 200 : 170), r > 5 ? 0.9 : 0.7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.42, r - 0.3);
    p.drawLine(c + QPointF(-r + 0.4, 0), c + QPointF(r - 0.4, 0));
    p.drawLine(c + QPointF(0, -r + 0.4), c + QPointF(0, r - 0.4));
    const double half = std::sqrt(1 - 0.52 * 0.52) * r - 0.4;
    p.drawLine(c + QPointF(-half, -r * 0.52), c + QPointF(half, -r * 0.52));
    p.drawLine(c + QPointF(-half, r * 0.52), c + QPointF(half, r * 0.52));
}

void ListImage(QPainter& p, int index)
{
    const QPointF globe(7.5, 7.5), badge(11.5, 11.5);
    const QPoint mark(11, 11);
    switch (index) {
    case 0: DrawGlobe(p, globe, 6.3, true); break;
    case 1:
        DrawGlobe(p, globe, 6.3);
        DrawBadge(p, badge, 3.5, kRed);
        DrawCross(p, mark);
        break;
    case 2:
        DrawGlobe(p, globe, 6.3);
        DrawBadge(p, badge, 3.5, kGreen);
        DrawCheck(p, badge);
        break;
    case 3: {
        DrawGlobe(p, globe, 6.3);
        DrawBadge(p, badge, 3.5, kOrange);
        DrawClockHands(p, mark);
        break;
    }
    case 4:
        DrawPage(p, QRectF(2.5, 0.5, 11, 15), false);
        DrawNote(p, QPointF(6.6, 12.0), 1.9, kBlue);
        break;
    case 5:
        DrawPage(p, QRectF(1.5, 0.5, 10, 14), false);
        DrawNote(p, QPointF(4.8, 10.6), 1.6, kOrange);
        DrawGlobe(p, QPointF(11.5, 11.5), 4.0);
        break;
    default:  // a file found by an engine the user added
        DrawPage(p, QRectF(1.5, 0.5, 10, 14), false);
        DrawNote(p, QPointF(4.8, 10.6), 1.6, kGreen);
        DrawLens(p, QPointF(11.0, 10.5), 3.2);
        break;
    }
}

void ToolbarImage(QPainter& p, int index)
{
    switch (index) {
    case 0:  // Find it
        DrawLens(p, QPointF(6.5, 6.5), 5.0);
        p.setPen(Line(QColor(255, 255, 255, 230), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3.5, 3.5, 6, 6), 100 * 16, 80 * 16);
        break;
    case 1:  // Copy URL
        DrawPage(p, QRectF(0.5, 0.5, 9, 11), true);
        DrawPage(p, QRectF(5.5, 4.5, 10, 11), false);
        DrawChain(p, QPointF(10.6, 10.2));
        break;
    case 2: DrawGear(p); break;
    case 3: case 4: case 5: case 6: DrawPageButton(p, index - 3); break;
    case 7:  // Download file
        p.setPen(Line(kNavy, 1.6));
        p.drawPolyline(QPolygonF({QPointF(1.5, 11), QPointF(1.5, 14.8), QPointF(14.5, 14.8), QPointF(14.5, 11)}));
        DrawArrowDown(p, QPointF(8, 6.6), 2.8, kGreen);
        break;
    case 8:  // Cancel (pause) one download
        DrawDisc(p, QPointF(8, 8), 6.8, kOrange);
        DrawPauseBars(p, QPointF(8, 8), 7);
        break;
    case 9:  // Clear one download
        DrawPage(p, QRectF(1.5, 0.5, 10, 14), true);
        DrawBadge(p, QPointF(11.5, 11.5), 3.8, kRed);
        DrawCross(p, QPoint(11, 11));
        break;
    case 10:  // Cancel all
        DrawDisc(p, QPointF(10, 6), 5.3, kOrange.darker(115));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 220));
        p.drawEllipse(QPointF(6.5, 9.5), 6.6, 6.6);
        DrawDisc(p, QPointF(6.5, 9.5), 5.8, kOrange);
        DrawPauseBars(p, QPointF(6.5, 9.5), 6);
        break;
    case 11:  // Clear all
        DrawPage(p, QRectF(3.5, 0.5, 9, 12), true);
        DrawPage(p, QRectF(0.5, 2.5, 9, 13), true);
        DrawBadge(p, QPointF(11.5, 11.5), 3.8, kRed);
        DrawCross(p, QPoint(11, 11));
        break;
    case 12:  // Play
        DrawDisc(p, QPointF(8, 8), 6.8, kGreen);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(6, 4.3), QPointF(11.6, 8), QPointF(6, 11.7)}));
        break;
    case 13: DrawPencil(p); break;
    case 14: DrawTrash(p); break;
    case 15: DrawRefresh(p); break;
    case 16: {  // Help
        DrawDisc(p, QPointF(8, 8), 6.8, kBlue);
        p.setPen(Qt::white);
        p.setFont(PixelFont("DejaVu Sans", 11, true));
        p.drawText(QRectF(0, 0.5, 16, 16), Qt::AlignCenter, "?");
        break;
    }
    case 17: DrawEnvelope(p); break;
    default: DrawHouse(p); break;
    }
}

void NeutralFlag(QPainter& p)
{
    p.setPen(Line(QColor(0x4b5563), 1.4));
    p.drawLine(QPointF(2.3, 1.2), QPointF(2.3, 15.3));
    QPainterPath flag;
    flag.moveTo(3, 1.5);
    flag.cubicTo(6.5, 0.0, 9.5, 3.5, 15, 2.0);
    flag.lineTo(15, 10.0);
    flag.cubicTo(9.5, 11.5, 6.5, 8.0, 3, 9.5);
    flag.closeSubpath();
    QLinearGradient g(3, 0, 15, 10);
    g.setColorAt(0, kSky);
    g.setColorAt(1, kBlue);
    p.setPen(QPen(kNavy, 0.9));
    p.setBrush(g);
    p.drawPath(flag);
    p.setPen(QPen(Qt::white, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(9, 5.8), 2.6, 2.6);
    p.drawEllipse(QPointF(9, 5.8), 1.1, 2.6);
    p.drawLine(QPointF(6.4, 5.8), QPointF(11.6, 5.8));
}

QImage LetterFlag(const QString& letters, const QColor& dark, const QColor& light)
{
    // 5 x 7 capitals, drawn pixel by pixel: at 16 pixels no outline font stays sharp.
    static const std::pair<QChar, const char*> kGlyphs[] = {
        {'E', "11111100001000011110100001000011111"}, {'N', "10001110011100110101100111001110001"},
        {'A', "01110100011000111111100011000110001"}, {'R', "11110100011000111110101001001010001"},
        {'F', "11111100001000011110100001000010000"}, {'D', "11110100011000110001100011000111110"}};
    QImage img(16, 16, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), Vertical(0, 16, light, dark));
    p.setPen(dark.darker(140));
    p.drawRect(0, 0, 15, 15);
    for (int i = 0; i < 2 && i < letters.size(); ++i) {
        const char* bits = nullptr;
        for (const auto& g : kGlyphs)
            if (g.first == letters[i]) bits = g.second;
        if (!bits) continue;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 5; ++x)
                if (bits[y * 5 + x] == '1') {
                    const int px = 2 + 6 * i + x, py = 4 + y;
                    p.fillRect(px + 1, py + 1, 1, 1, dark.darker(160));
                    p.fillRect(px, py, 1, 1, Qt::white);
                }
    }
    return img;
}

// At 16 pixels the note is set on whole pixels; larger sizes scale one 64-unit drawing.
QImage TinyAppIcon()
{
    QImage img = Canvas(16, 16);
    QPainter p(&img);
    Smooth(p);
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.5, 3.5);
    p.fillPath(body, Vertical(0, 16, QColor(0x4a90d4), QColor(0x142c4c)));
    p.strokePath(body, QPen(QColor(0x0e2240), 1));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (QPointF h : {QPointF(4.9, 11.4), QPointF(10.9, 10.4)}) {
        p.save();
        p.translate(h);
        p.rotate(-22);
        p.drawEllipse(QPointF(0, 0), 2.2, 1.6);
        p.restore();
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(6, 5, 1, 6), Qt::white);
    p.fillRect(QRect(12, 5, 1, 5), Qt::white);
    p.fillRect(QRect(6, 3, 7, 2), kOrange);
    return img;
}

QImage AppIcon(int size)
{
    if (size <= 16) return TinyAppIcon();
    QImage img = Canvas(size, size);
    QPainter p(&img);
    Smooth(p);
    const double s = size / 64.0;
    p.scale(s, s);
    const QRectF frame(2, 2, 60, 60);
    QPainterPath body;
    body.addRoundedRect(frame, 14, 14);
    p.fillPath(body, Vertical(2, 62, QColor(0x4a90d4), QColor(0x142c4c)));
    p.save();
    p.setClipPath(body);
    p.fillRect(QRectF(0, 0, 64, 30), Vertical(0, 30, QColor(255, 255, 255, 70), QColor(255, 255, 255, 0)));
    p.restore();
    p.setPen(QPen(QColor(0x0e2240), std::max(1.0, 1.0 / s)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);

    const QPointF head1(21, 46), head2(43, 41);
    const double stemW = 4.0, rx = 8.2, ry = 6.0;
    const double stem1 = head1.x() + rx - 1.6, stem2 = head2.x() + rx - 1.6;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (QPointF h : {head1, head2}) {
        p.save();
        p.translate(h);
        p.rotate(-22);
        p.drawEllipse(QPointF(0, 0), rx, ry);
        p.restore();
    }
    p.drawRect(QRectF(stem1 - stemW, 17, stemW, head1.y() - 17));
    p.drawRect(QRectF(stem2 - stemW, 12, stemW, head2.y() - 12));
    p.setBrush(kOrange);
    p.setPen(QPen(QColor(0xb85d0c), 1.2));
    p.drawPolygon(QPolygonF({QPointF(stem1 - stemW - 0.5, 14), QPointF(stem2 + 0.5, 9), QPointF(stem2 + 0.5, 19),
                             QPointF(stem1 - stemW - 0.5, 24)}));
    return img;
}
