// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's artwork, addressed by number: icons under ":/res/icon/", bitmaps under
// ":/res/bitmap/", each as "<id>.png" or "<id>.svg". Extra sizes of an icon may sit beside it
// as "<id>-<size>.png". A number without artwork gives an empty image.
namespace Resources {

// The colour that keyed bitmaps use for "no pixel here".
inline const QColor GreenKey = QColor(0, 255, 0);

// A bitmap at its own size. With a valid transparentColor, every pixel of exactly that colour
// becomes transparent.
QPixmap LoadBitmapResource(int id, const QColor& transparentColor = QColor());

// One icon at its own size (the SVG's size, or the largest PNG).
QPixmap LoadIconPixmap(int id);

// An icon with every size it comes in; SVG icons are rendered at the usual icon sizes.
QIcon LoadIconResource(int id);

// Makes every pixel of exactly the given colour transparent; other pixels stay as they are.
QImage ApplyColorKey(const QImage& image, const QColor& transparentColor);

} // namespace Resources
