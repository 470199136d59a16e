// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CFadePicture.h"

#include "controls/Resources.h"

#include <QPainter>

CFadePicture::CFadePicture(QWidget* parent) : QLabel(parent), fadeTimer(this) {
    connect(&fadeTimer, &QTimer::timeout, this, &CFadePicture::AdvanceFade);
}

bool CFadePicture::StartFade(int newBitmapId, int stepDelayMs) {
    const QPixmap loaded = Resources::LoadBitmapResource(newBitmapId);
    if (loaded.isNull())
        return false;
    bitmap = loaded;
    bitmapId = newBitmapId;
    stepDelay = stepDelayMs;
    fadedIn = false;
    const QSize size = bitmap.deviceIndependentSize().toSize();
    resize(size);
    // What the earlier steps left: nothing yet, so the parent's background shows through.
    canvas = QImage(size * bitmap.devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(bitmap.devicePixelRatio());
    canvas.fill(Qt::transparent);
    nextStep = 0;
    DrawStep();
    fadeTimer.start(stepDelay);
    return true;
}

void CFadePicture::DrawStep() {
    QPainter painter(&canvas);
    painter.setOpacity(qMin(nextStep * AlphaStep, 255) / 255.0);
    painter.drawPixmap(0, 0, bitmap);
    painter.end();
    ++nextStep;
    update();
}

void CFadePicture::AdvanceFade() {
    if (bitmap.isNull() || fadedIn)
        return;
    if (nextStep < StepCount) {
        DrawStep();
        return;
    }
    // The last step drew the bitmap fully opaque; from now on it is painted as it is.
    fadeTimer.stop();
    fadedIn = true;
    canvas = QImage();
    update();
    emit FadeFinished();
}

void CFadePicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (fadedIn)
        painter.drawPixmap(0, 0, bitmap);
    else if (!canvas.isNull())
        painter.drawImage(0, 0, canvas);
}
