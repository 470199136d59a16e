// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPainter>
#include <QPen>
#include <QRect>

// The keyboard focus mark of the self-drawn controls: a dotted rectangle, black dots on a white
// line, so that it shows on light and dark pictures alike.
inline void DrawFocusMark(QPainter& painter, const QRect& rect) {
    const QRect mark = rect.adjusted(0, 0, -1, -1);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(mark);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(mark);
    painter.restore();
}

// Whether a focus change came from the keyboard: the mark shows only then, so a mouse user sees
// the controls as before.
inline bool IsKeyboardFocusReason(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}
