#pragma once

#include "cli/BackupFile.h"
#include "cli/WriteValues.h"

#include <QString>

#include <mutex>
#include <optional>
#include <vector>

struct PlanRow;

// A row whose controller ends with an IP address, on a line whose controllers come on a carried cable.
struct EndedRow {
    int line;
    QString name;
    Octets ip;
    bool written; // the row planned it, rather than kept what its controller held
};

// Why `row` may not leave its controller holding `end`: the IP address it would end with (planned, or
// held and kept) is planned for another row of `plan`, or another row's controller ended with it where
// either row planned it. Nothing
// when it is neither or the controller would hold no IP address.
std::optional<QString> EndIpClash(const PlanRow& row, const Backup& end, const std::vector<PlanRow>& plan,
                                  const std::vector<EndedRow>& ended);

// The line as far as a run with a carried cable knows it, shared by the run's workers: each controller is
// checked as it arrives, since the line cannot be read whole before the first write.
class CCarriedLine {
public:
    explicit CCarriedLine(const std::vector<PlanRow>& plan) : m_plan(plan) {}

    // EndIpClash against the rows claimed so far; when there is none, the row's IP address is claimed for
    // it, so that a row on another port cannot take it meanwhile.
    std::optional<QString> Claim(const PlanRow& row, const Backup& end);

private:
    const std::vector<PlanRow>& m_plan;
    std::mutex m_mutex;
    std::vector<EndedRow> m_ended;
};
