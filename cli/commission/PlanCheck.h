#pragma once

#include "cli/commission/Plan.h"

#include <QString>

#include <functional>

// Looks a plan's port up once for the whole run: why it cannot be commissioned on, or an empty text when
// `choice` is filled.
using PortCheck = std::function<QString(const QString& port, PortChoice& choice)>;

struct PlanCheckOptions {
    bool force = false;        // the address rules of write are not applied
    bool cableCarried = false; // --wait or --ask: the rows of one device are controllers met in turn
};

// Checks the plan whole before anything goes on a line: each row's values by the rules of write (the
// address rules unless `force`, where the row gives enough to judge them), its port (each port named is
// looked up once and the row keeps the result), no two rows on one device unless a cable is carried,
// names usable as file names that give every row backup files of its own, no IP address given twice nor
// one that is another row's gateway or its subnet's network or broadcast address. Problems are added in
// line order.
void CheckPlan(Plan& plan, const PlanCheckOptions& options, const PortCheck& lookUpPort);
