#pragma once

#include <QDialog>

// The outer window: title, icon and outer size; it hosts the main page.
class CFrameDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFrameDlg(QWidget* parent = nullptr);
};
