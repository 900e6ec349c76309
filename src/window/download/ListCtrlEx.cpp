#include "window/download/ListCtrlEx.h"

#include "platform/MessageBox.h"
#include "window/Pictures.h"
#include "resources/Resource.h"
#include "resources/Messages.h"
#include "settings/LanguagePack.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <strings.h>

namespace {

struct MenuItem {
    unsigned id;
    const char* text;
};

struct MenuResource {
    const char* name;
    std::vector<MenuItem> items;
};

// The popup menus built into the program, found by name without regard to case.
const std::vector<MenuResource>& MenuResources()
{
    static const std::vector<MenuResource> menus = {
        {"DOWNLOADFILEOPERATIONS",
         {{ID_POPUP_CANCEL_DOWNLOAD, "&Cancel Downloaded File"},
          {ID_POPUP_CLEAR_DOWNLOAD, "Cl&ear Downloaded File"},
          {ID_POPUP_RESUME_DOWNLOAD, "&Resume Downloaded File"}}},
        {"FILE_POPUP_MENU", {{ID_DOWNLOAD, "&DownLoad"}, {ID_COPY_URL, "&Copy URL"}}},
        {"ENGINE_POPUP_MENU",
         {{ID_POPUP_ADD_ENGINE, "Add engine..."},
          {ID_POPUP_REMOVE_ENGINE, "Remove engine"},
          {ID_POPUP_EDIT_ENGINES_FOLDER, "Edit engines folder"}}},
    };
    return menus;
}

// The engine list's entries came with the user's engines and are in every
// language file; the older menus keep their built-in captions.
std::string MenuText(const MenuItem& entry)
{
    switch (entry.id) {
    case ID_POPUP_ADD_ENGINE: return LoadLanguageString(IDS_POPUP_ADD_ENGINE);
    case ID_POPUP_REMOVE_ENGINE: return LoadLanguageString(IDS_POPUP_REMOVE_ENGINE);
    case ID_POPUP_EDIT_ENGINES_FOLDER: return LoadLanguageString(IDS_POPUP_EDIT_ENGINES_FOLDER);
    default: return entry.text;
    }
}

const MenuResource* FindMenu(const std::string& name)
{
    for (const MenuResource& menu : MenuResources()) {
        if (strcasecmp(menu.name, name.c_str()) == 0)
            return &menu;
    }
    return nullptr;
}

bool IsDownloadMenu(const std::string& name)
{
    return strcasecmp(name.c_str(), "DOWNLOADFILEOPERATIONS") == 0;
}

// The rows of the system's list view with 16-pixel small icons.
constexpr int kSystemRowHeight = 17;

}  // namespace

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QTableWidget(parent)
{
    m_nRange.fill(100);
    // Read once; the list does not follow later changes of the desktop colours.
    const QPalette pal = palette();
    m_crText = pal.color(QPalette::Text);
    m_crBackground = pal.color(QPalette::Base);
    m_crHighlightText = pal.color(QPalette::HighlightedText);
    m_crHighlight = pal.color(QPalette::Highlight);
    m_crProgress = QColor(50, 0, 0);
    m_crFace = pal.color(QPalette::Button);

    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(43, 16));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(kSystemRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(0);
    setMouseTracking(true);

    // Hovering over a row selects it after a moment, as the list's
    // track-select style does.
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(400);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CListCtrlEx::HoverSelect);

    // A changed list may draw differently, so a bad slot is worth one more report.
    const auto contentChanged = [this] { m_bRangeReported = false; };
    connect(model(), &QAbstractItemModel::dataChanged, this, contentChanged);
    connect(model(), &QAbstractItemModel::rowsInserted, this, contentChanged);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, contentChanged);
}

CListCtrlEx::~CListCtrlEx() = default;

