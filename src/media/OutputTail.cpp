// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/OutputTail.h"

#include <QStringList>

void OutputTail::Append(QByteArrayView data) {
    tail += data;
    if (tail.size() > KeptBytes)
        tail = tail.right(KeptBytes);
}

QString OutputTail::LastLines(int maxLines) const {
    QString text = QString::fromLocal8Bit(tail);
    text.replace(u'\r', u'\n');
    QStringList lines;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (const QString trimmed = line.trimmed(); !trimmed.isEmpty())
            lines.append(trimmed);
    }
    if (lines.size() > maxLines)
        lines = lines.mid(lines.size() - maxLines);
    return lines.join(u'\n');
}
