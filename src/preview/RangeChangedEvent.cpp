// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/RangeChangedEvent.h"

const QEvent::Type RangeChangedEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

RangeChangedEvent::RangeChangedEvent(int part, bool dragEnded)
    : QEvent(RangeChangedEventType), part(part), dragEnded(dragEnded) {}