int CListCtrlEx::InsertColumn(int column, const std::string& header, int format, int width)
{
    if (column < 0)
        return -1;
    column = std::min(column, columnCount());
    insertColumn(column);
    m_columnFormats.insert(m_columnFormats.begin() + column, format);
    auto* item = new QTableWidgetItem(QString::fromStdString(header));
    item->setTextAlignment((format == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    setHorizontalHeaderItem(column, item);
    setColumnWidth(column, width);
    // A column of width 0 holds data the user never sees (the slot numbers).
    if (width == 0)
        setColumnHidden(column, true);
    return column;
}

std::string CListCtrlEx::GetColumnHeader(int column) const
{
    const QTableWidgetItem* item = horizontalHeaderItem(column);
    return item != nullptr ? item->text().toStdString() : std::string();
}

void CListCtrlEx::SetColumnHeader(int column, const std::string& text)
{
    if (QTableWidgetItem* item = horizontalHeaderItem(column))
        item->setText(QString::fromStdString(text));
}

int CListCtrlEx::AddItem(int index, int count, int image, const std::vector<std::string>& texts)
{
    if (index < 0)
        return -1;
    index = std::min(index, rowCount());
    insertRow(index);
    for (int column = 0; column < columnCount(); ++column) {
        auto* item = new QTableWidgetItem;
        const int format = column < static_cast<int>(m_columnFormats.size()) ? m_columnFormats[column] : LVCFMT_LEFT;
        item->setTextAlignment((format == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        if (column < count && column < static_cast<int>(texts.size()))
            item->setText(QString::fromStdString(texts[column]));
        // The cell is whole before the table has it: one change for the view.
        if (column == 0) {
            item->setData(Qt::UserRole, image);
            item->setIcon(ImageIcon(image));
        }
        setItem(index, column, item);
    }
    return index;
}

std::string CListCtrlEx::GetItemText(int row, int column) const
{
    const QTableWidgetItem* cell = item(row, column);
    return cell != nullptr ? cell->text().toStdString() : std::string();
}

bool CListCtrlEx::SetItemText(int row, int column, const std::string& text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return false;
    QTableWidgetItem* cell = item(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
    }
    cell->setText(QString::fromStdString(text));
    return true;
}

bool CListCtrlEx::SetItemImage(int row, int image)
{
    QTableWidgetItem* cell = item(row, 0);
    if (cell == nullptr)
        return false;
    cell->setData(Qt::UserRole, image);
    cell->setIcon(ImageIcon(image));
    return true;
}

QIcon CListCtrlEx::ImageIcon(int image)
{
    if (iconSize().isEmpty())
        return QIcon();
    const auto known = m_imageIcons.find(image);
    if (known != m_imageIcons.end())
        return known->second;
    const QPixmap picture = StripCell(LoadBitmap(IDB_LIST_IMAGES), image, 43, qRgb(0x80, 0x80, 0x80));
    QIcon icon = picture.isNull() ? QIcon() : QIcon(picture);
    m_imageIcons.emplace(image, icon);
    return icon;
}

int CListCtrlEx::GetItemImage(int row) const
{
    const QTableWidgetItem* cell = item(row, 0);
    if (cell == nullptr)
        return -1;
    bool ok = false;
    const int image = cell->data(Qt::UserRole).toInt(&ok);
    return ok ? image : -1;
}

bool CListCtrlEx::DeleteItem(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    removeRow(row);
    return true;
}

void CListCtrlEx::DeleteAllItems()
{
    setRowCount(0);
}

int CListCtrlEx::GetFirstSelectedItem() const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (IsItemSelected(row))
            return row;
    }
    return -1;
}

bool CListCtrlEx::IsItemSelected(int row) const
{
    return row >= 0 && row < rowCount() && selectionModel()->isRowSelected(row, QModelIndex());
}

void CListCtrlEx::SelectItem(int row)
{
    if (row >= 0 && row < rowCount())
        selectRow(row);
}

void CListCtrlEx::UseListImages()
{
    setIconSize(QSize(43, 16));
}

void CListCtrlEx::SetProgress(int row, std::int64_t value)
{
    SetItemText(row, 3, std::to_string(value) + " %");
}

int CListCtrlEx::GetItemSlot(int row) const
{
    if (row == -1)
        return -1;
    return std::atoi(GetItemText(row, 6).c_str());
}

void CListCtrlEx::RefreshRowHeight()
{
    verticalHeader()->setDefaultSectionSize(MeasureItem());
}

void CListCtrlEx::SetOwnerDrawn(bool ownerDrawn)
{
    m_bOwnerDrawn = ownerDrawn;
    if (ownerDrawn)
        setItemDelegate(new CProgressCellDelegate(this, this));
}

void CListCtrlEx::SetSingleSelection(bool single)
{
    setSelectionMode(single ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
}

std::unique_ptr<QMenu> CListCtrlEx::BuildPopupMenu()
{
    const MenuResource* resource = FindMenu(m_strMenuName);
    if (resource == nullptr)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    for (const MenuItem& entry : resource->items) {
        QAction* action = menu->addAction(QString::fromStdString(MenuText(entry)));
        action->setData(entry.id);
    }
    if (IsDownloadMenu(m_strMenuName)) {
        const auto enable = [&](unsigned id, bool on) {
            for (QAction* action : menu->actions()) {
                if (action->data().toUInt() == id)
                    action->setEnabled(on);
            }
        };
        if (m_bItemPaused) {
            enable(ID_POPUP_CANCEL_DOWNLOAD, false);
            enable(ID_POPUP_RESUME_DOWNLOAD, true);
        }
        if (m_bItemRunning) {
            enable(ID_POPUP_CANCEL_DOWNLOAD, true);
            enable(ID_POPUP_RESUME_DOWNLOAD, false);
        }
        // A failed row is tried again from where its part file ends.
        QAction* retry = menu->addAction(QString::fromStdString(LoadLanguageString(IDS_POPUP_RETRY)));
        retry->setData(ID_POPUP_RETRY_DOWNLOAD);
        retry->setEnabled(m_bItemFailed);
        if (m_bItemFailed) {
            enable(ID_POPUP_CANCEL_DOWNLOAD, false);
            enable(ID_POPUP_RESUME_DOWNLOAD, false);
        }
    }
    return menu;
}

void CListCtrlEx::ShowPopupMenu(const QPoint& point)
{
    std::unique_ptr<QMenu> menu = BuildPopupMenu();
    if (!menu)
        return;
    QAction* chosen = menu->exec(mapToGlobal(point));
    if (chosen == nullptr)
        return;
    const unsigned id = chosen->data().toUInt();
    if (IsDownloadMenu(m_strMenuName)) {
        OnPopupCommand(id);
    } else {
        // Any other menu belongs to the main window, whose command routing
        // carries the command on.
        platform::SendMessage(WM_COMMAND, id, 0);
    }
}

void CListCtrlEx::OnPopupCommand(unsigned id)
{
    unsigned message = 0;
    switch (id) {
    case ID_POPUP_CANCEL_DOWNLOAD: message = WM_DOWNLOAD_CANCEL_ITEM; break;
    case ID_POPUP_CLEAR_DOWNLOAD: message = WM_DOWNLOAD_CLEAR_ITEM; break;
    case ID_POPUP_RESUME_DOWNLOAD: message = WM_DOWNLOAD_RESUME_ITEM; break;
    case ID_POPUP_RETRY_DOWNLOAD: message = WM_DOWNLOAD_RETRY_ITEM; break;
    default: return;
    }
    if (auto* view = dynamic_cast<platform::MessageReceiver*>(parentWidget()))
        view->OnMessage(message, 0, 0);
}

CProgressCellSource::Colours CListCtrlEx::CellColours() const
{
    return {m_crText, m_crBackground, m_crHighlightText, m_crHighlight, m_crProgress, m_crFace};
}

QSize CListCtrlEx::CellSize(int row, int column) const
{
    return {columnWidth(column), rowHeight(row)};
}

std::optional<std::int64_t> CListCtrlEx::RowRange(int row) const
{
    const int slot = GetItemSlot(row);
    if (slot < 0 || slot >= static_cast<int>(m_nRange.size())) {
        ReportBadRange();
        return std::nullopt;
    }
    return m_nRange[static_cast<std::size_t>(slot)];
}

void CListCtrlEx::ReportBadRange() const
{
    if (m_bRangeReported || m_bRangeReportPending)
        return;
    // Painting must never wait for a message box, so the report runs after
    // the paint; it is made once until the list's content changes.
    m_bRangeReportPending = true;
    QTimer::singleShot(0, const_cast<CListCtrlEx*>(this), [this] {
        m_bRangeReportPending = false;
        m_bRangeReported = true;
        platform::AfxMessageBox("Drawing range can not be handled");
    });
}

// A right click does not select: the menu belongs to a row the user has
// already chosen with the left button.
void CListCtrlEx::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void CListCtrlEx::mouseReleaseEvent(QMouseEvent* event)
{
    QTableWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        const QPoint inViewport = event->position().toPoint();
        const QModelIndex index = indexAt(inViewport);
        emit rightClicked(index.isValid() ? index.row() : -1, index.isValid() ? index.column() : -1,
                          viewport()->mapTo(this, inViewport));
    }
}

void CListCtrlEx::mouseMoveEvent(QMouseEvent* event)
{
    QTableWidget::mouseMoveEvent(event);
    const int row = rowAt(event->position().toPoint().y());
    if (event->buttons() == Qt::NoButton && row != m_hoverRow) {
        m_hoverRow = row;
        if (row >= 0)
            m_hoverTimer.start();
        else
            m_hoverTimer.stop();
    }
}

void CListCtrlEx::leaveEvent(QEvent* event)
{
    QTableWidget::leaveEvent(event);
    m_hoverRow = -1;
    m_hoverTimer.stop();
}

void CListCtrlEx::HoverSelect()
{
    const int row = rowAt(viewport()->mapFromGlobal(QCursor::pos()).y());
    if (row >= 0 && row == m_hoverRow && !IsItemSelected(row)) {
        clearSelection();
        selectRow(row);
    }
}
