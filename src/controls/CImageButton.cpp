// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CImageButton.h"

#include "controls/FocusMark.h"
#include "controls/Resources.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

CImageButton::CImageButton(QWidget* parent) : QPushButton(parent) {
    Init();
}

CImageButton::CImageButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    Init();
}

void CImageButton::Init() {
    setFlat(true);
    // Hover follows every pointer move, not only moves with a button held.
    setMouseTracking(true);
    ResetStateColors(false);
    // Reached by Tab only: a click leaves the focus where it is, so a key pressed after a
    // click never presses this button again unseen.
    setFocusPolicy(Qt::TabFocus);
}

void CImageButton::FreePictures() {
    hoverPicture = QPixmap();
    normalPicture = QPixmap();
    hasIcons = false;
    hasBitmaps = false;
}

void CImageButton::Repaint(bool repaint) {
    if (repaint)
        update();
}

int CImageButton::LoadIconPair(int hoverIconId, int normalIconId, bool systemSize) {
    FreePictures();
    QPixmap hover = Resources::LoadIconPixmap(hoverIconId);
    if (hover.isNull())
        return PictureNotLoaded;
    if (systemSize) {
        const int side = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
        hover = hover.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QPixmap normal;
    if (normalIconId != 0) {
        normal = Resources::LoadIconPixmap(normalIconId);
        if (normal.isNull())
            return PictureNotLoaded;
    }
    hoverPicture = hover;
    normalPicture = normal;
    hasIcons = true;
    Repaint(true);
    return Ok;
}

int CImageButton::LoadBitmapPair(int hoverBitmapId, const QColor& hoverTransparent,
                                 int normalBitmapId, const QColor& normalTransparent) {
    FreePictures();
    auto load = [](int id, const QColor& key, QPixmap& out) {
        const QPixmap raw = Resources::LoadBitmapResource(id);
        if (raw.isNull())
            return PictureNotLoaded;
        const QImage keyed = Resources::ApplyColorKey(raw.toImage(), key);
        if (keyed.isNull())
            return MaskNotCreated;
        out = QPixmap::fromImage(keyed);
        return Ok;
    };
    QPixmap hover;
    QPixmap normal;
    int status = load(hoverBitmapId, hoverTransparent, hover);
    if (status == Ok && normalBitmapId != 0)
        status = load(normalBitmapId, normalTransparent, normal);
    if (status != Ok)
        return status;
    hoverPicture = hover;
    normalPicture = normal;
    hasBitmaps = true;
    Repaint(true);
    return Ok;
}

int CImageButton::SetImageLayout(int newLayout, bool repaint) {
    if (newLayout < 0 || newLayout > 3)
        return BadLayout;
    layout = newLayout;
    Repaint(repaint);
    return Ok;
}

int CImageButton::SetPressOffsetStyle(int style, bool repaint) {
    if (style == 0) {
        pressOffsetX = 1;
        pressOffsetY = 1;
    } else if (style == 1) {
        pressOffsetX = 0;
        pressOffsetY = 2;
    } else {
        return BadPressStyle;
    }
    Repaint(repaint);
    return Ok;
}

int CImageButton::SetStateColor(int slot, const QColor& color, bool repaint) {
    if (slot < 0 || slot > 5)
        return BadColorSlot;
    colors[static_cast<size_t>(slot)] = color;
    Repaint(repaint);
    return Ok;
}

QColor CImageButton::StateColor(int slot) const {
    if (slot < 0 || slot > 5)
        return {};
    return colors[static_cast<size_t>(slot)];
}

int CImageButton::ResetStateColors(bool repaint) {
    const QPalette system = QApplication::palette(this);
    const QColor face = system.color(QPalette::Button);
    const QColor text = system.color(QPalette::ButtonText);
    colors = {face, text, face, text, face, text};
    Repaint(repaint);
    return Ok;
}

int CImageButton::SetHoverBorder(bool on, bool repaint) {
    hoverBorder = on;
    Repaint(repaint);
    return Ok;
}

int CImageButton::UseParentBackground(bool repaint) {
    parentBackground = true;
    // The parent's own painting shows through an unfilled child; nothing needs copying.
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAutoFillBackground(false);
    Repaint(repaint);
    return Ok;
}

int CImageButton::SetTip(const QString& text, bool activate) {
    if (text.isNull())
        return Ok;
    tipText = text;
    tipActive = activate;
    setToolTip(tipActive ? tipText : QString());
    return Ok;
}

const QPixmap& CImageButton::CurrentPicture(bool pressed) const {
    if (hovered || pressed || normalPicture.isNull())
        return hoverPicture;
    return normalPicture;
}

QRect CImageButton::PictureRect(const QSize& size, bool hasCaption, const QRect& item,
                                QRect& caption, bool pressed) const {
    const int w = size.width();
    const int h = size.height();
    const int centredTop = item.top() + (item.height() - h) / 2;
    const int centredLeft = item.left() + (item.width() - w) / 2;
    QPoint at;
    switch (layout) {
    case 0:
        if (hasCaption) {
            at = QPoint(item.left() + marginX, centredTop);
            caption.setLeft(caption.left() + w + marginX);
        } else {
            at = QPoint(centredLeft, centredTop);
        }
        break;
    case 1:
        if (hasCaption) {
            at = QPoint(centredLeft, marginY);
            caption.setTop(caption.top() + h);
        } else {
            at = QPoint(centredLeft, centredTop);
        }
        break;
    case 2:
        if (hasCaption) {
            at = QPoint(width() - marginX - w, centredTop);
            const int oldLeft = caption.left();
            caption.setLeft(marginX);
            // Right edges here are exclusive, as the caption arithmetic expects.
            const int right = caption.left() + caption.width();
            const int newRight = right - oldLeft - marginX - w;
            caption.setWidth(newRight - caption.left());
        } else {
            at = QPoint(centredLeft, item.top());
        }
        break;
    default:
        at = item.topLeft();
        break;
    }
    if (pressed)
        at += QPoint(pressOffsetX, pressOffsetY);
    return QRect(at, size);
}

void CImageButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect item = rect();
    const bool pressed = isDown();
    const bool disabled = !isEnabled();

    if (!parentBackground)
        DrawBackground(painter, item);
    DrawBorder(painter, item);

    const QString text = this->text();
    QRect caption = item;
    if (hasIcons)
        DrawIcon(painter, !text.isEmpty(), item, caption, pressed, disabled);
    else if (hasBitmaps)
        DrawBitmap(painter, !text.isEmpty(), item, caption, pressed, disabled);
    if (!text.isEmpty())
        DrawCaption(painter, item, caption, pressed, disabled);
    if (focusMark && hasFocus())
        DrawFocusMark(painter, item);
}

