#include "window/download/ListCtrlEx.h"

#include "window/download/DownloadsModel.h"

#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "resources/Messages.h"
#include "settings/LanguagePack.h"
#include "window/settings/Translate.h"

#include <algorithm>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QToolTip>
#include <QContextMenuEvent>
#include <QKeyEvent>

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
        {"FILE_POPUP_MENU",
         {{ID_DOWNLOAD, "&DownLoad"},
          {ID_COPY_URL, "&Copy URL"},
          {ID_POPUP_PREVIEW, "Pre&view"},
          {ID_POPUP_STOP_PREVIEW, "Stop preview"}}},
        {"ENGINE_POPUP_MENU",
         {{ID_POPUP_ADD_ENGINE, "Add engine..."},
          {ID_POPUP_REMOVE_ENGINE, "Remove engine"},
          {ID_POPUP_EDIT_ENGINES_FOLDER, "Edit engines folder"}}},
    };
    return menus;
}

// Every entry's caption comes from the language in force; the table's
// texts are the built-in English ones.
std::string MenuText(const MenuItem& entry)
{
    switch (entry.id) {
    case ID_POPUP_CANCEL_DOWNLOAD: return LoadLanguageString(IDS_POPUP_CANCEL_DOWNLOAD);
    case ID_POPUP_CLEAR_DOWNLOAD: return LoadLanguageString(IDS_POPUP_CLEAR_DOWNLOAD);
    case ID_POPUP_RESUME_DOWNLOAD: return LoadLanguageString(IDS_POPUP_RESUME_DOWNLOAD);
    case ID_DOWNLOAD: return LoadLanguageString(IDS_POPUP_DOWNLOAD);
    case ID_COPY_URL: return LoadLanguageString(IDS_POPUP_COPY_URL);
    case ID_POPUP_ADD_ENGINE: return LoadLanguageString(IDS_POPUP_ADD_ENGINE);
    case ID_POPUP_REMOVE_ENGINE: return LoadLanguageString(IDS_POPUP_REMOVE_ENGINE);
    case ID_POPUP_EDIT_ENGINES_FOLDER: return LoadLanguageString(IDS_POPUP_EDIT_ENGINES_FOLDER);
    case ID_POPUP_PREVIEW: return LoadLanguageString(IDS_POPUP_PREVIEW);
    case ID_POPUP_STOP_PREVIEW: return LoadLanguageString(IDS_POPUP_STOP_PREVIEW);
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

CListCtrlEx::CListCtrlEx(QWidget* parent, CListModel* model)
    : QTableView(parent)
    , m_model(model != nullptr ? model : new CListModel(this))
{
    if (m_model->parent() == nullptr)
        m_model->setParent(this);
    setModel(m_model);
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
    horizontalHeader()->setSectionsMovable(true);
    setMouseTracking(true);

    // Hovering over a row selects it after a moment, as the list's
    // track-select style does.
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(400);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CListCtrlEx::HoverSelect);

    // A changed list may draw differently, so a bad slot is worth one more report.
    // A header in another language may be longer than the one the column
    // was made for.
    connect(m_model, &QAbstractItemModel::headerDataChanged, this, &CListCtrlEx::FitHeaders);

    const auto contentChanged = [this] { m_bRangeReported = false; };
    connect(m_model, &QAbstractItemModel::dataChanged, this, contentChanged);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, contentChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, contentChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, contentChanged);
}

CListCtrlEx::~CListCtrlEx() = default;

int CListCtrlEx::InsertColumn(int column, const std::string& header, int format, int width)
{
    column = m_model->InsertColumn(column, QString::fromStdString(header), format);
    if (column < 0)
        return -1;
    setColumnWidth(column, width);
    // A column of width 0 holds data the user never sees (the slot numbers).
    setColumnHidden(column, width == 0);
    FitHeaders();
    return column;
}

std::string CListCtrlEx::GetColumnHeader(int column) const
{
    return m_model->Header(column).toStdString();
}

