#pragma once

#include "cli/ExitStatus.h"

struct Invocation;
class CLineTrace;

// Runs a parsed command against theApp's link, whose exchanges `watch` sees; messages go where theApp's
// sink sends them.
ExitStatus RunCommand(const Invocation& invocation, CLineTrace& watch);
