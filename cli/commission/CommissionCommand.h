#pragma once

#include "cli/ExitStatus.h"

struct Invocation;

// commission PLAN: every row of the plan, the ports at once; returns the worst row's exit status, 1
// for a plan that does not pass its check, 130 after Ctrl-C.
int RunCommission(const Invocation& invocation);
