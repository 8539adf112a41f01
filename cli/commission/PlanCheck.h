#pragma once

#include "cli/commission/Plan.h"

#include <QString>

#include <functional>

// Why `port` cannot be commissioned on, or an empty text.
using PortCheck = std::function<QString(const QString& port)>;

// Checks the plan whole before anything goes on a line: each row's values by the rules of write (the
// address rules unless `force`, where the row gives enough to judge them), its port, names usable as
// file names and unique, and no IP address given twice. Problems are added in line order.
void CheckPlan(Plan& plan, bool force, const PortCheck& checkPort);
