// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include <functional>

// Reads a time the user typed: "hh:mm:ss", "mm:ss" or seconds alone, the last field with an
// optional fraction ("1:05.5", "65.5"). False for anything else, including negative times.
bool ParseTimeText(const QString& text, double* seconds);

// A one-line editor laid over a Begin or End cell of the job list. Return takes the typed time
// (Committed); a text that is no time, or a time the check refuses, stays in the editor with a
// hint of what is expected.
// Escape or leaving the editor closes it and changes nothing. It deletes itself when closed.
class TimeCellEditor : public QLineEdit {
    Q_OBJECT
public:
    // What the editor expects, in the user's language.
    static QString Hint();

    TimeCellEditor(const QString& text, const QRect& cell, QWidget* parent);
    // A further rule for the typed time: it returns why a time is refused ("" takes it).
    void SetCheck(std::function<QString(double)> rule) { check = std::move(rule); }

signals:
    void Committed(double seconds);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Close();
    void Refuse(const QString& why);

    bool closing = false;
    std::function<QString(double)> check;
};
