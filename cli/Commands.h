#pragma once

#include "cli/ExitStatus.h"

#include <QJsonObject>
#include <QStringList>

struct Invocation;
class CLineTrace;
class CNetConfigApp;

// Runs a parsed command against theApp's link, whose exchanges `watch` sees; messages go where theApp's
// sink sends them.
ExitStatus RunCommand(const Invocation& invocation, CLineTrace& watch);

// ports and probe, which look at every port rather than one.
ExitStatus ListPorts(const Invocation& invocation);
ExitStatus ProbePorts(const Invocation& invocation, CLineTrace& watch);
// The devices of the ports present, in the order COM ports count them; a listing that failed, or one
// with no port, is told.
ExitStatus PresentPortDevices(QStringList& devices);

// The port an application object's link is pointed at, apart: "port" as named (COMn, or the device)
// and "device".
QJsonObject PortJson(const CNetConfigApp& app);
// `json` with theApp's PortJson added.
QJsonObject WithPort(QJsonObject json);
