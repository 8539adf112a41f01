#pragma once

#include "cli/ExitStatus.h"

struct Invocation;

// Runs a parsed command against theApp's link; messages go where theApp's sink sends them.
ExitStatus RunCommand(const Invocation& invocation);

// ports and probe, which look at every port rather than one.
ExitStatus ListPorts(const Invocation& invocation);
ExitStatus ProbePorts(const Invocation& invocation);
