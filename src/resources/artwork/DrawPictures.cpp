// Draws every picture Tunorva ships: the tab strip, the tab captions in each
// language, the list images, the toolbar, flags, the splash and the program
// icon. The pictures are committed; run this by hand after changing a drawing:
//
//   cmake -S src/resources/artwork -B /tmp/artwork-build -G Ninja
//   ninja -C /tmp/artwork-build
//   QT_QPA_PLATFORM=offscreen /tmp/artwork-build/DrawPictures src/resources [/tmp/sheet.png]
//
// The optional second argument writes a contact sheet (every picture at 1x and
// 4x, and the tab strip assembled from its pieces in every selection state) for
// checking the result by eye. Do not commit the sheet.
#include "Shapes.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

// ---------------------------------------------------------------- tab strip
// The strip is drawn whole for one selection state and then cut into its
// pieces, so the slopes that reach into the ends and separators always match.
constexpr int kStripW = 356;  // from the left end (x = 5) to the right end's edge (x = 361)
constexpr int kStripH = 30;
constexpr int kTabW = 64;
int TabLeft(int k) { return 20 + 84 * k; }

struct TabSet {
    QString captions[4];
    bool arabic;
    int ids[4][3];  // normal, hover, selected
};

const TabSet kEnglish{{"Search\nEngines", "Search", "Download", "Play List"},
                      false,
                      {{167, 177, 176}, {174, 178, 175}, {168, 170, 169}, {171, 173, 172}}};
const TabSet kArabic{{QString::fromUtf8("محركات\nالبحث"), QString::fromUtf8("بحث"),
                      QString::fromUtf8("تحميل"), QString::fromUtf8("قائمة\nالتشغيل")},
                     true,
                     {{183, 184, 182}, {191, 189, 190}, {180, 181, 179}, {188, 187, 186}}};
const TabSet kFrench{{QString::fromUtf8("Moteurs de\nrecherche"), QString::fromUtf8("Recherche"),
                      QString::fromUtf8("Téléchar-\ngements"), QString::fromUtf8("Liste de\nlecture")},
                     false,
                     {{192, 193, 194}, {195, 196, 197}, {198, 199, 200}, {201, 202, 203}}};
const TabSet kGerman{{QString::fromUtf8("Such-\nmaschinen"), QString::fromUtf8("Suche"),
                      QString::fromUtf8("Downloads"), QString::fromUtf8("Wieder-\ngabeliste")},
                     false,
                     {{204, 205, 206}, {207, 208, 209}, {210, 211, 212}, {213, 214, 215}}};
const TabSet* const kTabSets[] = {&kEnglish, &kArabic, &kFrench, &kGerman};

// Outline of tab k without its bottom edge; the fill closes it.
QPainterPath TabOutline(int k, bool selected)
{
    const double l = TabLeft(k) - 1.5, r = TabLeft(k) + kTabW + 1.5;
    const double top = selected ? 0.5 : 2.5, bottom = 30.0;
    const double spread = selected ? 13.0 : 12.0, round = 4.0;
    const double dx = spread / (bottom - top);  // slope run per pixel of height
    QPainterPath path;
    path.moveTo(l - spread, bottom);
    path.lineTo(l - round * dx, top + round);
    path.quadTo(l, top, l + round, top);
    path.lineTo(r - round, top);
    path.quadTo(r, top, r + round * dx, top + round);
    path.lineTo(r + spread, bottom);
    return path;
}

void DrawTabBody(QPainter& p, int k, bool selected)
{
    const QPainterPath path = TabOutline(k, selected);
    QLinearGradient fill(0, selected ? 0 : 2, 0, 30);
    if (selected) {
        fill.setColorAt(0, QColor(0xffffff));
        fill.setColorAt(1, kSheet);
    } else {
        fill.setColorAt(0, QColor(0xe6edf6));
        fill.setColorAt(0.55, QColor(0xd2ddeb));
        fill.setColorAt(1, QColor(0xbccbdf));
    }
    p.fillPath(path, fill);
    p.save();
    p.setClipPath(path);
    if (selected) {
        // The accent along the top marks the page that is showing.
        p.fillRect(QRectF(TabLeft(k) - 8, 1, kTabW + 16, 2), kOrange);
        p.fillRect(QRectF(TabLeft(k) - 8, 3, kTabW + 16, 1), QColor(255, 200, 150, 120));
    } else {
        p.strokePath(path.translated(0, 1), QPen(QColor(255, 255, 255, 150), 1));
    }
    p.restore();
    p.strokePath(path, QPen(kEdge, 1));
}

