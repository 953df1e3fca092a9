// Local calendar days of the agent: the day type, its stored text, and the
// calendar that maps instants to local days (midnight and daylight-saving rules
// live behind it).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vcagent {

using Day = std::chrono::sys_days;

// Milliseconds since 1970-01-01 UTC: the one time unit the agent counts in.
using Millis = std::int64_t;

// "YYYY-MM-DD", the day text the console stores and compares.
std::string dayText(Day day);
// The day of such a text; nothing for anything else (the working store is
// outside data too).
std::optional<Day> parseDayText(std::string_view text);

// Maps instants to local days. Days may be 23 or 25 hours long where the clock
// is moved.
class LocalCalendar {
public:
    virtual ~LocalCalendar() = default;
    // The local date on which the instant falls.
    virtual Day dayOf(Millis utc) const = 0;
    // The first instant of the local date (its midnight, or the first existing
    // time when the clock jumps over midnight). Found from dayOf, so every
    // calendar agrees with itself.
    virtual Millis startOf(Day day) const;
};

// The current instant; the service uses the system clock, tests a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    // The wall clock: anyone with the right may set it, to any day.
    virtual Millis now() const = 0;
    // Time since an arbitrary start that only ever runs forward at the real
    // rate (sleep included): the shadow that tells a set clock from passing time.
    virtual Millis monotonic() const = 0;
};

} // namespace vcagent
