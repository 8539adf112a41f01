#pragma once

#include "cli/BackupFile.h"
#include "cli/WriteValues.h"

#include <QString>

#include <mutex>
#include <optional>
#include <vector>

struct PlanRow;
struct RowRecord;

// What the rows finished so far wrote, shared by a run's workers. Identical controllers answer one status
// id, so what a controller holds is all that tells one already done, put back on the cable, from the
// next row's.
class CDoneRows {
public:
    // A row of this run that ended commissioned or unchanged. Rows whose values a controller holds as it
    // comes are left out: they tell no controller apart.
    void Add(const PlanRow& row);
    // A record of the report a run resumes; one of another outcome is passed over.
    void Add(const RowRecord& record);

    // "holds what row press-1 (line 2) wrote: a controller already done" when a controller holding `held`
    // holds what a finished row other than `row`, asking for other values, wrote: its IP address, or, for a
    // row that sets none, every value it set. Nothing when it does not.
    std::optional<QString> Holder(const PlanRow& row, const Backup& held) const;

private:
    struct Done {
        int line;
        QString name;
        WriteValues values;
    };

    mutable std::mutex m_mutex;
    std::vector<Done> m_rows;
};