void CListCtrlEx::SetColumnHeader(int column, const std::string& text)
{
    m_model->SetHeader(column, QString::fromStdString(text));
}

int CListCtrlEx::AddItem(int index, int count, int image, const std::vector<std::string>& texts)
{
    return m_model->InsertRow(index, count, image, texts);
}

std::string CListCtrlEx::GetItemText(int row, int column) const
{
    return m_model->Text(row, column).toStdString();
}

bool CListCtrlEx::SetItemText(int row, int column, const std::string& text)
{
    return m_model->SetText(row, column, QString::fromStdString(text));
}

bool CListCtrlEx::SetItemImage(int row, int image)
{
    return m_model->SetImage(row, image);
}

int CListCtrlEx::GetItemImage(int row) const
{
    return m_model->Image(row);
}

bool CListCtrlEx::DeleteItem(int row)
{
    return m_model->RemoveRows(row, 1);
}

void CListCtrlEx::DeleteAllItems()
{
    m_model->Clear();
}

std::string CListCtrlEx::ColumnLayout() const
{
    const QHeaderView* header = horizontalHeader();
    std::string layout;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!layout.empty())
            layout += ',';
        layout += std::to_string(column) + ':' + std::to_string(isColumnHidden(column) ? 0 : columnWidth(column));
    }
    return layout;
}

void CListCtrlEx::MoveColumnAfter(int column, int after)
{
    QHeaderView* header = horizontalHeader();
    const int from = header->visualIndex(column);
    const int to = header->visualIndex(after);
    if (from >= 0 && to >= 0 && from != to)
        header->moveSection(from, from < to ? to : to + 1);
}

bool CListCtrlEx::RestoreColumnLayout(const std::string& layout)
{
    // Wider than any screen is no width a user chose.
    constexpr int kMaxWidth = 10000;
    const int count = GetColumnCount();
    std::vector<std::pair<int, int>> columns;  // in the order shown
    std::vector<bool> seen(static_cast<std::size_t>(count), false);
    const QStringList entries = QString::fromStdString(layout).split(QLatin1Char(','));
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(QLatin1Char(':'));
        bool columnOk = false;
        bool widthOk = false;
        const int column = parts.size() == 2 ? parts[0].toInt(&columnOk) : -1;
        const int width = parts.size() == 2 ? parts[1].toInt(&widthOk) : -1;
        if (!columnOk || !widthOk || column < 0 || column >= count || seen[static_cast<std::size_t>(column)] ||
            width < 0 || width > kMaxWidth)
            return false;
        seen[static_cast<std::size_t>(column)] = true;
        columns.emplace_back(column, width);
    }
    if (columns.empty() || static_cast<int>(columns.size()) > count)
        return false;
    QHeaderView* header = horizontalHeader();
    const int known = static_cast<int>(columns.size());
    if (known < count) {
        // Saved by a version with fewer columns: those it knew are the first
        // ones of the model. Each newer column goes where it stands now,
        // after the column it follows in the list's own order.
        for (const auto& [column, width] : columns) {
            if (column >= known)
                return false;
        }
        for (int visual = 0; visual < count; ++visual) {
            const int column = header->logicalIndex(visual);
            if (column < known)
                continue;
            const int previous = visual > 0 ? header->logicalIndex(visual - 1) : -1;
            const auto after = std::find_if(columns.begin(), columns.end(),
                                            [previous](const auto& entry) { return entry.first == previous; });
            columns.insert(after == columns.end() ? columns.begin() : after + 1, {column, -1});
        }
    }
    for (int visual = 0; visual < count; ++visual) {
        const auto [column, width] = columns[static_cast<std::size_t>(visual)];
        header->moveSection(header->visualIndex(column), visual);
        // A hidden column (the slots) stays hidden whatever the file says;
        // a column the file did not know keeps its width.
        if (!isColumnHidden(column) && width >= 0)
            setColumnWidth(column, width);
    }
    return true;
}

