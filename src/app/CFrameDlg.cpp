// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CFrameDlg.h"

#include "app/CMorvaneDlg.h"
#include "app/SkinEngine.h"
#include "controls/Resources.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace {
constexpr QSize outerSize(692, 610);
} // namespace

CFrameDlg::CFrameDlg(QWidget* parent) : QDialog(parent), page(new CMorvaneDlg(this)) {
    setWindowTitle(QStringLiteral("Morvane"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(Resources::LoadIconResource(128));
    setGeometry(0, 0, outerSize.width(), outerSize.height());
    FitOuterSize();
    page->setGeometry(2, 2, 669, 628);
    page->show();
    SkinEngine::Instance().Call(SkinEngine::AddWindow, page, SkinEngine::SkinnedWindow);
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
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize inside = (outerSize - frame).expandedTo(QSize(1, 1));
    if (inside == fixedInside)
        return;
    const bool frameArrived = fixedInside.isValid() && frame != QSize(0, 0);
    fixedInside = inside;
    setFixedSize(inside);
    if (frameArrived)
        move(0, 0); // the frame's top-left corner, not the inside's, goes to the corner
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
    page->PrepareToClose();
    QDialog::closeEvent(event);
}

void CFrameDlg::done(int result) {
    page->PrepareToClose();
    QDialog::done(result);
}
