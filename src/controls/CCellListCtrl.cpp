// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CCellListCtrl.h"

#include "controls/ListMessages.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QToolTip>
#include <qdrawutil.h>

#include <algorithm>

namespace {

// Classic 3-D edges: sunken and raised are two-pixel panels, etched and bump two-pixel lines.
void DrawEdge(QPainter& painter, const QRect& rect, int edge, const QPalette& palette) {
    switch (edge) {
    case CellInfo::EdgeRaised:
        qDrawWinPanel(&painter, rect, palette, false);
        break;
    case CellInfo::EdgeEtched:
        qDrawShadeRect(&painter, rect, palette, true, 1, 0);
        break;
    case CellInfo::EdgeBump:
        qDrawShadeRect(&painter, rect, palette, false, 1, 0);
        break;
    default:
        qDrawWinPanel(&painter, rect, palette, true);
        break;
    }
}

void FillUnlessNone(QPainter& painter, const QRect& rect, const QColor& colour) {
    if (!CellInfo::IsNoColour(colour) && !rect.isEmpty()) {
        painter.fillRect(rect, colour);
    }
}

} // namespace

CCellListCtrl::CCellListCtrl(QWidget* parent)
    : QAbstractScrollArea(parent), header(new QHeaderView(Qt::Horizontal, this)),
      headerModel(new QStandardItemModel(0, 0, this)) {
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);

    // The cells cover what they paint; the rest is cleared in paintEvent. This lets
    // InvalidateCells repaint a cell without erasing it first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setBackgroundRole(QPalette::Base);

    header->setModel(headerModel);
    header->setSectionsClickable(false); // no sorting
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setFocusPolicy(Qt::NoFocus);
    header->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        UpdateScrollBars();
        viewport()->update();
    });

    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);

    UpdateRowHeight();
    UpdateGeometries();
    UpdateScrollBars();
}

CCellListCtrl::~CCellListCtrl() = default;

int CCellListCtrl::InsertColumn(int column, const QString& heading, Qt::Alignment format,
                                int width) {
    const int count = GetColumnCount();
    if (column < 0 || column > count) {
        column = count;
    }
    const Qt::Alignment horizontal = format & Qt::AlignHorizontal_Mask;
    headerModel->insertColumn(column);
    headerModel->setHeaderData(column, Qt::Horizontal, heading, Qt::DisplayRole);
    headerModel->setHeaderData(column, Qt::Horizontal, int(horizontal | Qt::AlignVCenter),
                               Qt::TextAlignmentRole);
    columnAlignments.insert(column, horizontal);
    if (width < 0) {
        width = fontMetrics().horizontalAdvance(heading) + 16;
    }
    header->resizeSection(column, width);

    UpdateGeometries();
    UpdateScrollBars();
    viewport()->update();
    return column;
}

int CCellListCtrl::GetColumnCount() const {
    return header->count();
}

void CCellListCtrl::SetItemCount(int count) {
    itemCount = std::max(0, count);
    if (selectedRow >= itemCount) {
        selectedRow = -1;
    }
    if (selectionMark >= itemCount) {
        selectionMark = -1;
    }
    UpdateScrollBars();
    viewport()->update();
}

void CCellListCtrl::DeleteAllItems() {
    selectedRow = -1;
    selectionMark = -1;
    SetItemCount(0);
}

int CCellListCtrl::SetSelectionMark(int row) {
    const int old = selectionMark;
    selectionMark = (row >= 0 && row < itemCount) ? row : -1;
    return old;
}

void CCellListCtrl::SetItemSelected(int row) {
    const int newRow = (row >= 0 && row < itemCount) ? row : -1;
    if (newRow == selectedRow) {
        return;
    }
    const int oldRow = selectedRow;
    selectedRow = newRow;
    if (oldRow >= 0) {
        RedrawItems(oldRow, oldRow);
    }
    if (newRow >= 0) {
        RedrawItems(newRow, newRow);
    }
}

bool CCellListCtrl::IsRowSelected(int row, int column) const {
    return row >= 0 && row == selectedRow && (column == 0 || fullRowSelect) &&
           (hasFocus() || showSelectionAlways);
}

