// A settable clock and a calendar with chosen UTC offsets and clock changes, so tests can put the agent on
// any day, across midnight and across daylight-saving changes.
#pragma once

#include "agent/core/Days.h"

#include <utility>
#include <vector>

// set() moves the wall clock only (someone set it); advance() is time passing.
class FakeClock : public vcagent::Clock {
public:
    explicit FakeClock(vcagent::Millis now) : m_now(now) {}
    vcagent::Millis now() const override { return m_now; }
    vcagent::Millis monotonic() const override { return m_monotonic; }
    void set(vcagent::Millis now) { m_now = now; }
    void advance(vcagent::Millis by) {
        m_now += by;
        m_monotonic += by;
    }

private:
    vcagent::Millis m_now;
    vcagent::Millis m_monotonic = 1000000;
};

class FakeCalendar : public vcagent::LocalCalendar {
public:
    // offset: local minus UTC before the first change; changes: (UTC instant, new offset).
    explicit FakeCalendar(vcagent::Millis offset,
                          std::vector<std::pair<vcagent::Millis, vcagent::Millis>> changes = {})
        : m_offset(offset), m_changes(std::move(changes)) {}

    vcagent::Day dayOf(vcagent::Millis utc) const override {
        vcagent::Millis local = utc + m_offset;
        for (const auto& [at, offset] : m_changes)
            if (utc >= at)
                local = utc + offset;
        constexpr vcagent::Millis kDay = 86400000;
        const vcagent::Millis days = local >= 0 ? local / kDay : (local - kDay + 1) / kDay;
        return vcagent::Day{std::chrono::days{days}};
    }

private:
    vcagent::Millis m_offset;
    std::vector<std::pair<vcagent::Millis, vcagent::Millis>> m_changes;
};

// UTC milliseconds of a local wall-clock time at a fixed offset, for readable test data.
inline vcagent::Millis at(int y, unsigned m, unsigned d, int hh, int mm, int ss, vcagent::Millis offset = 0) {
    const vcagent::Day day{std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}};
    return static_cast<vcagent::Millis>(day.time_since_epoch().count()) * 86400000 +
           (static_cast<vcagent::Millis>(hh) * 3600 + mm * 60 + ss) * 1000 - offset;
}

inline vcagent::Day day(int y, unsigned m, unsigned d) {
    return vcagent::Day{std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d}};
}

inline constexpr vcagent::Millis kHour = 3600 * 1000;
