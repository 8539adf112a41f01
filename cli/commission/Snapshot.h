#pragma once

#include "cli/ExitStatus.h"

struct Invocation;

// snapshot [PORT...]: a commissioning plan of what the controllers on the ports hold now (every port
// present when none is named), one row per port that answers, written to --output (standard output by
// default). Commissioning it changes nothing. Ports that do not answer are told on standard error and
// left out; ExitLinkFailure when none answers.
ExitStatus RunSnapshot(const Invocation& invocation);