void CCellListCtrl::SetFullRowSelect(bool on) {
    fullRowSelect = on;
    viewport()->update();
}

void CCellListCtrl::SetShowSelectionAlways(bool on) {
    showSelectionAlways = on;
    viewport()->update();
}

int CCellListCtrl::GetTopIndex() const {
    return verticalScrollBar()->value();
}

int CCellListCtrl::GetCountPerPage() const {
    return std::max(0, viewport()->height() / rowHeight);
}

void CCellListCtrl::EnsureVisible(int row, bool partialOk) {
    if (row < 0 || row >= itemCount) {
        return;
    }
    const int top = GetTopIndex();
    const int perPage = GetCountPerPage();
    if (row < top) {
        verticalScrollBar()->setValue(row);
    } else if (row >= top + perPage) {
        const bool partlyShown = row == top + perPage && viewport()->height() > perPage * rowHeight;
        if (!(partialOk && partlyShown)) {
            verticalScrollBar()->setValue(row - std::max(perPage, 1) + 1);
        }
    }
}

void CCellListCtrl::RedrawItems(int first, int last) {
    const int top = GetTopIndex();
    first = std::max(first, top);
    last = std::min({last, top + GetCountPerPage(), itemCount - 1});
    if (first > last) {
        return;
    }
    viewport()->update(0, (first - top) * rowHeight, viewport()->width(),
                       (last - first + 1) * rowHeight);
}

void CCellListCtrl::InvalidateCells(int firstRow, int lastRow, int column, bool erase) {
    if (itemCount == 0) {
        return;
    }
    const int top = GetTopIndex();
    // A partly visible last row counts as visible.
    const int bottom = std::min(top + GetCountPerPage(), itemCount - 1);
    if ((firstRow < top && lastRow < top) || (firstRow > bottom && lastRow > bottom)) {
        return;
    }
    firstRow = std::max(firstRow, top);
    lastRow = std::min(lastRow, bottom);

    const QRect rect = GetCellRect(firstRow, column).united(GetCellRect(lastRow, column));
    if (rect.isEmpty()) {
        return;
    }
    if (erase) {
        pendingErase += rect;
    }
    viewport()->update(rect);
}

QRect CCellListCtrl::GetCellRect(int row, int column) const {
    if (row < 0 || row >= itemCount || column < 0 || column >= GetColumnCount()) {
        return {};
    }
    return {header->sectionViewportPosition(column), (row - GetTopIndex()) * rowHeight,
            header->sectionSize(column), rowHeight};
}

const CellInfo& CCellListCtrl::GetCellInfo(int row, int column) {
    cellInfo = CellInfo{};
    cellInfo.row = row;
    cellInfo.column = column;
    cellInfo.selected = IsRowSelected(row, column);
    cellInfo.hot = false; // hovering never makes a row hot
    if (QWidget* parent = parentWidget()) {
        ListGetCellInfoEvent event(this, &cellInfo);
        QCoreApplication::sendEvent(parent, &event);
    }
    return cellInfo;
}

void CCellListCtrl::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRegion& region = event->region();
    const QColor base = palette().color(QPalette::Base);

    if (!pendingErase.isEmpty()) {
        for (const QRect& rect : pendingErase.intersected(region)) {
            painter.fillRect(rect, base);
        }
        pendingErase -= region;
    }

    const int top = GetTopIndex();
    const int lastVisible = std::min(itemCount - 1, top + GetCountPerPage());
    const QRect cellsArea(-header->offset(), 0, header->length(),
                          std::max(0, lastVisible - top + 1) * rowHeight);
    for (const QRect& rect : region.subtracted(cellsArea)) {
        painter.fillRect(rect, base);
    }

    const QRect bounds = region.boundingRect();
    const int firstRow = top + std::max(0, bounds.top()) / rowHeight;
    const int lastRow = std::min(lastVisible, top + std::max(0, bounds.bottom()) / rowHeight);
    const int columns = GetColumnCount();
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (region.intersects(GetCellRect(row, column))) {
                DrawCell(painter, row, column);
            }
        }
    }
}

