// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class CMorvaneDlg;

// The outer window: title, icon and outer size. It hosts the main page, opens the help on F1
// and, when the user agrees, stops a running conversion when it is closed. A normal top-level
// window (exec() runs it, but it is not modal).
class CFrameDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFrameDlg(QWidget* parent = nullptr);

    CMorvaneDlg& Page() { return *page; }
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void FitOuterSize();

    CMorvaneDlg* page;
    bool placed = false;
    QSize fixedInside; // invalid until first fixed
};
