#pragma once

#include "cli/ExitStatus.h"

#include <QJsonObject>

struct Invocation;
class CLineTrace;
class CNetConfigApp;

// Runs a parsed command against theApp's link, whose exchanges `watch` sees; messages go where theApp's
// sink sends them.
ExitStatus RunCommand(const Invocation& invocation, CLineTrace& watch);

// The port an application object's link is pointed at, apart: "port" as named (COMn, or the device)
// and "device".
QJsonObject PortJson(const CNetConfigApp& app);
// `json` with theApp's PortJson added.
QJsonObject WithPort(QJsonObject json);
