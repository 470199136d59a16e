// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TimeCellEditor.h"

#include <QKeyEvent>
#include <QToolTip>

#include <cmath>

QString TimeCellEditor::Hint() {
    return tr("Type the time as hh:mm:ss or as seconds, for example 1:05.5 or 65.5");
}

bool ParseTimeText(const QString& text, double* seconds) {
    const QStringList fields = text.trimmed().split(u':');
    if (fields.size() > 3)
        return false;
    double total = 0.0;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString field = fields.at(i).trimmed();
        const bool last = i == fields.size() - 1;
        // Digits only (and one point in the last field): no signs, exponents or "inf".
        bool point = false;
        for (const QChar c : field) {
            if (c == u'.' && last && !point)
                point = true;
            else if (!c.isDigit())
                return false;
        }
        bool ok = false;
        const double value = field.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return false;
        // Minutes and seconds after the first field stay below 60.
        if (i > 0 && value >= 60.0)
            return false;
        total = total * 60.0 + value;
    }
    if (seconds != nullptr)
        *seconds = total;
    return true;
}

TimeCellEditor::TimeCellEditor(const QString& text, const QRect& cell, QWidget* parent)
    : QLineEdit(text, parent) {
    setObjectName(QStringLiteral("timeEditor"));
    setAccessibleName(tr("Time"));
    setAccessibleDescription(Hint());
    setToolTip(Hint());
    setGeometry(cell);
    selectAll();
    show();
    setFocus(Qt::OtherFocusReason);
}

void TimeCellEditor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        event->accept();
        double seconds = 0.0;
        if (!ParseTimeText(text(), &seconds)) {
            Refuse(Hint());
            return;
        }
        if (const QString why = check ? check(seconds) : QString(); !why.isEmpty()) {
            Refuse(why);
            return;
        }
        emit Committed(seconds);
        Close();
        return;
    }
    case Qt::Key_Escape:
        event->accept();
        Close();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void TimeCellEditor::Refuse(const QString& why) {
    // Nothing is lost: the text stays for the user to correct.
    setStyleSheet(QStringLiteral("border: 1px solid #c00000;"));
    QToolTip::showText(mapToGlobal(QPoint(0, height())), why, this);
}

void TimeCellEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    Close();
}

void TimeCellEditor::Close() {
    if (closing)
        return;
    closing = true;
    QWidget* list = parentWidget() != nullptr ? parentWidget()->parentWidget() : nullptr;
    hide();
    if (list != nullptr)
        list->setFocus(Qt::OtherFocusReason);
    deleteLater();
}
