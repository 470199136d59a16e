// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The last few kilobytes that a child program wrote, kept to say why it failed.
class OutputTail {
public:
    void Append(QByteArrayView data);
    void Clear() { tail.clear(); }
    // The last maxLines lines that are not blank (a carriage return ends a line too), trimmed.
    QString LastLines(int maxLines) const;

private:
    static constexpr qsizetype KeptBytes = 4096;
    QByteArray tail;
};
