// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>

// One key press is one action: the repeats of a held Return, Enter or Space never press a
// button or a box's default button, in any window of the program. (A held key would otherwise
// close the end box, start the next batch, answer its question and stop it again.)
class KeyRepeatGuard : public QObject {
    Q_OBJECT
public:
    // Watches every window of the application, once however often it is called.
    static void Install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHash<int, quint64> releasedAt; // when each key was last released
};
