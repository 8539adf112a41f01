#pragma once

#include "cli/ExitStatus.h"

#include <QStringList>

struct Invocation;
class CLineTrace;

// ports and probe, which look at every port rather than one.
ExitStatus ListPorts(const Invocation& invocation);
ExitStatus ProbePorts(const Invocation& invocation, CLineTrace& watch);
// The devices of the ports present, in the order COM ports count them; a listing that failed, or one
// with no port, is told.
ExitStatus PresentPortDevices(QStringList& devices);