void CImageButton::DrawBackground(QPainter& painter, const QRect& item) {
    QColor fill = colors[BackgroundNormal];
    if (hovered || isDown())
        fill = colors[BackgroundHover];
    else if (hasFocus())
        fill = colors[BackgroundFocus];
    painter.fillRect(item, fill);
}

void CImageButton::DrawBorder(QPainter& painter, const QRect& item) {
    if (!hoverBorder || !(isDown() || hovered))
        return;
    const QPalette& colours = palette();
    const QColor light = colours.color(QPalette::Light);
    const QColor shadow = colours.color(QPalette::Dark);
    // Sunken while pressed, raised while hovered.
    const QColor topLeft = isDown() ? shadow : light;
    const QColor bottomRight = isDown() ? light : shadow;
    const int right = item.left() + item.width() - 1;
    const int bottom = item.top() + item.height() - 1;
    painter.fillRect(item.left(), item.top(), item.width() - 1, 1, topLeft);
    painter.fillRect(item.left(), item.top(), 1, item.height() - 1, topLeft);
    painter.fillRect(right, item.top(), 1, item.height(), bottomRight);
    painter.fillRect(item.left(), bottom, item.width(), 1, bottomRight);
}

void CImageButton::DrawIcon(QPainter& painter, bool hasCaption, const QRect& item, QRect& caption,
                            bool pressed, bool disabled) {
    const QPixmap& picture = CurrentPicture(pressed);
    if (picture.isNull())
        return;
    const QRect target =
        PictureRect(picture.deviceIndependentSize().toSize(), hasCaption, item, caption, pressed);
    if (disabled) {
        QStyleOption option;
        option.initFrom(this);
        painter.drawPixmap(target.topLeft(),
                           style()->generatedIconPixmap(QIcon::Disabled, picture, &option));
    } else {
        painter.drawPixmap(target.topLeft(), picture);
    }
}

