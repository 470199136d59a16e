#include "app/CFrameDlg.h"

CFrameDlg::CFrameDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Morvane"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // Top-left corner of the screen, 692 x 610 outside.
    setGeometry(0, 0, 692, 610);
}
