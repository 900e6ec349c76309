#pragma once

#include "platform/MessageChannel.h"
#include "platform/MulDiv.h"
#include "window/download/ProgressCellDelegate.h"

#include <QColor>
#include <QIcon>
#include <QTableWidget>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QMenu;

// Column alignments of InsertColumn.
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_CENTER = 2;

// The report-style list of the found files, the downloads and the play list.
// Rows are addressed by index. The download list draws every cell whose text
// ends in "%" as a progress bar scaled by its slot's range, and turns the
// commands of its popup menu into messages to the view it sits in.
class CListCtrlEx final : public QTableWidget, public CProgressCellSource {
    Q_OBJECT
public:
    explicit CListCtrlEx(QWidget* parent = nullptr);
    ~CListCtrlEx() override;

    // --- rows and columns
    int InsertColumn(int column, const std::string& header, int format, int width);
    int GetColumnCount() const { return columnCount(); }
    std::string GetColumnHeader(int column) const;
    void SetColumnHeader(int column, const std::string& text);
    // Inserts a row at `index` (clamped to the end) with `image` and texts[0],
    // then sets columns 1..count-1 from `texts`; columns beyond `texts` stay
    // empty. Returns the new row's index, -1 for a negative index.
    int AddItem(int index, int count, int image, const std::vector<std::string>& texts);
    int GetItemCount() const { return rowCount(); }
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

    // Column 3 of `row` := value as "%d %%".
    void SetProgress(int row, std::int64_t value);
    // Column 6 of `row` read as a decimal number; -1 for row -1.
    int GetItemSlot(int row) const;

    // Every row 16 pixels high (owner-drawn rows).
    int MeasureItem() const { return 16; }
    void RefreshRowHeight();
    // The download list draws its own rows with progress bars.
    void SetOwnerDrawn(bool ownerDrawn);
    void SetSingleSelection(bool single);

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
    void ReportBadRange() const;
    Colours CellColours() const override;
    QSize CellSize(int row, int column) const override;
    std::optional<std::int64_t> RowRange(int row) const override;

    bool m_bItemRunning = false;
    bool m_bItemPaused = false;
    bool m_bItemFailed = false;  // the row's download failed: "Retry" is offered
    std::array<std::int64_t, 1000> m_nRange;  // 64-bit: files may pass 2 GB
    QColor m_crText;
    QColor m_crBackground;
    QColor m_crHighlightText;
    QColor m_crHighlight;
    QColor m_crProgress;
    QColor m_crFace;

signals:
    // NM_RCLICK: a right click on the list, with the row and column under the
    // pointer (-1 for none) and the point in this control's coordinates.
    void rightClicked(int row, int column, QPoint point);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void HoverSelect();
    // The picture of `image` in the list's strip, made once per image.
    QIcon ImageIcon(int image);

    std::string m_strMenuName;
    std::vector<int> m_columnFormats;
    std::unordered_map<int, QIcon> m_imageIcons;
    bool m_bOwnerDrawn = false;
    QTimer m_hoverTimer;
    int m_hoverRow = -1;
    mutable bool m_bRangeReported = false;
    mutable bool m_bRangeReportPending = false;
};
