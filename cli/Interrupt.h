#pragma once

#include <atomic>

// Ctrl-C, while caught, sets the flag instead of ending the process; a second Ctrl-C ends it at once.
void CatchInterrupt();
void ReleaseInterrupt();
std::atomic<bool>& InterruptFlag();

// Whether Ctrl-C was pressed, as against the flag being set by the program itself.
bool Interrupted();
