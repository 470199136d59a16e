// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPlainTextEdit;

// "Show log": this run's log entries in a plain window of their own, beside the page (not
// modal). The text can be selected and copied, not changed; new entries appear as they come.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogWindow(QWidget* parent = nullptr);

    QString Text() const;

private:
    void Append(const QString& entry);

    QPlainTextEdit* view = nullptr;
};