void DrawCaption(QPainter& p, int k, const QString& text, const QColor& colour, bool arabic)
{
    const QRectF area(TabLeft(k), 3, kTabW, 26);
    const QStringList lines = text.split('\n');
    QFont font;
    for (int px = arabic ? 12 : 11; px >= 8; --px) {
        font = arabic ? PixelFont("DejaVu Sans", px, true) : PixelFont("DejaVu Sans Condensed", px, true);
        const QFontMetricsF fm(font);
        double widest = 0;
        for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
        const double lineH = arabic ? fm.ascent() + 1 : fm.ascent() + fm.descent() - 1;
        if (widest <= area.width() - 6 && lineH * lines.size() <= area.height() + 1) break;
    }
    const QFontMetricsF fm(font);
    const double lineH = arabic ? fm.ascent() + 1 : fm.ascent() + fm.descent() - 1;
    double y = area.center().y() - lineH * lines.size() / 2.0;
    p.save();
    p.setClipRect(QRect(TabLeft(k), 0, kTabW, kStripH));
    p.setFont(font);
    for (const QString& line : lines) {
        const QRectF row(area.left(), std::round(y), area.width(), lineH);
        p.setPen(QColor(255, 255, 255, 110));
        p.drawText(row.translated(0, 1), Qt::AlignHCenter | Qt::AlignVCenter, line);
        p.setPen(colour);
        p.drawText(row, Qt::AlignHCenter | Qt::AlignVCenter, line);
        y += lineH;
    }
    p.restore();
}

// The whole strip for selected tab s (4 = none), with tab `hover` showing its hover caption.
QImage RenderStrip(const TabSet& set, int s, int hover)
{
    QImage img = Canvas(kStripW, kStripH);
    QPainter p(&img);
    Smooth(p);
    for (int k = 3; k >= 0; --k) {  // right to left, so a tab overlaps its right neighbour
        if (k == s) continue;
        DrawTabBody(p, k, false);
        DrawCaption(p, k, set.captions[k], k == hover ? kHoverRed : kTabText, set.arabic);
    }
    // The bottom row of the unselected parts is the top edge of the rule below.
    p.fillRect(QRect(0, kStripH - 1, kStripW, 1), kEdge);
    if (s < 4) {
        DrawTabBody(p, s, true);
        DrawCaption(p, s, set.captions[s], kSelectedText, set.arabic);
    }
    return img;
}

QImage Cut(const QImage& strip, int x, int w) { return strip.copy(x, 0, w, kStripH); }

QImage DrawRule()
{
    QImage img = Canvas(360, 15);
    QPainter p(&img);
    QLinearGradient fill(0, 0, 0, 14);
    fill.setColorAt(0, kSheet);
    fill.setColorAt(1, QColor(0xdfe8f3));
    p.fillRect(QRect(1, 0, 356, 14), fill);
    p.fillRect(QRect(2, 13, 354, 1), QColor(255, 255, 255, 160));
    p.fillRect(QRect(1, 0, 1, 15), kEdge);
    p.fillRect(QRect(356, 0, 1, 15), kEdge);
    p.fillRect(QRect(1, 14, 356, 1), kEdge);
    return img;
}

QImage DrawShadow()
{
    QImage img = Canvas(354, 6);
    for (int y = 0; y < 6; ++y) {
        const double fall = 1.0 - y / 6.0;
        for (int x = 0; x < 354; ++x) {
            const double edge = std::min({1.0, (x + 1) / 5.0, (354 - x) / 5.0});
            img.setPixelColor(x, y, QColor(16, 32, 56, int(70 * fall * fall * edge)));
        }
    }
    return img;
}

