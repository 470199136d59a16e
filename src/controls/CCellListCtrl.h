// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/CellInfo.h"

#include <QAbstractScrollArea>
#include <QRegion>

class QHeaderView;
class QStandardItemModel;

// A report-style list with a header that stores no rows. It knows only how many rows there are;
// for every cell it paints it asks its parent widget with a ListGetCellInfoEvent
// (WM_LIST_GETCELLINFO, see ListMessages.h), then draws the cell itself: background, text with
// the column's alignment and an ellipsis, or a progress bar with two-coloured text. Only the
// visible cells are asked for and painted, so the cost of a paint does not grow with the row
// count.
//
// Single selection. The selection mark is the row the user last picked (by mouse or keys) or
// the program set with SetSelectionMark; it stays when a click on empty space clears the
// highlight. Hovering changes nothing: there is no hot row and no selection by hovering.
//
// Mouse: a left click on a cell selects its row, sends WM_LIST_CELLCLICK to the parent and then
// emits Clicked; right clicks select the same way and emit RightClicked; right clicks on the
// header send WM_LIST_HEADERRCLICK. Keys: Up, Down, Page Up, Page Down, Home and End move the
// selection. A parent that wants its own key handling installs an event filter on this widget
// and consumes the QEvent::KeyPress events it handles.
class CCellListCtrl : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CCellListCtrl(QWidget* parent = nullptr);
    ~CCellListCtrl() override;

    // Inserts a column before `column` (or at the end); returns its index. The header text and
    // the cells use `format`'s horizontal alignment. A negative width picks one from the text.
    int InsertColumn(int column, const QString& heading, Qt::Alignment format = Qt::AlignLeft,
                     int width = -1);
    [[nodiscard]] int GetColumnCount() const;
    [[nodiscard]] QHeaderView* GetHeaderCtrl() const { return header; }

    // The number of rows. A selection or selection mark past the new end is dropped.
    void SetItemCount(int count);
    [[nodiscard]] int GetItemCount() const { return itemCount; }
    void DeleteAllItems();

    [[nodiscard]] int GetSelectionMark() const { return selectionMark; }
    // Returns the previous mark. -1 clears it.
    int SetSelectionMark(int row);
    // Selects one row (and deselects the others); -1 deselects. Out-of-range rows deselect.
    void SetItemSelected(int row);
    // The selected row, or -1.
    [[nodiscard]] int GetSelectedItem() const { return selectedRow; }
    // Whether a cell paints as selected: its row is selected, the column is 0 or full-row
    // select is on, and the list has the focus or shows its selection always.
    [[nodiscard]] bool IsRowSelected(int row, int column) const;

    // The last column takes the width the others leave (never less than its title needs), so
    // that no column lies out of view and the list never scrolls sideways.
    void SetLastColumnFills(bool on);

    void SetFullRowSelect(bool on);
    [[nodiscard]] bool GetFullRowSelect() const { return fullRowSelect; }
    // Whether the selection shows while the list has no focus (on by default).
    void SetShowSelectionAlways(bool on);
    [[nodiscard]] bool GetShowSelectionAlways() const { return showSelectionAlways; }

    // First visible row, and the number of fully visible rows.
    [[nodiscard]] int GetTopIndex() const;
    [[nodiscard]] int GetCountPerPage() const;
    // Scrolls so the row is visible; with partialOk a partly visible row is left where it is.
    void EnsureVisible(int row, bool partialOk);

    // Repaints the rows first .. last (all columns).
    void RedrawItems(int first, int last);
    // Repaints the cells of one column in rows firstRow .. lastRow that are visible, and
    // nothing else. With erase, the cells' area is cleared to the list's background first.
    void InvalidateCells(int firstRow, int lastRow, int column, bool erase);

    // The cell's rectangle in viewport coordinates; empty for a row or column out of range.
    [[nodiscard]] QRect GetCellRect(int row, int column) const;
    [[nodiscard]] int GetRowHeight() const { return rowHeight; }

    // Asks the parent for the cell (WM_LIST_GETCELLINFO) and returns the list's record as the
    // parent left it. The reference is valid until the next request.
    virtual const CellInfo& GetCellInfo(int row, int column);
    // The cell's tooltip: the one its parent gives, else its text when the text is cut.
    [[nodiscard]] QString CellToolTip(int row, int column);

signals:
    // Row and column are those hit by the click, or -1 when it hit no cell.
    void Clicked(int row, int column);
    void DoubleClicked(int row, int column);
    void RightClicked(int row, int column);
    void RightDoubleClicked(int row, int column);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Hit {
        int row = -1;
        int column = -1;
    };

    [[nodiscard]] Hit SubItemHitTest(QPoint viewportPos) const;
    void SelectByMouse(const Hit& hit);
    void MoveSelectionTo(int row);
    void DrawCell(QPainter& painter, int row, int column);
    [[nodiscard]] QColor BackgroundColour(const CellInfo& cell, bool ignoreSelection) const;
    [[nodiscard]] QColor TextColour(const CellInfo& cell, bool ignoreSelection) const;
    void HeaderRightClicked(QPoint headerPos);
    void UpdateRowHeight();
    void UpdateGeometries();
    void UpdateScrollBars();

    QHeaderView* header;
    QStandardItemModel* headerModel; // header texts and alignments only; no rows
    CellInfo cellInfo;
    QList<Qt::Alignment> columnAlignments; // horizontal part of each column's format
    QRegion pendingErase;
    int itemCount = 0;
    int selectedRow = -1;
    int selectionMark = -1;
    int rowHeight = 0;
    bool fullRowSelect = false;
    bool lastColumnFills = false;
    bool showSelectionAlways = true;
    bool pressedInViewport = false;
    QPoint pressPos;
};