int CListCtrlEx::ViewRow(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return -1;
    return m_pSorted != nullptr ? m_pSorted->mapFromSource(m_model->index(row, 0)).row() : row;
}

int CListCtrlEx::ModelRow(int viewRow) const
{
    if (m_pSorted == nullptr)
        return viewRow >= 0 && viewRow < m_model->rowCount() ? viewRow : -1;
    const QModelIndex source = m_pSorted->mapToSource(m_pSorted->index(viewRow, 0));
    return source.isValid() ? source.row() : -1;
}

int CListCtrlEx::GetFirstSelectedItem() const
{
    // The first in the order the user sees.
    const int rows = model()->rowCount();
    for (int viewRow = 0; viewRow < rows; ++viewRow) {
        if (selectionModel()->isRowSelected(viewRow, QModelIndex()))
            return ModelRow(viewRow);
    }
    return -1;
}

bool CListCtrlEx::IsItemSelected(int row) const
{
    const int viewRow = ViewRow(row);
    return viewRow >= 0 && selectionModel()->isRowSelected(viewRow, QModelIndex());
}

void CListCtrlEx::SelectItem(int row)
{
    // A row still waiting for its batch is shown at once.
    if (row >= m_model->rowCount() && row < m_model->Count())
        m_model->Flush();
    if (const int viewRow = ViewRow(row); viewRow >= 0)
        selectRow(viewRow);
}

void CListCtrlEx::UseListImages()
{
    setIconSize(QSize(43, 16));
}

void CListCtrlEx::SetProgress(int row, std::int64_t value)
{
    if (auto* downloads = qobject_cast<CDownloadsModel*>(m_model))
        downloads->SetReceived(row, value);
}

int CListCtrlEx::GetItemSlot(int row) const
{
    if (row == -1)
        return -1;
    const auto* downloads = qobject_cast<const CDownloadsModel*>(m_model);
    return downloads != nullptr ? downloads->SlotOf(row) : -1;
}

void CListCtrlEx::RefreshRowHeight()
{
    verticalHeader()->setDefaultSectionSize(MeasureItem());
}

void CListCtrlEx::SetOwnerDrawn(bool ownerDrawn)
{
    m_bOwnerDrawn = ownerDrawn;
    if (ownerDrawn)
        setItemDelegate(new CProgressCellDelegate(this, CDownloadsModel::Progress, this));
}

void CListCtrlEx::SetSingleSelection(bool single)
{
    setSelectionMode(single ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
}

void CListCtrlEx::SetSortable(bool sortable)
{
    if (sortable == IsSortable())
        return;
    if (sortable) {
        m_pSorted = new QSortFilterProxyModel(this);
        m_pSorted->setSortRole(ListRole::Sort);
        m_pSorted->setSortCaseSensitivity(Qt::CaseInsensitive);
        m_pSorted->setSourceModel(m_model);
        setModel(m_pSorted);
        // No order until the user asks for one: the rows stay as they came.
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        setSortingEnabled(true);
        FitHeaders();
    } else {
        setSortingEnabled(false);
        setModel(m_model);
        delete m_pSorted;
        m_pSorted = nullptr;
    }
}

int CListCtrlEx::HeaderWidth(int column) const
{
    const QHeaderView* header = horizontalHeader();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.orientation = Qt::Horizontal;
    option.section = column;
    option.text = m_model->Header(column);
    // The arrow is counted whether or not the list is sorted by this column
    // now: one click on the header must not cut its text.
    if (IsSortable())
        option.sortIndicator = QStyleOptionHeader::SortDown;
    return header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
}

void CListCtrlEx::FitHeaders()
{
    for (int column = 0; column < m_model->ColumnCount(); ++column) {
        if (isColumnHidden(column))
            continue;
        if (const int need = HeaderWidth(column); columnWidth(column) < need)
            setColumnWidth(column, need);
    }
}

int CListCtrlEx::TextRoom(int column) const
{
    const int width = columnWidth(column);
    // The owner-drawn rows keep two pixels each side (CProgressCellDelegate).
    if (m_bOwnerDrawn)
        return width - 4;
    // The item delegate's margins each side of the text, and the row's
    // picture in the first column.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    int room = width - 2 * margin;
    if (column == 0 && iconSize().isValid())
        room -= iconSize().width() + 2 * margin;
    return room;
}

QString CListCtrlEx::CellToolTip(int row, int column) const
{
    if (row < 0 || row >= m_model->Count() || column < 0 || column >= m_model->ColumnCount())
        return {};
    const QModelIndex index = m_model->index(row, column);
    // A row's own tip (a file's other sources) always shows; otherwise a
    // cell shows its whole text where the column is too narrow for it.
    if (const QString tip = index.data(Qt::ToolTipRole).toString(); !tip.isEmpty())
        return tip;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty() || fontMetrics().horizontalAdvance(text) <= TextRoom(column))
        return {};
    return text;
}

