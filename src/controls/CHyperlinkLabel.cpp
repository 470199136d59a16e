// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CHyperlinkLabel.h"

#include "controls/FocusMark.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QUrl>

namespace {

constexpr int hoverPollMs = 100;

} // namespace

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    // A static text sits at its top-left corner unless told otherwise.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    if (address.isEmpty())
        address = this->text();
    if (this->text().isEmpty())
        setText(address);
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(address);
    setFocusPolicy(Qt::TabFocus); // reachable from the keyboard; a click opens, never focuses
}

CHyperlinkLabel::~CHyperlinkLabel() {
    hoverTimer.stop();
}

void CHyperlinkLabel::SetLink(const QString& link) {
    address = link;
    FitToText();
    setToolTip(address);
}

void CHyperlinkLabel::MarkVisited(bool flag) {
    visited = flag;
    update();
}

void CHyperlinkLabel::SetUnderlineMode(int mode) {
    if (mode == underlineMode)
        return;
    SetUnderlined(mode == 1);
    underlineMode = mode;
}

void CHyperlinkLabel::SetUnderlined(bool on) {
    underlined = on;
    update();
}

QColor CHyperlinkLabel::CurrentColor() const {
    if (over)
        return hoverColor;
    return visited ? visitedColor : linkColor;
}

void CHyperlinkLabel::FitToText() {
    if (!autoSize)
        return;
    QFont underlineFont = font();
    underlineFont.setUnderline(true);
    const QFontMetrics metrics(underlineFont);
    const QRect client = contentsRect();
    const int neededWidth = metrics.horizontalAdvance(text()) + (width() - client.width());
    const int neededHeight = metrics.height() + (height() - client.height());

    // Edges as left/top inclusive, right/bottom exclusive, in the parent's coordinates.
    int left = x();
    int top = y();
    int right = x() + width();
    int bottom = y() + height();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int shrink = (height() - neededHeight) / 2;
        top += shrink;
        bottom -= shrink;
    } else {
        bottom = top + neededHeight;
    }
    if (align & Qt::AlignHCenter) {
        const int shrink = (width() - neededWidth) / 2;
        left += shrink;
        right -= shrink;
    } else if (align & Qt::AlignRight) {
        left = right - neededWidth;
    } else {
        right = left + neededWidth;
    }
    setGeometry(left, top, right - left, bottom - top);
}

void CHyperlinkLabel::paintEvent(QPaintEvent* /*event*/) {
    // Drawn here rather than by QLabel so that a style sheet cannot override the link colours,
    // and so the underline follows the hover state without touching the widget's font.
    QPainter painter(this);
    drawFrame(&painter);
    QFont textFont = font();
    textFont.setUnderline(underlined);
    painter.setFont(textFont);
    painter.setPen(CurrentColor());
    painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
    if (hasFocus())
        DrawFocusMark(painter, rect()); // only Tab gives a link the focus
}

void CHyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!over) {
        over = true;
        if (underlineMode == -1)
            SetUnderlined(true);
        update();
        // Leaving is noticed by polling, so that it also works while another window has the
        // pointer grabbed.
        hoverTimer.start(hoverPollMs, this);
    }
    QLabel::mouseMoveEvent(event);
}

void CHyperlinkLabel::timerEvent(QTimerEvent* event) {
    // Every tick of any of the label's timers checks where the pointer is now.
    const QPoint local = mapFromGlobal(QCursor::pos());
    if (!rect().contains(local)) {
        over = false;
        hoverTimer.stop();
        if (underlineMode != 1)
            SetUnderlined(false);
        update();
    }
    QLabel::timerEvent(event);
}

void CHyperlinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    over = false;
    Activate();
}

void CHyperlinkLabel::Activate() {
    const bool opened = OpenLink(address);
    visited = opened;
    if (opened) {
        MarkVisited(true);
    } else {
        QApplication::beep();
        ShowOpenError();
    }
    emit LinkOpened(opened);
}

void CHyperlinkLabel::keyPressEvent(QKeyEvent* event) {
    // From the keyboard, Return or Space opens the link as a click does.
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) &&
        event->modifiers() == Qt::NoModifier) {
        event->accept();
        Activate();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperlinkLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void CHyperlinkLabel::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

bool CHyperlinkLabel::DesktopOpen(const QString& link) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(link));
}

bool CHyperlinkLabel::OpenLink(const QString& link) {
    return DesktopOpen(link);
}

QString CHyperlinkLabel::OpenErrorText(const QString& link) {
    return tr("Unable to open hyperlink: no program on this computer opens web "
              "addresses.\n\nInstall a web browser and xdg-utils (which provides "
              "xdg-open), or open the address in a web browser by hand:\n\n") +
           link;
}

void CHyperlinkLabel::ShowOpenError() {
    QMessageBox::warning(window(), QApplication::applicationName(), OpenErrorText(address));
}
