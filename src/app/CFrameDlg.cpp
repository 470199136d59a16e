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
    page->setGeometry(2, 2, 669, 628);
    page->show();
    SkinEngine::Instance().Call(SkinEngine::AddWindow, page, 0);
}

void CFrameDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placed)
        return;
    placed = true;
    // The outer size includes the window manager's frame, known only once shown.
    const QSize frame = frameGeometry().size() - size();
    resize(outerSize - frame);
    move(0, 0);
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