void WriteTabStrip(Writer& out)
{
    const QImage none = RenderStrip(kEnglish, 4, -1);
    out.Bitmap(136, Cut(none, 0, 20));
    out.Bitmap(137, Cut(none, 336, 20));
    out.Bitmap(139, Cut(none, TabLeft(1) - 20, 20));
    out.Bitmap(163, Cut(RenderStrip(kEnglish, 0, -1), 0, 20));
    out.Bitmap(158, Cut(RenderStrip(kEnglish, 3, -1), 336, 20));
    out.Bitmap(162, Cut(RenderStrip(kEnglish, 1, -1), TabLeft(2) - 20, 20));
    out.Bitmap(138, Cut(RenderStrip(kEnglish, 2, -1), TabLeft(2) - 20, 20));
    out.Bitmap(164, DrawRule());
    out.Bitmap(151, DrawShadow());
    for (const TabSet* set : kTabSets) {
        for (int k = 0; k < 4; ++k) {
            out.Bitmap(set->ids[k][0], Cut(RenderStrip(*set, 4, -1), TabLeft(k), kTabW));
            out.Bitmap(set->ids[k][1], Cut(RenderStrip(*set, 4, k), TabLeft(k), kTabW));
            out.Bitmap(set->ids[k][2], Cut(RenderStrip(*set, k, -1), TabLeft(k), kTabW));
        }
    }
}

// ---------------------------------------------------------------- strips of small images
void WriteListImages(Writer& out)
{
    QImage img = Canvas(304, 16);
    QPainter p(&img);
    Smooth(p);
    for (int k = 0; k < 7; ++k) {
        p.save();
        p.translate(43 * k + 13, 0);
        ListImage(p, k);
        p.restore();
    }
    p.end();
    out.Bitmap(160, img);
}

void WriteToolbar(Writer& out)
{
    QImage img = Canvas(304, 16);
    QPainter p(&img);
    Smooth(p);
    for (int k = 0; k < 19; ++k) {
        p.save();
        p.translate(16 * k, 0);
        ToolbarImage(p, k);
        p.restore();
    }
    p.end();
    out.Bitmap(128, img);
}

void WriteFlagsAndIcons(Writer& out)
{
    QImage builtIn = Canvas(16, 16);
    {
        QPainter p(&builtIn);
        Smooth(p);
        NeutralFlag(p);
    }
    out.Bitmap(161, builtIn);
    out.Bmp("flags/English.bmp", LetterFlag("EN", QColor(0x1f4f8f), QColor(0x2f6fb5)));
    out.Bmp("flags/Arabic.bmp", LetterFlag("AR", QColor(0x137a5b), QColor(0x1e9e76)));
    out.Bmp("flags/French.bmp", LetterFlag("FR", QColor(0x2b3f9e), QColor(0x4a63c9)));
    out.Bmp("flags/German.bmp", LetterFlag("DE", QColor(0xa8322d), QColor(0xd0473f)));
    for (int size : {16, 32, 48, 64, 128, 256}) out.Png(QString("icons/tunorva-%1.png").arg(size), AppIcon(size));
    out.Bitmap(165, Splash());
}

// ---------------------------------------------------------------- contact sheet
class Sheet final {
public:
    explicit Sheet(const QString& root) : m_root(root), m_img(1500, 3200, QImage::Format_ARGB32_Premultiplied)
    {
        m_img.fill(QColor(0xe8e8e8));
        m_p.begin(&m_img);
        m_p.setRenderHint(QPainter::TextAntialiasing);
        m_p.setFont(PixelFont("DejaVu Sans", 12, true));
    }
    QImage Load(int id) const { return QImage(m_root + QString("/bitmaps/%1.png").arg(id)); }
    QImage LoadPath(const QString& rel) const { return QImage(m_root + "/" + rel); }