bool CListCtrlEx::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString tip = index.isValid() ? CellToolTip(ModelRow(index.row()), index.column()) : QString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), PlainToolTip(tip), viewport(), visualRect(index));
    return true;
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
        if (entry.id == ID_POPUP_STOP_PREVIEW)
            action->setEnabled(m_bPreviewPlaying);
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
        platform::AfxMessageBox(LoadLanguageString(IDS_DRAWING_RANGE_NOT_HANDLED));
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
    QTableView::mousePressEvent(event);
}

void CListCtrlEx::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        const QPoint inViewport = event->position().toPoint();
        const QModelIndex index = indexAt(inViewport);
        emit rightClicked(index.isValid() ? ModelRow(index.row()) : -1, index.isValid() ? index.column() : -1,
                          viewport()->mapTo(this, inViewport));
    }
}

void CListCtrlEx::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid())
        emit rowActivated(ModelRow(index.row()));
}

// The menu key and Shift+F10 open the popup menu of the current row, as a
// right click on it would.
void CListCtrlEx::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        event->ignore();
        return;
    }
    event->accept();
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const QRect cell = visualRect(current);
    emit rightClicked(ModelRow(current.row()), current.column(), viewport()->mapTo(this, cell.center()));
}

// Home and End go to the first and the last row, as the desktop's lists
// do; the table's own keys would move between columns.
QModelIndex CListCtrlEx::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const int rows = model()->rowCount();
    if ((cursorAction == MoveHome || cursorAction == MoveEnd) && rows > 0) {
        const int column = std::max(currentIndex().column(), 0);
        return model()->index(cursorAction == MoveHome ? 0 : rows - 1, column);
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

void CListCtrlEx::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+1..9 orders a sortable list by its n-th visible column; again
    // the same key turns the order round.
    const int key = event->key();
    if (IsSortable() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier && key >= Qt::Key_1 &&
        key <= Qt::Key_9) {
        const int section = horizontalHeader()->logicalIndex(key - Qt::Key_1);
        if (section >= 0 && !isColumnHidden(section)) {
            QHeaderView* header = horizontalHeader();
            const Qt::SortOrder order =
                header->sortIndicatorSection() == section && header->sortIndicatorOrder() == Qt::AscendingOrder
                    ? Qt::DescendingOrder
                    : Qt::AscendingOrder;
            sortByColumn(section, order);
        }
        event->accept();
        return;
    }
    // Shift+F10 stands for the menu key, as in the desktop's lists.
    if (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), mapToGlobal(QPoint()));
        contextMenuEvent(&menu);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void CListCtrlEx::mouseMoveEvent(QMouseEvent* event)
{
    QTableView::mouseMoveEvent(event);
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
    QTableView::leaveEvent(event);
    m_hoverRow = -1;
    m_hoverTimer.stop();
}

void CListCtrlEx::HoverSelect()
{
    const int row = rowAt(viewport()->mapFromGlobal(QCursor::pos()).y());
    if (row >= 0 && row == m_hoverRow && !selectionModel()->isRowSelected(row, QModelIndex())) {
        clearSelection();
        selectRow(row);
    }
}
