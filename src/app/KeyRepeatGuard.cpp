// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/KeyRepeatGuard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>

void KeyRepeatGuard::Install() {
    static QPointer<KeyRepeatGuard> guard;
    if (guard != nullptr || qApp == nullptr)
        return;
    guard = new KeyRepeatGuard;
    guard->setParent(qApp); // goes with the application
    qApp->installEventFilter(guard);
}

bool KeyRepeatGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const int code = key->key();
    if (code != Qt::Key_Return && code != Qt::Key_Enter && code != Qt::Key_Space &&
        code != Qt::Key_Select)
        return false;
    // A repeat is a release and a press of the same moment. The window system marks it, but
    // not when the two go to two windows (the first press closed a box): the moment tells.
    const quint64 moment = key->timestamp();
    bool repeat = key->isAutoRepeat();
    if (event->type() == QEvent::KeyRelease) {
        releasedAt.insert(code, moment);
    } else if (moment != 0 && releasedAt.value(code) == moment) {
        repeat = true;
    }
    // A button takes these keys itself; a dialog takes Return for its default button when the
    // focused control leaves it.
    return repeat && (qobject_cast<QAbstractButton*>(watched) != nullptr ||
                      qobject_cast<QDialog*>(watched) != nullptr);
}
