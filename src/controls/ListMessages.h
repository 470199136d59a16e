// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The messages a CCellListCtrl sends to its parent widget. Each is a QEvent whose type is the
// message number, delivered synchronously with QCoreApplication::sendEvent to parentWidget();
// the parent's answer (accepted or not, the return value) is ignored. A parent handles them in
// customEvent() (or event()):
//
//     void Page::customEvent(QEvent* event) {
//         if (event->type() == ListGetCellInfoEvent::EventType) {
//             CellInfo& cell = static_cast<ListGetCellInfoEvent*>(event)->Info();
//             cell.text = ...; // fill what the cell shows; row and column are already set
//         }
//     }

#include "controls/CellInfo.h"

#include <QEvent>
#include <QPoint>

class CCellListCtrl;

enum ListMessage : int {
    WM_LIST_GETCELLINFO = 3003,
    WM_LIST_CELLCLICK = 3005,
    WM_LIST_HEADERRCLICK = 3006,
};

// The list needs a cell's text and drawing attributes. The record is the list's own, already
// reset to its defaults and carrying row, column, selected and hot; the parent fills the rest.
// It is valid only while the event is being handled.
class ListGetCellInfoEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(WM_LIST_GETCELLINFO);

    ListGetCellInfoEvent(CCellListCtrl* list, CellInfo* info)
        : QEvent(EventType), list(list), info(info) {}
    [[nodiscard]] CCellListCtrl* List() const { return list; }
    [[nodiscard]] CellInfo& Info() const { return *info; }

private:
    CCellListCtrl* list;
    CellInfo* info;
};

// A left click hit a cell (sent before the list's Clicked signal).
class ListCellClickEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(WM_LIST_CELLCLICK);

    ListCellClickEvent(CCellListCtrl* list, int row, int column)
        : QEvent(EventType), list(list), row(row), column(column) {}
    [[nodiscard]] CCellListCtrl* List() const { return list; }
    [[nodiscard]] int Row() const { return row; }
    [[nodiscard]] int Column() const { return column; }

private:
    CCellListCtrl* list;
    int row;
    int column;
};

// A right click on the header. Column is -1 when the pointer was over no column.
class ListHeaderRClickEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(WM_LIST_HEADERRCLICK);

    ListHeaderRClickEvent(CCellListCtrl* list, int column, QPoint globalPos)
        : QEvent(EventType), list(list), column(column), globalPos(globalPos) {}
    [[nodiscard]] CCellListCtrl* List() const { return list; }
    [[nodiscard]] int Column() const { return column; }
    // The pointer position in screen coordinates.
    [[nodiscard]] QPoint GlobalPos() const { return globalPos; }

private:
    CCellListCtrl* list;
    int column;
    QPoint globalPos;
};
