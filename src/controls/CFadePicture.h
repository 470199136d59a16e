// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

// A picture that fades in: each step blends the bitmap once more over what the earlier steps
// left, with the opacity rising by 5 out of 255 per step, so after 52 steps it is fully opaque.
// The steps run on a timer of the user-interface thread.
class CFadePicture : public QLabel {
    Q_OBJECT
public:
    static constexpr int AlphaStep = 5;
    static constexpr int StepCount = 255 / AlphaStep + 1;

    explicit CFadePicture(QWidget* parent = nullptr);

    // Loads the bitmap resource, takes its size and starts the fade with stepDelayMs between
    // steps. False, and nothing changes, when there is no such bitmap.
    bool StartFade(int bitmapId, int stepDelayMs);

    bool IsFadedIn() const { return fadedIn; }
    bool IsFading() const { return fadeTimer.isActive(); }
    int BitmapId() const { return bitmapId; }
    int StepDelay() const { return stepDelay; }
    // Steps drawn so far in the running fade (0 .. StepCount).
    int StepsDone() const { return nextStep; }

public slots:
    // One step of the fade; the fade timer calls it every step delay.
    void AdvanceFade();

signals:
    void FadeFinished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawStep();

    bool fadedIn = false;
    int bitmapId = 0;
    int stepDelay = 100;
    QPixmap bitmap;
    QImage canvas;
    int nextStep = 0;
    QTimer fadeTimer;
};
