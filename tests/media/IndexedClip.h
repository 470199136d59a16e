// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// Test clips whose every picture shows its own frame number as its brightness, so a
// decoded picture can be checked to be the right one by its pixels. Flat grey pictures
// with a tone, key frames every 12 frames, the frames in between predicted (and in some
// containers bidirectionally predicted).
struct IndexedClip {
    QString path;
    double fps = 0.0;
    int frames = 0;
    int lumaStep = 0; // luma grows by this much per frame, from 16
    QString error;    // why the clip could not be made

    double Seconds() const { return frames / fps; }

    // Makes the clip of that container in folder: "avi" (MPEG-4, no B-frames, 10 fps),
    // "mov" (MPEG-4 with B-frames, 10 fps, 16:9 display shape), "rm" (RealVideo, 15 fps,
    // time stamps in milliseconds), "mpg" (MPEG-2 with B-frames, 25 fps, a container clock
    // that does not start at 0).
    static IndexedClip Make(const QString& folder, const QString& extension);

    // The frame number a decoded picture shows, or -1 when it is not a flat grey picture.
    int FrameIndexOf(const QImage& image) const;
};
