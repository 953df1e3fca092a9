// One machine's usage rows for one day: a pure function of the seed, the machine and the date,
// so that a network generated for more days equals a shorter one advanced by those days.
#pragma once

#include "sim/NetworkModel.h"

#include <cstdint>
#include <QDate>
#include <vector>

namespace DayUsage {

struct Row {
    std::uint32_t user = 0;  // index into Machine::users
    std::uint32_t title = 0; // index into Machine::titles
    std::int64_t seconds = 0;
    // Seconds after midnight when the row carries a time of day (some agents store one); -1 none.
    std::int32_t timeOfDay = -1;
};

// Fills rows (cleared first) with the machine's usage on day: at most one row per user and
// title, every duration at least one second, at most 86,400 seconds per user. The row count is
// rowsPerDay unless the users and titles cannot hold that many distinct rows.
void generate(const NetworkModel& model, const NetworkModel::Machine& machine, QDate day,
              std::vector<Row>& rows);

inline constexpr std::int64_t kSecondsPerDay = 86400;

} // namespace DayUsage
