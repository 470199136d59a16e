// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>

// The event type of RangeChangedEvent, registered with Qt once at program start so that it can
// never collide with another custom event. The range slider and the page that handles it both
// use this one value.
extern const QEvent::Type RangeChangedEventType;

// Sent synchronously by CRangeSlider to its parent widget after every change of its selection:
// the parent's handler runs before the slider's operation goes on, and reads the new values
// with CRangeSlider::GetSelection().
class RangeChangedEvent : public QEvent {
public:
    // What moved.
    enum Part : int {
        LeftEnd = 0,
        RightEnd = 1,
        BothEnds = 2, // the whole selection was dragged or stepped
    };

    RangeChangedEvent(int part, bool dragEnded);

    // 0 the left end changed, 1 the right end, 2 both.
    int WParam() const { return part; }
    // 1 when a mouse drag has just ended (sent once, on the button release); 0 for a change
    // during a drag, by a key or by the clamping of a setter.
    int LParam() const { return dragEnded ? 1 : 0; }

private:
    int part;
    bool dragEnded;
};
