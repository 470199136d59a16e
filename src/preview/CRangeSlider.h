// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <utility>

// A horizontal slider with two thumbs that selects a sub-range [left, right] of [min, max].
// The user drags either thumb or the bar between them, or steps one pixel of the bar with the
// arrow keys (with Shift only the right end moves). Page Up and Page Down move the left end
// (with Shift the right end) by KeyPageSeconds; Home takes the left end to the minimum, End the
// right end to the maximum. Every change is reported at once to the parent widget with a
// RangeChangedEvent (preview/RangeChangedEvent.h), sent synchronously. Once the keys have rested
// for KeyRestMs (or the focus leaves), the last key move is reported again as ended, as a drag
// is on its release, so that the parent shows the picture there once rather than on every press.
//
// Geometry: each thumb is 13 pixels wide and the values map onto the bar length
// L = width() - 26; the left thumb is drawn at px(left), the right thumb at px(right) + 13, so
// the two never cover each other, even when left equals right. The widget paints no background
// of its own: the parent's shows through.
class CRangeSlider : public QWidget {
    Q_OBJECT

public:
    static constexpr int ThumbWidth = 13;
    static constexpr int ThumbHeight = 17;
    static constexpr double KeyPageSeconds = 10.0;
    static constexpr int KeyRestMs = 300;

    explicit CRangeSlider(QWidget* parent = nullptr);

    // min := the smaller and max := the larger of a and b, then the selection is clamped into
    // them (which reports each end it moves with lParam 0). A limit that is not a finite number
    // takes the other limit's value (0 when neither is finite).
    void SetLimits(double a, double b);
    // left := newLeft and right := newRight as given (not reordered), then clamped into the
    // limits like SetLimits does. A selection inside the limits is kept even when reversed. An
    // end that is not a number stands for "beyond its own limit", so it is clamped to that limit.
    void SetSelection(double newLeft, double newRight);
    // (left, right).
    std::pair<double, double> GetSelection() const;
    // Moves one end as a key would (clamped between the other end and its limit), reported to
    // the parent as a key move: used when a screen reader sets an end's value.
    void MoveEnd(bool rightEnd, double value);
    // (min, max).
    std::pair<double, double> GetLimits() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum DraggedPart : int { LeftThumb = 0, RightThumb = 1, Bar = 2 };

    int BarLength() const;
    int PixelOf(double value) const;
    // Hit rectangles as x ranges [begin, end) over the full height; they are where the thumbs
    // are painted, computed from the current values and width so that a press right after a
    // setter never hits stale positions.
    int LeftThumbX() const;
    int RightThumbX() const;
    void ClampSelection();
    void SendRangeChanged(int part, bool dragEnded);
    bool MoveEndByKey(int key, Qt::KeyboardModifiers modifiers);
    void KeyMoved(int part);
    void KeysRested();
    void EnsureArtwork();

    double minValue = 0.0;
    double maxValue = 1.0;
    double left = 0.0;
    double right = 1.0;
    bool tracking = false;
    int draggedPart = LeftThumb;
    int grabOffset = 0;
    bool focusMark = false; // the focus came from the keyboard
    QTimer* restTimer;      // runs from a key move until the keys rest
    int restPart = 0;       // what the last key move moved

    // Bitmaps 212 (track), 213 (left thumb), 214 (right thumb), 215 (selected stretch),
    // rendered for artworkRatio; a null pixmap (missing artwork) simply draws nothing.
    std::array<QPixmap, 4> artwork;
    qreal artworkRatio = 0.0;
};
