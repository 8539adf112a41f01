#pragma once

#include <chrono>

// A user's interruption (Ctrl-C, SIGTERM, a console's Ctrl-Break) ends every wait of every link in the
// process, local port or device server, open or exchange: the wait ends within one slice and its call
// fails with UserAbort, as an exchange cut off. Only a real interruption sets it: a program that stops
// of its own accord lets the exchange in progress end.
void InterruptLinks(); // async-signal-safe: one lock-free store
bool LinksInterrupted();
// Lets links wait again (tests).
void ResumeLinks();

// The longest a link's wait blocks before it looks whether links were interrupted.
inline constexpr std::chrono::milliseconds InterruptionSlice{50};

// `timeoutMs` cut to one slice.
int SliceMs(int timeoutMs);

// Sleeps for `time` in slices: false, at once, when links are or become interrupted.
bool SleepUnlessInterrupted(std::chrono::milliseconds time);
