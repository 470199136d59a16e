#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One picture of a clip, as GrabStill returns it.
struct StillFrame {
    bool ok = false;
    QString error;    // why there is no picture, when !ok
    QImage image;     // Format_RGB32, scaled into the box asked for with its shape kept
    double pts = 0.0; // clip time in seconds at which this picture starts to show
    double duration = 0.0;
};

// The picture that shows at `time` seconds of the clip: decoded from the key frame before
// it up to the frame whose time span holds `time` (a time past the last frame gives the
// last frame). It is scaled to fit `box` keeping the picture's shape (no bars added); an
// empty box keeps the picture's own display size.
//
// Blocks while it opens and decodes (a few milliseconds for small clips). Each call opens
// its own decoder, so calls may run on any thread, several at once.
StillFrame GrabStill(const QString& path, double time, QSize box = QSize());
