// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CRangeSlider.h"

#include "controls/FocusMark.h"

#include "preview/RangeChangedEvent.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <limits>

// Outside any namespace: Q_INIT_RESOURCE must name the global registration function.
static void InitSliderResources() {
    // The artwork lives in a static library; naming its registration function makes the linker
    // keep it.
    Q_INIT_RESOURCE(slider);
}

namespace {

constexpr int T = CRangeSlider::ThumbWidth;
// Whole pixels on purpose: a thumb's grab point is its centre column.
constexpr int HalfThumb = T / 2;         // 6
constexpr int ThumbAndAHalf = 3 * T / 2; // 19

enum ArtworkSlot { Track = 0, LeftThumbArt = 1, RightThumbArt = 2, Stretch = 3 };

struct BitmapInfo {
    int id;
    QSize size;
};

constexpr std::array<BitmapInfo, 4> BitmapTable{{
    {212, {6, 11}},
    {213, {CRangeSlider::ThumbWidth, CRangeSlider::ThumbHeight}},
    {214, {CRangeSlider::ThumbWidth, CRangeSlider::ThumbHeight}},
    {215, {3, 7}},
}};

// Renders bitmap resource `id` at its fixed size in device pixels for `ratio`, so that it stays
// sharp on high-density screens. A missing or broken file gives a null pixmap.
QPixmap RenderBitmap(int id, QSize size, qreal ratio) {
    QSvgRenderer renderer(QStringLiteral(":/res/bitmap/%1.svg").arg(id));
    if (!renderer.isValid())
        return {};
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

// double -> int for pixel arithmetic, kept far from the int limits for any input.
int ToPixel(double value) {
    constexpr double bound = 1 << 24;
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::trunc(std::clamp(value, -bound, bound)));
}

} // namespace

CRangeSlider::CRangeSlider(QWidget* parent) : QWidget(parent), restTimer(new QTimer(this)) {
    static const bool resourcesReady = (InitSliderResources(), true);
    Q_UNUSED(resourcesReady);
    // Tab reaches it; a left press takes the focus itself (other buttons do not).
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    restTimer->setSingleShot(true);
    restTimer->setInterval(KeyRestMs);
    connect(restTimer, &QTimer::timeout, this, &CRangeSlider::KeysRested);
}

void CRangeSlider::SetLimits(double a, double b) {
    if (!std::isfinite(a) && !std::isfinite(b))
        a = b = 0.0;
    else if (!std::isfinite(a))
        a = b;
    else if (!std::isfinite(b))
        b = a;
    minValue = std::min(a, b);
    maxValue = std::max(a, b);
    ClampSelection();
    update();
}

void CRangeSlider::SetSelection(double newLeft, double newRight) {
    left = std::isnan(newLeft) ? -std::numeric_limits<double>::infinity() : newLeft;
    right = std::isnan(newRight) ? std::numeric_limits<double>::infinity() : newRight;
    ClampSelection();
    update();
}

std::pair<double, double> CRangeSlider::GetSelection() const {
    return {left, right};
}

std::pair<double, double> CRangeSlider::GetLimits() const {
    return {minValue, maxValue};
}

QSize CRangeSlider::sizeHint() const {
    return {224, 20};
}

QSize CRangeSlider::minimumSizeHint() const {
    return {2 * T + 2, ThumbHeight};
}

int CRangeSlider::BarLength() const {
    return width() - 2 * T;
}

int CRangeSlider::PixelOf(double value) const {
    // With min equal to max every value sits at the start of the bar.
    if (!(maxValue > minValue))
        return 0;
    return ToPixel((value - minValue) / (maxValue - minValue) * BarLength() + 0.5);
}

int CRangeSlider::LeftThumbX() const {
    return PixelOf(left);
}

int CRangeSlider::RightThumbX() const {
    return PixelOf(right) + T;
}

// Runs at the end of both setters. The order matters to the parent: it sees each end move
// separately, the one out of its limit first.
void CRangeSlider::ClampSelection() {
    if (left < minValue) {
        left = minValue;
        SendRangeChanged(RangeChangedEvent::LeftEnd, false);
        if (right < left) {
            right = left;
            SendRangeChanged(RangeChangedEvent::RightEnd, false);
        }
    }
    if (right > maxValue) {
        right = maxValue;
        SendRangeChanged(RangeChangedEvent::RightEnd, false);
        if (left > right) {
            left = right;
            SendRangeChanged(RangeChangedEvent::LeftEnd, false);
        }
    }
}

