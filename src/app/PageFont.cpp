// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PageFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

bool TextsFit(const QFont& font, const QList<TextRoom>& rooms) {
    const QFontMetrics metrics(font);
    for (const TextRoom& room : rooms) {
        if (metrics.horizontalAdvance(room.text) > room.width || metrics.height() > room.height)
            return false;
    }
    return true;
}

QFont FitPageFont(const QFont& base, const QList<TextRoom>& rooms, int smallestPixelSize) {
    QFont font = base;
    const QString layoutFamily = QStringLiteral("Tahoma");
    if (QFontDatabase::hasFamily(layoutFamily))
        font.setFamily(layoutFamily);
    // A point size is turned into pixels by the screen; the rooms are pixels.
    int pixels = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
    pixels = std::max(pixels, smallestPixelSize);
    for (; pixels > smallestPixelSize; --pixels) {
        font.setPixelSize(pixels);
        if (TextsFit(font, rooms))
            return font;
    }
    font.setPixelSize(smallestPixelSize);
    return font;
}
