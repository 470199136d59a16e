// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CFrameDlg.h"

#include "app/CMorvaneDlg.h"
#include "app/KeyRepeatGuard.h"
#include "app/SkinEngine.h"
#include "controls/Resources.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

namespace {
constexpr QSize outerSize(692, 610);
constexpr QSize pageSize(669, 628); // at least; wider when the inside is
} // namespace

CFrameDlg::CFrameDlg(QWidget* parent) : QDialog(parent), page(new CMorvaneDlg(this)) {
    setWindowTitle(QStringLiteral("Morvane"));
    // A normal top-level window, which taskbars list, not a dialog of an invisible owner.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(Resources::LoadIconResource(128));
    setGeometry(0, 0, outerSize.width(), outerSize.height());
    page->setGeometry(QRect(QPoint(2, 2), pageSize));
    FitOuterSize();
    page->show();
    SkinEngine::Instance().Call(SkinEngine::AddWindow, page, SkinEngine::SkinnedWindow);
    KeyRepeatGuard::Install();
}

void CFrameDlg::setVisible(bool visible) {
    // exec() shows the window modal; the main window blocks nothing and owns its boxes.
    if (visible)
        setAttribute(Qt::WA_ShowModal, false);
    QDialog::setVisible(visible);
}

void CFrameDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FitOuterSize();
    if (placed)
        return;
    placed = true;
    move(0, 0);
}

void CFrameDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    FitOuterSize();
}

void CFrameDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitOuterSize();
}

void CFrameDlg::FitOuterSize() {
    // The outer size includes the window manager's frame, which is known only after the
    // window is shown (and may arrive later still): the inside is fixed to what is left, so
    // the user cannot resize the window either.
    // The window's own margins: they are read afresh, where the widget's may be stale.
    const QMargins margins =
        windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    const QSize inside = (outerSize - frame).expandedTo(QSize(1, 1));
    if (inside == fixedInside)
        return;
    const bool frameArrived = fixedInside.isValid() && frame != QSize(0, 0);
    fixedInside = inside;
    setFixedSize(inside);
    // The page reaches the right edge: no strip of bare window beside it.
    page->resize(std::max(pageSize.width(), inside.width() - page->x()), pageSize.height());
    if (frameArrived)
        move(0, 0); // the frame's top-left corner, not the inside's, goes to the corner
}

bool CFrameDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    // On X11 the manager's frame (the _NET_FRAME_EXTENTS property) may come after the window
    // shows, without moving or resizing it: any property change fits the window again, once
    // Qt has read it. (28 is an X PropertyNotify; the top bit marks a sent event.)
    constexpr quint8 propertyNotify = 28;
    if (eventType == "xcb_generic_event_t" && message != nullptr &&
        (*static_cast<const quint8*>(message) & 0x7f) == propertyNotify)
        QTimer::singleShot(0, this, &CFrameDlg::FitOuterSize);
    return QDialog::nativeEvent(eventType, message, result);
}

void CFrameDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        page->OpenCompiledHelp();
        return;
    }
    if (event->key() == Qt::Key_Escape)
        return; // Escape does not close the program
    QDialog::keyPressEvent(event);
}

void CFrameDlg::closeEvent(QCloseEvent* event) {
    // During a batch the user is asked first; the window closes once the answer is to stop.
    if (!page->ConfirmClose()) {
        event->ignore();
        return;
    }
    page->PrepareToClose();
    QDialog::closeEvent(event);
}

void CFrameDlg::done(int result) {
    page->PrepareToClose();
    QDialog::done(result);
}
