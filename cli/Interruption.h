#pragma once

#include <atomic>
#include <chrono>

// Ctrl-C and SIGTERM do not kill the companion: they set the stop flag and interrupt the links, whose
// waits (a lookup, a connection, a negotiation, a reply) end at once. Each command, and each
// commissioning worker, starts no further request, says what it did (a write whose reply was cut off
// may have been taken) and exits 130. A second one ends the program at once.
void CatchInterruptions();

// Once set, no further request starts. An interruption sets it, and so does a run that ends early of
// its own accord.
std::atomic<bool>& StopFlag();

// Whether an interruption came, as against the flag being set by the program itself.
bool Interrupted();

// Sleeps for `time` in short steps, ending early once `stop` (when given) is set: a stop is never kept
// waiting.
void PauseUnlessStopped(std::chrono::milliseconds time, const std::atomic<bool>* stop);