void CCellListCtrl::DrawCell(QPainter& painter, int row, int column) {
    // A copy: requests made while drawing must not change what this cell draws.
    const CellInfo cell = GetCellInfo(row, column);
    const QRect label = GetCellRect(row, column);
    if (label.isEmpty()) {
        return;
    }
    // Without full-row select only the text itself shows the selection.
    const bool fillIgnoresSelection = fullRowSelect ? cell.ignoreSelection : true;
    const QColor fill = BackgroundColour(cell, fillIgnoresSelection);
    const bool isProgress = cell.progressRange > 0;

    QRect textRect = label;
    QRect filled;
    if (isProgress) {
        const QRect bar = label.adjusted(1, 1, -2, -1);
        const QRect inner =
            cell.progressFrameEdge != CellInfo::EdgeNone ? bar.adjusted(2, 2, -2, -2) : bar;
        if (!CellInfo::IsNoColour(fill)) {
            for (const QRect& rect : QRegion(label).subtracted(bar)) {
                painter.fillRect(rect, fill);
            }
        }
        if (cell.progressFrameEdge != CellInfo::EdgeNone) {
            DrawEdge(painter, bar, cell.progressFrameEdge, palette());
        }
        // The empty part of the bar never shows the selection colour.
        FillUnlessNone(painter, inner, BackgroundColour(cell, true));
        if (cell.progressPosition > 0 && inner.width() > 0) {
            const int width =
                cell.progressPosition < cell.progressRange
                    ? int(qint64(inner.width()) * cell.progressPosition / cell.progressRange)
                    : inner.width();
            filled = QRect(inner.left(), inner.top(), width, inner.height());
            const QColor barColour = cell.progressBarColour.isValid()
                                         ? cell.progressBarColour
                                         : palette().color(QPalette::Highlight);
            FillUnlessNone(painter, filled, barColour);
        }
        textRect = inner;
    }

    if (cell.text.isEmpty()) {
        if (!isProgress) {
            FillUnlessNone(painter, label, fill);
        }
        return;
    }

    const int flags =
        int(columnAlignments.value(column, Qt::AlignLeft)) | Qt::AlignVCenter | Qt::TextSingleLine;
    if (isProgress) {
        // Drawn twice over the whole bar: over the filled part in the progress text colour,
        // over the rest in the normal text colour, so the text stays readable as the bar grows.
        const QString text = painter.fontMetrics().elidedText(
            cell.barText.isEmpty() ? cell.text : cell.barText, Qt::ElideRight, textRect.width());
        if (!filled.isEmpty()) {
            painter.save();
            painter.setClipRect(filled, Qt::IntersectClip);
            painter.setPen(cell.progressTextColour.isValid()
                               ? cell.progressTextColour
                               : palette().color(QPalette::HighlightedText));
            painter.drawText(textRect, flags, text);
            painter.restore();
        }
        // The filled part starts at the bar's left edge, so the rest is one rectangle.
        const QRect rest = filled.isEmpty() ? textRect : textRect.adjusted(filled.width(), 0, 0, 0);
        painter.save();
        painter.setClipRect(rest, Qt::IntersectClip);
        painter.setPen(TextColour(cell, true));
        painter.drawText(textRect, flags, text);
        painter.restore();
        return;
    }

    textRect.setLeft(textRect.left() + 2);
    const QString text =
        painter.fontMetrics().elidedText(cell.text, Qt::ElideRight, textRect.width());
    FillUnlessNone(painter, label, fill);
    const QColor textBackground = BackgroundColour(cell, cell.ignoreSelection);
    if (textBackground != fill) {
        // Opaque text: the text's own extent shows its background (the selection colour
        // when full-row select is off).
        FillUnlessNone(painter, painter.boundingRect(textRect, flags, text) & textRect,
                       textBackground);
    }
    painter.setPen(TextColour(cell, cell.ignoreSelection));
    painter.drawText(textRect, flags, text);
}

