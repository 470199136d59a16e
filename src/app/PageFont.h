// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QList>
#include <QString>

// A text and the room its control gives it, in pixels.
struct TextRoom {
    QString text;
    int width = 0;
    int height = 0;
};

// Whether every text fits its room in the font (measured with QFontMetrics).
bool TextsFit(const QFont& font, const QList<TextRoom>& rooms);

// The page's font. The page's layout has fixed pixel sizes, drawn for an 8-point Tahoma: that
// family is used where it is installed; otherwise base's family. The size is the largest pixel
// size, from base's size down to smallestPixelSize, at which every text fits its room (the
// smallest one when none does).
QFont FitPageFont(const QFont& base, const QList<TextRoom>& rooms, int smallestPixelSize = 9);