void CRangeSlider::SendRangeChanged(int part, bool dragEnded) {
    QWidget* parent = parentWidget();
    if (parent == nullptr)
        return;
    RangeChangedEvent event(part, dragEnded);
    QCoreApplication::sendEvent(parent, &event);
}

void CRangeSlider::EnsureArtwork() {
    const qreal ratio = devicePixelRatioF();
    if (ratio == artworkRatio)
        return;
    for (size_t i = 0; i < artwork.size(); ++i)
        artwork[i] = RenderBitmap(BitmapTable[i].id, BitmapTable[i].size, ratio);
    artworkRatio = ratio;
}

void CRangeSlider::paintEvent(QPaintEvent* /*event*/) {
    EnsureArtwork();
    QPainter painter(this);
    const int w = width();

    // The track is stretched over the whole width; its two outer columns on each side are
    // drawn as they are so that its rounded ends keep their shape.
    const QPixmap& track = artwork[Track];
    if (!track.isNull()) {
        const qreal r = track.devicePixelRatio();
        const int cap = 2;
        const int trackW = BitmapTable[Track].size.width();
        const int trackH = BitmapTable[Track].size.height();
        auto source = [r, trackH](int x, int width) {
            return QRectF(x * r, 0, width * r, trackH * r);
        };
        painter.drawPixmap(QRectF(0, 3, cap, trackH), track, source(0, cap));
        painter.drawPixmap(QRectF(cap, 3, w - 2 * cap, trackH), track,
                           source(cap, trackW - 2 * cap));
        painter.drawPixmap(QRectF(w - cap, 3, cap, trackH), track, source(trackW - cap, cap));
    }

    const int lp = PixelOf(left);
    const int rp = PixelOf(right);
    painter.drawPixmap(lp, 0, artwork[LeftThumbArt]);
    painter.drawPixmap(rp + T, 0, artwork[RightThumbArt]);
    // Drawn last, over the inner column of each thumb, so that the selection runs into both.
    const int stretchWidth = rp - lp + 2;
    if (stretchWidth > 0 && !artwork[Stretch].isNull())
        painter.drawPixmap(QRect(lp + T - 1, 5, stretchWidth, 7), artwork[Stretch]);
    if (focusMark && hasFocus())
        DrawFocusMark(painter, rect());
}

void CRangeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    setFocus(Qt::MouseFocusReason);
    focusMark = false;
    restTimer->stop(); // a drag reports its own end
    update();
    if (tracking)
        return;

    const QPoint pos = event->position().toPoint();
    const int x = pos.x();
    const int y = pos.y();
    const int h = height();
    // [begin, end) x ranges, full height; the bar excludes a one-pixel gap beside each thumb.
    const int leftBegin = LeftThumbX();
    const int leftEnd = leftBegin + T;
    const int rightBegin = RightThumbX();
    const int rightEnd = rightBegin + T;
    const int barBegin = leftEnd + 1;
    const int barEnd = rightBegin - 1;
    auto inside = [x, y, h](int begin, int end) {
        return x >= begin && x < end && y >= 0 && y < h;
    };

    int hitBegin = 0;
    int hitEnd = 0;
    if (inside(leftBegin, leftEnd)) {
        draggedPart = LeftThumb;
        hitBegin = leftBegin;
        hitEnd = leftEnd;
    } else if (inside(rightBegin, rightEnd)) {
        draggedPart = RightThumb;
        hitBegin = rightBegin;
        hitEnd = rightEnd;
    } else if (inside(barBegin, barEnd)) {
        draggedPart = Bar;
        hitBegin = barBegin;
        hitEnd = barEnd;
    } else {
        return;
    }
    tracking = true;
    grabOffset = x - (hitBegin + hitEnd) / 2;
}

// Qt delivers the second press of a double click as a press followed by this event. The
// second press must start no drag, so the drag it began is dropped before any move reaches it
// (a press reports nothing, so nothing has to be taken back).
void CRangeSlider::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    tracking = false;
}

