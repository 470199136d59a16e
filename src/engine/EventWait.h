#pragma once

#include <QtGlobal>

// The engine runs inside the caller's event loop: these are its only ways to let events in.

// Handles every pending event of this thread and returns at once; never waits.
void PumpMessages();

// Sleeps in the event loop until at least one event (child output, a child's exit, a timer,
// user input, a signal notifier) has arrived and been handled. Never spins.
void WaitForEvents();

// A millisecond tick count, as a 32-bit unsigned value that wraps around.
quint32 TickCount();
