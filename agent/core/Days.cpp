// Day text conversions.
#include "agent/core/Days.h"

#include <cstdio>

namespace vcagent {

std::string dayText(Day day) {
    const std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

std::optional<Day> parseDayText(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8};
    const std::size_t lengths[3] = {4, 2, 2};
    for (int i = 0; i < 3; ++i) {
        for (std::size_t k = 0; k < lengths[i]; ++k) {
            const char c = text[starts[i] + k];
            if (c < '0' || c > '9')
                return std::nullopt;
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    const std::chrono::year_month_day ymd{std::chrono::year{parts[0]},
                                          std::chrono::month{static_cast<unsigned>(parts[1])},
                                          std::chrono::day{static_cast<unsigned>(parts[2])}};
    if (!ymd.ok())
        return std::nullopt;
    return Day{ymd};
}

Millis LocalCalendar::startOf(Day day) const {
    // Local offsets stay within a day of UTC, so the first instant lies in this
    // window; dayOf never goes back as time goes on, so halving the window finds
    // it.
    constexpr Millis kDay = 86400000;
    Millis low = static_cast<Millis>(day.time_since_epoch().count()) * kDay - 2 * kDay;
    Millis high = low + 4 * kDay;
    while (low < high) {
        const Millis middle = low + (high - low) / 2;
        if (dayOf(middle) < day)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace vcagent