void CRangeSlider::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!tracking)
        return;

    const int bar = BarLength();
    const double p = event->position().toPoint().x() - grabOffset;
    const double span = maxValue - minValue;
    // A slider narrower than its two thumbs has no bar to map onto: the values stay.
    const bool mappable = bar > 0;

    int part = RangeChangedEvent::LeftEnd;
    switch (draggedPart) {
    case LeftThumb:
        if (mappable) {
            left = minValue + ((p - HalfThumb) / bar) * span;
            if (left >= right)
                left = right;
            if (left <= minValue)
                left = minValue;
        }
        part = RangeChangedEvent::LeftEnd;
        break;
    case RightThumb: {
        const double oldRight = right;
        if (mappable) {
            right = minValue + ((p - ThumbAndAHalf) / bar) * span;
            if (right <= left)
                right = left;
            if (right >= maxValue)
                right = maxValue;
        }
        // The right thumb reports "left end" when it did not move.
        part = right != oldRight ? RangeChangedEvent::RightEnd : RangeChangedEvent::LeftEnd;
        break;
    }
    default: {
        if (mappable) {
            const double width = right - left;
            const double centre = ((p - T) / bar) * span;
            left = minValue + centre - width * 0.5;
            right = minValue + centre + width * 0.5;
            if (left <= minValue) {
                left = minValue;
                right = minValue + width;
            }
            if (right >= maxValue) {
                right = maxValue;
                left = maxValue - width;
            }
        }
        part = RangeChangedEvent::BothEnds;
        break;
    }
    }
    // Reported on every move of a drag, changed or not.
    SendRangeChanged(part, false);
    update();
}

void CRangeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (!tracking)
        return;
    tracking = false;
    SendRangeChanged(draggedPart, true);
    update();
}

bool CRangeSlider::MoveEndByKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool rightEnd =
        key == Qt::Key_End || (key != Qt::Key_Home && (modifiers & Qt::ShiftModifier));
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const double step = key == Qt::Key_PageUp ? KeyPageSeconds : -KeyPageSeconds;
        if (rightEnd)
            right = std::clamp(right + step, std::min(left, maxValue), maxValue);
        else
            left = std::clamp(left + step, minValue, std::max(right, minValue));
        break;
    }
    case Qt::Key_Home:
        left = minValue;
        break;
    case Qt::Key_End:
        right = maxValue;
        break;
    default:
        return false;
    }
    KeyMoved(rightEnd ? RangeChangedEvent::RightEnd : RangeChangedEvent::LeftEnd);
    return true;
}

void CRangeSlider::MoveEnd(bool rightEnd, double value) {
    if (std::isnan(value))
        return;
    if (rightEnd)
        right = std::clamp(value, std::min(left, maxValue), maxValue);
    else
        left = std::clamp(value, minValue, std::max(right, minValue));
    KeyMoved(rightEnd ? RangeChangedEvent::RightEnd : RangeChangedEvent::LeftEnd);
}

void CRangeSlider::KeyMoved(int part) {
    // Two ends moved in one rest count as both.
    restPart = restTimer->isActive() && restPart != part ? int(RangeChangedEvent::BothEnds) : part;
    restTimer->start();
    SendRangeChanged(part, false);
    update();
}

void CRangeSlider::KeysRested() {
    restTimer->stop();
    SendRangeChanged(restPart, true);
}

void CRangeSlider::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!(modifiers & Qt::ControlModifier) && MoveEndByKey(key, modifiers)) {
        event->accept();
        return;
    }
    if ((key != Qt::Key_Right && key != Qt::Key_Left) || (modifiers & Qt::ControlModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();

    // One step is one pixel of the bar.
    const int bar = BarLength();
    if (bar <= 0)
        return;
    const double d = (maxValue - minValue) / bar;
    if (d == 0.0)
        return;
    int lp = ToPixel((left - minValue) * (1.0 / d) + 0.5);
    int rp = ToPixel((right - minValue) * (1.0 / d) + 0.5);
    const int step = key == Qt::Key_Right ? 1 : -1;
    const bool onlyRight = modifiers & Qt::ShiftModifier;
    rp += step;
    if (!onlyRight)
        lp += step;
    // The ends that move snap to the pixel grid; one that does not move keeps its value (a
    // typed begin stays as typed while Shift moves the end).
    if (lp >= 0 && rp <= bar && rp >= lp) {
        if (!onlyRight)
            left = minValue + lp * d;
        right = std::max(minValue + rp * d, left);
    }
    KeyMoved(onlyRight ? RangeChangedEvent::RightEnd : RangeChangedEvent::BothEnds);
}

void CRangeSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    focusMark = IsKeyboardFocusReason(event->reason());
    update();
}

void CRangeSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (restTimer->isActive())
        KeysRested(); // leaving ends the key move at once
    update();
}