    void Title(const QString& text)
    {
        m_x = 10;
        m_y += m_rowH + 8;
        m_rowH = 0;
        m_p.setPen(Qt::black);
        m_p.drawText(10, m_y + 12, text);
        m_y += 18;
    }
    void Put(const QImage& img, int scale = 1, const QColor& back = Qt::transparent)
    {
        const QSize size = img.size() * scale;
        if (m_x + size.width() > m_img.width() - 10) {
            m_x = 10;
            m_y += m_rowH + 6;
            m_rowH = 0;
        }
        if (back.alpha()) m_p.fillRect(QRect(QPoint(m_x, m_y), size), back);
        m_p.drawImage(QRect(QPoint(m_x, m_y), size), img.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        m_x += size.width() + 8;
        m_rowH = std::max(m_rowH, size.height());
    }
    // The strip put together the way the pages view does it, on a window-grey background.
    QImage Assemble(const TabSet& set, int s, int hover) const
    {
        QImage img(370, 60, QImage::Format_ARGB32_Premultiplied);
        img.fill(QColor(0xefefef));
        QPainter p(&img);
        p.drawImage(5, 5, Load(s == 0 ? 163 : 136));
        for (int k = 0; k < 4; ++k) {
            const int state = k == s ? 2 : (k == hover ? 1 : 0);
            p.drawImage(25 + 84 * k, 5, Load(set.ids[k][state]));
            if (k > 0) p.drawImage(5 + 84 * k, 5, Load(s == k - 1 ? 162 : (s == k ? 138 : 139)));
        }
        p.drawImage(341, 5, Load(s == 3 ? 158 : 137));
        p.drawImage(4, 35, Load(164));
        p.drawImage(6, 50, Load(151));
        return img;
    }
    bool Save(const QString& path)
    {
        m_p.end();
        return m_img.copy(0, 0, m_img.width(), std::min(m_img.height(), m_y + m_rowH + 10)).save(path);
    }

private:
    QString m_root;
    QImage m_img;
    QPainter m_p;
    int m_x = 10, m_y = -20, m_rowH = 0;
};

bool WriteSheet(const QString& root, const QString& path)
{
    Sheet sheet(root);
    for (const TabSet* set : kTabSets) {
        sheet.Title(set->captions[1] + " strip: selected 0, 1, 2, 3, none; hover on 2 with 0 selected");
        for (int s = 0; s <= 4; ++s) sheet.Put(sheet.Assemble(*set, s, -1));
        sheet.Put(sheet.Assemble(*set, 0, 2));
        sheet.Title("at 3x: selected 1, none");
        sheet.Put(sheet.Assemble(*set, 1, -1), 3);
        sheet.Put(sheet.Assemble(*set, 4, 3), 3);
    }
    sheet.Title("Tabs at 4x (normal, hover, selected), ends and separators 136 163 137 158 139 162 138");
    for (const TabSet* set : kTabSets)
        for (int k = 0; k < 4; ++k)
            for (int st = 0; st < 3; ++st) sheet.Put(sheet.Load(set->ids[k][st]), 4, QColor(0xefefef));
    for (int id : {136, 163, 137, 158, 139, 162, 138}) sheet.Put(sheet.Load(id), 4, QColor(0xefefef));
    sheet.Title("List images 160 (1x on white, 4x)  and  toolbar 128 (1x, 4x)");
    sheet.Put(sheet.Load(160), 1, Qt::white);
    sheet.Put(sheet.Load(128), 1, QColor(0xefefef));
    sheet.Put(sheet.Load(160), 4, Qt::white);
    sheet.Put(sheet.Load(128), 4, QColor(0xefefef));
    sheet.Title("Flags 161, English, Arabic, French, German (1x, 4x); program icons");
    for (const QImage& flag : {sheet.Load(161), sheet.LoadPath("flags/English.bmp"), sheet.LoadPath("flags/Arabic.bmp"),
                               sheet.LoadPath("flags/French.bmp"), sheet.LoadPath("flags/German.bmp")}) {
        sheet.Put(flag, 1, Qt::white);
        sheet.Put(flag, 4, Qt::white);
    }
    for (int size : {16, 32, 48, 64, 128, 256}) sheet.Put(sheet.LoadPath(QString("icons/tunorva-%1.png").arg(size)));
    sheet.Put(sheet.LoadPath("icons/tunorva-16.png"), 4);
    sheet.Put(sheet.LoadPath("icons/tunorva-32.png"), 4);
    sheet.Title("Splash 165, plain and with a progress bar laid over it");
    QImage splash = sheet.Load(165);
    sheet.Put(splash);
    {
        QPainter p(&splash);
        p.fillRect(QRect(112, 283, 283, 19), QColor(0xf0f0f0));
        p.fillRect(QRect(114, 285, 170, 15), QColor(0x3a86d0));
        p.setPen(QColor(0x808080));
        p.drawRect(QRect(112, 283, 282, 18));
    }
    sheet.Put(splash);
    return sheet.Save(path);
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: DrawPictures <src/resources folder> [contact-sheet.png]\n");
        return 2;
    }
    const QString root = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    Writer out(root);
    WriteTabStrip(out);
    WriteListImages(out);
    WriteToolbar(out);
    WriteFlagsAndIcons(out);
    if (!out.Ok()) return 1;
    if (argc > 2 && !WriteSheet(root, QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "could not write the contact sheet\n");
        return 1;
    }
    return 0;
}
