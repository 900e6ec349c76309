#pragma once

#include "window/ListModel.h"
#include "window/download/ProgressCellDelegate.h"

#include <QColor>
#include <QTableView>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QSortFilterProxyModel;

// The report-style list of the engines, the found files, the downloads and
// the play list: a view over one CListModel. Rows are addressed by their
// index in the model, also while a sortable list shows them in another
// order. The download list draws its progress column as bars and turns the
// commands of its popup menu into messages to the view it sits in.
class CListCtrlEx final : public QTableView, public CProgressCellSource {
    Q_OBJECT
public:
    // Without a model the list keeps plain texts in one of its own.
    explicit CListCtrlEx(QWidget* parent = nullptr, CListModel* model = nullptr);
    ~CListCtrlEx() override;

    CListModel& Model() const { return *m_model; }

    // --- rows and columns
    int InsertColumn(int column, const std::string& header, int format, int width);
    int GetColumnCount() const { return m_model->ColumnCount(); }
    std::string GetColumnHeader(int column) const;
    void SetColumnHeader(int column, const std::string& text);
    // Inserts a row at `index` (clamped to the end) with `image` and texts[0],
    // then sets columns 1..count-1 from `texts`; columns beyond `texts` stay
    // empty. Returns the new row's index, -1 for a negative index.
    int AddItem(int index, int count, int image, const std::vector<std::string>& texts);
    int GetItemCount() const { return m_model->Count(); }
    std::string GetItemText(int row, int column) const;
    bool SetItemText(int row, int column, const std::string& text);
    bool SetItemImage(int row, int image);
    int GetItemImage(int row) const;  // -1 when the row has none
    bool DeleteItem(int row);
    void DeleteAllItems();
    int GetFirstSelectedItem() const;  // -1 when nothing is selected
    bool IsItemSelected(int row) const;
    void SelectItem(int row);

    // The shared image list of bitmap 160: 43-pixel images, mask 0x808080.
    void UseListImages();

    // The download list: the bytes `row` has received, drawn as its bar.
    void SetProgress(int row, std::int64_t value);
    // The download slot of `row`; -1 for row -1 or a list without slots.
    int GetItemSlot(int row) const;

    // Every row 16 pixels high (owner-drawn rows).
    int MeasureItem() const { return 16; }
    void RefreshRowHeight();
    // The download list draws its own rows with progress bars.
    void SetOwnerDrawn(bool ownerDrawn);
    void SetSingleSelection(bool single);
    // A header click (or Ctrl+1..9) orders the rows by that column; the
    // model's rows keep their indices.
    void SetSortable(bool sortable);
    // The width the column's header needs: its text, the margins and, in a
    // list that sorts, the sort arrow.
    int HeaderWidth(int column) const;
    bool IsSortable() const { return m_pSorted != nullptr; }
    // The columns' order and widths as the user left them ("column:width"
    // in the order shown), and back. A layout that does not fit the list's
    // columns is ignored whole: the built-in one stays. One saved before the
    // list had its later columns keeps its order and widths for the columns
    // it names; each later column stays after the one it follows now.
    std::string ColumnLayout() const;
    bool RestoreColumnLayout(const std::string& layout);
    // Shows column `column` just after column `after`.
    void MoveColumnAfter(int column, int after);
    // The view's row of model row `row` and back; -1 for none.
    int ViewRow(int row) const;
    int ModelRow(int viewRow) const;

    // --- cells too narrow for their text
    // The pixels a cell of `column` has for its text at the column's width.
    int TextRoom(int column) const;
    // The tip of model row `row`'s cell in `column`: its whole text when the
    // column is too narrow to show it, else nothing.
    QString CellToolTip(int row, int column) const;

    // --- popup menus
    void SetMenuName(const std::string& name) { m_strMenuName = name; }
    const std::string& GetMenuName() const { return m_strMenuName; }
    // The menu for m_strMenuName with its entries enabled as they would be
    // shown; null when there is no such menu resource.
    std::unique_ptr<QMenu> BuildPopupMenu();
    // Shows the menu at `point` (this control's coordinates) and carries out
    // the chosen command.
    void ShowPopupMenu(const QPoint& point);
    // A command of the download menu: tells the view through its message entry.
    void OnPopupCommand(unsigned id);

    // --- drawing (read by the cell painter)
    bool IsProgressRangeReported() const { return m_bRangeReported; }
    void ReportBadRange() const override;
    Colours CellColours() const override;
    QSize CellSize(int row, int column) const override;

    // The state of the row the download menu is shown for.
    bool m_bItemRunning = false;
    bool m_bItemPaused = false;
    bool m_bItemFailed = false;  // the row's download failed: "Retry" is offered
    bool m_bPreviewPlaying = false;  // the found files' menu offers "Stop preview"
    QColor m_crText;
    QColor m_crBackground;
    QColor m_crHighlightText;
    QColor m_crHighlight;
    QColor m_crProgress;
    QColor m_crFace;

signals:
    // NM_RCLICK: a right click on the list (or the menu key), with the model
    // row and column under the pointer (-1 for none) and the point in this
    // control's coordinates.
    void rightClicked(int row, int column, QPoint point);
    // A row was double-clicked (its model row).
    void rowActivated(int row);

protected:
    bool viewportEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void HoverSelect();
    // Widens every shown column whose header would be cut; never narrows one.
    void FitHeaders();

    CListModel* m_model;
    QSortFilterProxyModel* m_pSorted = nullptr;
    std::string m_strMenuName;
    bool m_bOwnerDrawn = false;
    QTimer m_hoverTimer;
    int m_hoverRow = -1;
    mutable bool m_bRangeReported = false;
    mutable bool m_bRangeReportPending = false;
};
