#pragma once

#include <atomic>
#include <chrono>

// Ctrl-C and SIGTERM do not kill the companion mid-exchange: a controller may already hold what was
// sent. They set the stop flag; each command, and each commissioning worker, stops before its next
// request, says what it did and exits 130. A second one ends the program at once.
void CatchInterruptions();

// Once set, no further request starts. An interruption sets it, and so does a run that ends early of
// its own accord.
std::atomic<bool>& StopFlag();

// Whether an interruption came, as against the flag being set by the program itself.
bool Interrupted();

// Sleeps for `time` in short steps, ending early once `stop` (when given) is set: a stop is never kept
// waiting.
void PauseUnlessStopped(std::chrono::milliseconds time, const std::atomic<bool>* stop);
