#pragma once

// Ctrl-C and SIGTERM do not kill the companion mid-exchange: a controller may already hold what was
// sent. They are noted; each command stops before its next request, says what it did and exits 130.
// A second one ends the program at once.
void CatchInterruptions();
bool Interrupted();
