// Plausible working days: who is in, which windows they use and for how long.
#include "sim/DayUsage.h"

#include "sim/Rng.h"

#include <algorithm>

namespace DayUsage {

namespace {

// Splits total into parts proportional to weights, never giving a part more than its cap.
// The caps together hold at least total.
std::vector<std::uint32_t> share(std::uint32_t total, const std::vector<std::uint32_t>& weights,
                                 const std::vector<std::uint32_t>& caps, Rng& rng) {
    const std::size_t n = weights.size();
    std::vector<std::uint32_t> parts(n, 0);
    std::uint64_t weightSum = 0;
    for (const std::uint32_t w : weights)
        weightSum += w;
    std::uint32_t given = 0;
    for (std::size_t i = 0; i < n && weightSum > 0; ++i) {
        parts[i] =
            std::min(caps[i], static_cast<std::uint32_t>(std::uint64_t{total} * weights[i] / weightSum));
        given += parts[i];
    }
    // Hand out what rounding and the caps left over, one at a time from a random start.
    std::size_t at = n == 0 ? 0 : rng.below(static_cast<std::uint32_t>(n));
    while (given < total) {
        if (parts[at] < caps[at] && weights[at] > 0) {
            ++parts[at];
            ++given;
        } else {
            bool any = false;
            for (std::size_t i = 0; i < n; ++i)
                any = any || (parts[i] < caps[i] && weights[i] > 0);
            if (!any)
                break;
        }
        at = (at + 1) % n;
    }
    return parts;
}

} // namespace

void generate(const NetworkModel& model, const NetworkModel::Machine& machine, QDate day,
              std::vector<Row>& rows) {
    rows.clear();
    const auto userCount = machine.users.size();
    const auto titleCount = static_cast<std::uint32_t>(machine.titles.size());
    if (userCount == 0 || titleCount == 0 || model.settings().rowsPerDay <= 0)
        return;
    Rng rng(Rng::mix(Rng::mix(model.settings().seed, Rng::hash(machine.name.toStdString())),
                     static_cast<std::uint64_t>(day.toJulianDay())));
    const bool weekend = day.dayOfWeek() >= 6;

    // Who works today: most users on weekdays, a few at weekends, always at least one.
    std::vector<std::uint32_t> weights(userCount, 0);
    std::vector<std::uint32_t> caps(userCount, titleCount);
    std::uint64_t capacity = 0;
    for (std::size_t u = 0; u < userCount; ++u) {
        if (weekend ? rng.chance(1, 5) : rng.chance(9, 10)) {
            weights[u] = 1 + rng.below(4);
            capacity += titleCount;
        }
    }
    const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(model.settings().rowsPerDay), std::uint64_t{titleCount} * userCount));
    // Call people in until their distinct titles can hold the day's rows.
    for (std::size_t u = rng.below(static_cast<std::uint32_t>(userCount)); capacity < wanted || capacity == 0;
         u = (u + 1) % userCount) {
        if (weights[u] == 0) {
            weights[u] = 1;
            capacity += titleCount;
        }
    }
    const std::vector<std::uint32_t> perUser = share(wanted, weights, caps, rng);

    std::vector<std::uint32_t> chosen;
    std::vector<std::uint32_t> stamp(titleCount, 0);
    std::uint32_t stampValue = 0;
    std::vector<std::uint32_t> rowWeights;
    bool firstRowOfDay = true;
    for (std::size_t u = 0; u < userCount; ++u) {
        const std::uint32_t k = perUser[u];
        if (k == 0)
            continue;
        const NetworkModel::User& user = machine.users[u];
        ++stampValue;
        chosen.clear();
        auto take = [&](std::uint32_t title) {
            if (chosen.size() < k && stamp[title] != stampValue) {
                stamp[title] = stampValue;
                chosen.push_back(title);
            }
        };
        for (const std::uint32_t t : user.pinned)
            take(t);
        // Favourites come up far more often: the square of a uniform position leans to the front.
        const auto prefSize = static_cast<std::uint32_t>(user.preference.size());
        for (std::uint32_t attempts = 0; chosen.size() < k && attempts < 4 * k + 16; ++attempts) {
            const std::uint64_t r = rng.below(prefSize);
            take(user.preference[static_cast<std::size_t>(r * r / prefSize)]);
        }
        for (std::uint32_t i = 0; chosen.size() < k && i < prefSize; ++i)
            take(user.preference[i]);

        // A working day of one to nine hours, shorter at weekends; never past midnight.
        std::int64_t budget = weekend ? rng.between(600, 4 * 3600) : rng.between(3600, 9 * 3600);
        if (!weekend && rng.chance(1, 40))
            budget += rng.between(3600, 5 * 3600); // a long day
        budget = std::clamp<std::int64_t>(budget, static_cast<std::int64_t>(chosen.size()), kSecondsPerDay);
        rowWeights.resize(chosen.size());
        std::uint64_t weightSum = 0;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            // Pinned and favourite windows are open longest.
            rowWeights[i] = (1 + rng.below(64)) * (i < 6 ? 6U : 1U);
            weightSum += rowWeights[i];
        }
        const auto spare = static_cast<std::uint64_t>(budget) - chosen.size();
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            Row row;
            row.user = static_cast<std::uint32_t>(u);
            row.title = chosen[i];
            row.seconds = 1 + static_cast<std::int64_t>(spare * rowWeights[i] / weightSum);
            if (model.settings().quirks && (firstRowOfDay || rng.chance(1, 25)))
                row.timeOfDay = static_cast<std::int32_t>(rng.between(8 * 3600, 23 * 3600 + 3599));
            firstRowOfDay = false;
            rows.push_back(row);
        }
    }
}

} // namespace DayUsage
