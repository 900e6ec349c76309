// The tab strip of the pages view: eleven pictures that select the pages.
#include "window/PagesView.h"

#include "window/Pictures.h"
#include "resources/Resource.h"

#include <QLabel>
#include <QMouseEvent>

namespace {

enum TabImageKind { Normal = 0, Hover = 1, Selected = 2 };

// The English tab pictures: normal, hover, selected for each tab.
constexpr std::array<int, 12> kEnglishTabs = {
    IDB_TAB_ENGINES,  IDB_TAB_ENGINES_HOVER,  IDB_TAB_ENGINES_SEL,  IDB_TAB_SEARCH,   IDB_TAB_SEARCH_HOVER,   IDB_TAB_SEARCH_SEL,
    IDB_TAB_DOWNLOAD, IDB_TAB_DOWNLOAD_HOVER, IDB_TAB_DOWNLOAD_SEL, IDB_TAB_PLAYLIST, IDB_TAB_PLAYLIST_HOVER, IDB_TAB_PLAYLIST_SEL,
};

}  // namespace

int BitmapIdOf(const QWidget* widget)
{
    const QVariant id = widget != nullptr ? widget->property("bitmapId") : QVariant();
    return id.isValid() ? id.toInt() : -1;
}

QLabel* CPagesView::CreateTabPiece(const char* name, const QPoint& topLeft, const QSize& size)
{
    auto* piece = new QLabel(this);
    piece->setObjectName(QString::fromLatin1(name));
    piece->setProperty("controlId", IDC_STATIC);
    piece->setGeometry(QRect(topLeft, size));
    piece->setScaledContents(false);
    // The pieces take no mouse input: the view itself sees the pointer over them.
    piece->setAttribute(Qt::WA_TransparentForMouseEvents);
    return piece;
}

void CPagesView::SetTabImage(QLabel* piece, int bitmapId)
{
    if (piece == nullptr)
        return;
    piece->setProperty("bitmapId", bitmapId);
    const QPixmap picture = LoadBitmap(bitmapId);
    if (picture.isNull())
        piece->clear();
    else
        piece->setPixmap(picture);
}

void CPagesView::LoadTabBitmaps()
{
    m_stcTabCapLeft = CreateTabPiece("tabCapLeft", {5, 5}, {20, 30});
    m_stcTab[0] = CreateTabPiece("tab0", {25, 5}, {64, 30});
    m_stcTabSep[1] = CreateTabPiece("tabSep1", {89, 5}, {20, 30});
    m_stcTab[1] = CreateTabPiece("tab1", {109, 5}, {64, 30});
    m_stcTabSep[2] = CreateTabPiece("tabSep2", {173, 5}, {20, 30});
    m_stcTab[2] = CreateTabPiece("tab2", {193, 5}, {64, 30});
    m_stcTabSep[3] = CreateTabPiece("tabSep3", {257, 5}, {20, 30});
    m_stcTab[3] = CreateTabPiece("tab3", {277, 5}, {64, 30});
    m_stcTabCapRight = CreateTabPiece("tabCapRight", {341, 5}, {20, 30});
    m_stcTabRule = CreateTabPiece("tabRule", {4, 35}, {360, 15});
    m_stcTabShadow = CreateTabPiece("tabShadow", {6, 50}, {354, 6});

    m_nSelectedTab = 4;
    for (int k = 0; k < 4; ++k)
        m_rcTab[static_cast<std::size_t>(k)] = m_stcTab[static_cast<std::size_t>(k)]->geometry();

    m_nTabBitmaps = kEnglishTabs;
    for (int k = 0; k < 4; ++k)
        SetTabImage(m_stcTab[static_cast<std::size_t>(k)], TabImage(k, Normal));
    SetTabImage(m_stcTabCapLeft, IDB_TAB_LEFT);
    for (int k = 1; k < 4; ++k)
        SetTabImage(m_stcTabSep[static_cast<std::size_t>(k)], IDB_TAB_SEP);
    SetTabImage(m_stcTabCapRight, IDB_TAB_RIGHT);
    SetTabImage(m_stcTabRule, IDB_TAB_RULE);
    SetTabImage(m_stcTabShadow, IDB_TAB_SHADOW);
}

void CPagesView::PaintTabs()
{
    const int s = m_nSelectedTab;
    for (int k = 0; k < 4; ++k) {
        if (k != s)
            SetTabImage(m_stcTab[static_cast<std::size_t>(k)], TabImage(k, Normal));
    }
    SetTabImage(m_stcTabCapLeft, s == 0 ? IDB_TAB_LEFT_SEL : IDB_TAB_LEFT);
    SetTabImage(m_stcTabCapRight, s == 3 ? IDB_TAB_RIGHT_SEL : IDB_TAB_RIGHT);
    for (int k = 1; k < 4; ++k) {
        int id = IDB_TAB_SEP;
        if (s == k - 1)
            id = IDB_TAB_SEP_AFTER_SEL;
        else if (s == k)
            id = IDB_TAB_SEP_BEFORE_SEL;
        SetTabImage(m_stcTabSep[static_cast<std::size_t>(k)], id);
    }
}

void CPagesView::OnTabClick(const QPoint& point)
{
    for (int k = 0; k < 4; ++k) {
        // QRect::contains treats right and bottom as inside; the hit test does not.
        const QRect& r = m_rcTab[static_cast<std::size_t>(k)];
        if (point.x() >= r.left() && point.x() < r.left() + r.width() && point.y() >= r.top() &&
            point.y() < r.top() + r.height()) {
            m_nSelectedTab = k;
            SetTabImage(m_stcTab[static_cast<std::size_t>(k)], TabImage(k, Selected));
            switch (k) {
            case 0: ShowEnginesPage(); break;
            case 1: ShowSearchPage(); break;
            case 2: ShowDownloadPage(); break;
            case 3: ShowPlayListPage(); break;
            }
            break;
        }
    }
    PaintTabs();
}

void CPagesView::OnTabHover(const QPoint& point)
{
    for (int k = 0; k < 4; ++k) {
        const QRect& r = m_rcTab[static_cast<std::size_t>(k)];
        const bool inside = point.x() >= r.left() && point.x() < r.left() + r.width() && point.y() >= r.top() &&
                            point.y() < r.top() + r.height();
        if (inside && k != m_nSelectedTab) {
            SetTabImage(m_stcTab[static_cast<std::size_t>(k)], TabImage(k, Hover));
            return;
        }
    }
    PaintTabs();
}

void CPagesView::mouseMoveEvent(QMouseEvent* event)
{
    OnTabHover(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void CPagesView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnTabClick(event->position().toPoint());
    QWidget::mouseReleaseEvent(event);
}