QString CCellListCtrl::CellToolTip(int row, int column) {
    const QRect rect = GetCellRect(row, column);
    if (rect.isEmpty()) {
        return {};
    }
    const CellInfo& cell = GetCellInfo(row, column);
    if (!cell.toolTip.isEmpty()) {
        return cell.toolTip;
    }
    // The room DrawCell gives the text: the bar's inside, or the cell less its left margin.
    const bool framed = cell.progressFrameEdge != CellInfo::EdgeNone;
    const int room =
        cell.progressRange > 0 ? rect.width() - 3 - (framed ? 4 : 0) : rect.width() - 2;
    if (fontMetrics().horizontalAdvance(cell.text) > room) {
        return cell.text;
    }
    return {};
}

bool CCellListCtrl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) {
        // A scroll bar came or went: the header follows the viewport's width.
        UpdateGeometries();
        UpdateScrollBars();
    }
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const Hit hit = SubItemHitTest(help->pos());
        const QString tip = hit.row >= 0 ? CellToolTip(hit.row, hit.column) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport(),
                               GetCellRect(hit.row, hit.column));
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

QColor CCellListCtrl::BackgroundColour(const CellInfo& cell, bool ignoreSelection) const {
    if (ignoreSelection || !cell.selected) {
        return cell.backgroundColour.isValid() ? cell.backgroundColour
                                               : palette().color(QPalette::Base);
    }
    const QColor& chosen =
        hasFocus() ? cell.selectedBackgroundFocused : cell.selectedBackgroundUnfocused;
    if (chosen.isValid()) {
        return chosen;
    }
    if (cell.hot) {
        return palette().color(QPalette::Link);
    }
    return palette().color(hasFocus() ? QPalette::Highlight : QPalette::Button);
}

QColor CCellListCtrl::TextColour(const CellInfo& cell, bool ignoreSelection) const {
    if (!ignoreSelection && cell.selected) {
        if (cell.selectedTextColour.isValid()) {
            return cell.selectedTextColour;
        }
        return palette().color(hasFocus() ? QPalette::HighlightedText : QPalette::Text);
    }
    if (cell.hot) {
        return cell.hotTextColour.isValid() ? cell.hotTextColour : palette().color(QPalette::Link);
    }
    return cell.textColour.isValid() ? cell.textColour : palette().color(QPalette::Text);
}

CCellListCtrl::Hit CCellListCtrl::SubItemHitTest(QPoint viewportPos) const {
    if (viewportPos.y() < 0 || viewportPos.x() < 0) {
        return {};
    }
    const int row = GetTopIndex() + viewportPos.y() / rowHeight;
    const int column = header->logicalIndexAt(viewportPos.x());
    if (row >= itemCount || column < 0) {
        return {};
    }
    return {row, column};
}

void CCellListCtrl::SelectByMouse(const Hit& hit) {
    // A click that hits no selectable part of a row (empty space, or a sub-item without
    // full-row select) clears the highlight but keeps the selection mark.
    if (hit.row >= 0 && (fullRowSelect || hit.column == 0)) {
        SetItemSelected(hit.row);
        selectionMark = hit.row;
    } else {
        SetItemSelected(-1);
    }
}

void CCellListCtrl::MoveSelectionTo(int row) {
    SetItemSelected(row);
    selectionMark = selectedRow;
    EnsureVisible(row, false);
}

void CCellListCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    pressPos = event->position().toPoint();
    pressedInViewport = true;
    SelectByMouse(SubItemHitTest(pressPos));
    event->accept();
}

void CCellListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressedInViewport) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    pressedInViewport = false;
    event->accept();
    if (!viewport()->rect().contains(event->position().toPoint())) {
        return; // released elsewhere: not a click
    }
    const Hit hit = SubItemHitTest(pressPos);
    if (event->button() == Qt::LeftButton) {
        if (hit.row >= 0) {
            ListCellClickEvent click(this, hit.row, hit.column);
            if (QWidget* parent = parentWidget()) {
                QCoreApplication::sendEvent(parent, &click);
            }
        }
        emit Clicked(hit.row, hit.column);
    } else if (event->button() == Qt::RightButton) {
        emit RightClicked(hit.row, hit.column);
    }
}

void CCellListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    // The release that follows a double click is not a click of its own.
    pressedInViewport = false;
    const Hit hit = SubItemHitTest(event->position().toPoint());
    SelectByMouse(hit);
    event->accept();
    if (event->button() == Qt::LeftButton) {
        emit DoubleClicked(hit.row, hit.column);
    } else {
        emit RightDoubleClicked(hit.row, hit.column);
    }
}

void CCellListCtrl::mouseMoveEvent(QMouseEvent* event) {
    // Swallowed: moving the pointer neither selects nor highlights anything.
    event->accept();
}

void CCellListCtrl::keyPressEvent(QKeyEvent* event) {
    const int current = selectionMark;
    const int page = std::max(1, GetCountPerPage() - 1);
    int target = -2;
    switch (event->key()) {
    case Qt::Key_Up:
        target = std::max(current - 1, 0);
        break;
    case Qt::Key_Down:
        target = std::min(current + 1, itemCount - 1);
        break;
    case Qt::Key_PageUp:
        target = std::max(current - page, 0);
        break;
    case Qt::Key_PageDown:
        target = std::min(std::max(current, 0) + page, itemCount - 1);
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = itemCount - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (itemCount > 0) {
        MoveSelectionTo(target);
    }
    event->accept();
}

void CCellListCtrl::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    // Selection colours depend on the focus.
    RedrawItems(selectedRow, selectedRow);
}

void CCellListCtrl::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    RedrawItems(selectedRow, selectedRow);
}

void CCellListCtrl::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateRowHeight();
        UpdateGeometries();
        UpdateScrollBars();
        viewport()->update();
    } else if (event->type() == QEvent::PaletteChange) {
        viewport()->update();
    }
}

bool CCellListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            HeaderRightClicked(mouse->position().toPoint());
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CCellListCtrl::HeaderRightClicked(QPoint headerPos) {
    int column = -1;
    for (int i = 0; i < header->count(); ++i) {
        const int left = header->sectionViewportPosition(i);
        if (headerPos.x() >= left && headerPos.x() < left + header->sectionSize(i) &&
            headerPos.y() >= 0 && headerPos.y() < header->height()) {
            column = i;
            break;
        }
    }
    ListHeaderRClickEvent click(this, column, header->viewport()->mapToGlobal(headerPos));
    if (QWidget* parent = parentWidget()) {
        QCoreApplication::sendEvent(parent, &click);
    }
}

void CCellListCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateGeometries();
    UpdateScrollBars();
}

void CCellListCtrl::scrollContentsBy(int /*dx*/, int /*dy*/) {
    header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void CCellListCtrl::UpdateRowHeight() {
    rowHeight = std::max(1, fontMetrics().height() + 4);
}

void CCellListCtrl::UpdateGeometries() {
    const int height = header->isHidden() ? 0 : header->sizeHint().height();
    setViewportMargins(0, height, 0, 0);
    const QRect area = viewport()->geometry();
    header->setGeometry(area.left(), area.top() - height, area.width(), height);
    const int last = header->count() - 1;
    if (lastColumnFills && last >= 0) {
        const int others = header->length() - header->sectionSize(last);
        const int title = fontMetrics().horizontalAdvance(
                              headerModel->headerData(last, Qt::Horizontal).toString()) +
                          16;
        header->resizeSection(last, std::max(area.width() - others, title));
    }
}

void CCellListCtrl::SetLastColumnFills(bool on) {
    lastColumnFills = on;
    UpdateGeometries();
    UpdateScrollBars();
}

void CCellListCtrl::UpdateScrollBars() {
    const int perPage = GetCountPerPage();
    verticalScrollBar()->setPageStep(std::max(1, perPage));
    verticalScrollBar()->setRange(0, std::max(0, itemCount - perPage));
    const int width = viewport()->width();
    horizontalScrollBar()->setPageStep(std::max(1, width));
    horizontalScrollBar()->setRange(0, std::max(0, header->length() - width));
}