void CImageButton::DrawBitmap(QPainter& painter, bool hasCaption, const QRect& item, QRect& caption,
                              bool pressed, bool disabled) {
    const QPixmap& picture = CurrentPicture(pressed);
    if (picture.isNull())
        return;
    const QRect target =
        PictureRect(picture.deviceIndependentSize().toSize(), hasCaption, item, caption, pressed);
    if (disabled && grayDisabledBitmap) {
        QStyleOption option;
        option.initFrom(this);
        painter.drawPixmap(target.topLeft(),
                           style()->generatedIconPixmap(QIcon::Disabled, picture, &option));
    } else {
        painter.drawPixmap(target.topLeft(), picture);
    }
}

void CImageButton::DrawCaption(QPainter& painter, const QRect& /*item*/, QRect& caption,
                               bool pressed, bool disabled) {
    if (pressed)
        caption.translate(pressOffsetX, pressOffsetY);
    const QString text = this->text();
    const int flags = Qt::TextWordWrap | Qt::AlignHCenter;
    // Measure as a word-wrapped block as wide as the caption area, then centre that block in it.
    const QRect measured = painter.fontMetrics().boundingRect(
        QRect(0, 0, qMax(caption.width(), 1), 0x7FFF), flags, text);
    QRect block(caption.left(), caption.top(), measured.width(), measured.height());
    block.translate((caption.width() - block.width()) / 2, (caption.height() - block.height()) / 2);
    if (disabled) {
        block.translate(1, 1);
        painter.setPen(palette().color(QPalette::Light));
    } else if (hovered || pressed) {
        painter.setPen(colors[CaptionHover]);
    } else if (hasFocus()) {
        painter.setPen(colors[CaptionFocus]);
    } else {
        painter.setPen(colors[CaptionNormal]);
    }
    painter.drawText(block, flags, text);
}

void CImageButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    const bool underPointer = rect().contains(event->position().toPoint());
    // A drag that started elsewhere does not light the button.
    if ((event->buttons() & Qt::LeftButton) && !hovered)
        return;
    const QWidget* reference = trackWhenInactive ? this : QApplication::activeWindow();
    if (underPointer && reference) {
        if (hovered)
            return;
        hovered = true;
        update();
    } else {
        LeaveHover();
    }
}

void CImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a quick double click is a click of its own.
    mousePressEvent(event);
}

void CImageButton::LeaveHover() {
    if (!hovered)
        return;
    hovered = false;
    update();
}

void CImageButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    LeaveHover();
}

void CImageButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    // Coming back with its window (or from a menu) the button keeps the mark it had.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        focusMark = IsKeyboardFocusReason(reason);
    update();
}

void CImageButton::keyPressEvent(QKeyEvent* event) {
    focusMark = true;
    update();
    // A held key presses once: its repeats press nothing.
    const int key = event->key();
    if (event->isAutoRepeat() && (key == Qt::Key_Return || key == Qt::Key_Enter ||
                                  key == Qt::Key_Space || key == Qt::Key_Select)) {
        event->accept();
        return;
    }
    // Return presses the focused button like Space does (the page has no default button).
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void CImageButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    LeaveHover();
}

void CImageButton::hideEvent(QHideEvent* event) {
    QPushButton::hideEvent(event);
    LeaveHover();
}

void CImageButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        LeaveHover();
}

bool CImageButton::event(QEvent* event) {
    const bool handled = QPushButton::event(event);
    switch (event->type()) {
    case QEvent::WindowDeactivate:
        LeaveHover();
        break;
    case QEvent::ApplicationPaletteChange:
        // The system's colours changed: every state colour follows them again.
        ResetStateColors(true);
        break;
    default:
        break;
    }
    return handled;
}

bool CImageButton::focusNextPrevChild(bool next) {
    if (isEnabled() || !parentWidget())
        return QPushButton::focusNextPrevChild(next);
    // Being disabled while focused: the focus goes to the next tab stop among the parent's
    // controls, or to the parent itself when there is none.
    QWidget* parent = parentWidget();
    for (QWidget* candidate = nextInFocusChain(); candidate && candidate != this;
         candidate = candidate->nextInFocusChain()) {
        if (candidate != parent && parent->isAncestorOf(candidate) && candidate->isEnabled() &&
            candidate->isVisibleTo(parent) && (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    parent->setFocus(Qt::OtherFocusReason);
    return true;
}
