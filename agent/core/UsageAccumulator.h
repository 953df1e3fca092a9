// Turns per-second samples of the foreground window into time per (local day,
// user, title), applying the idle and lock rules and splitting time that
// crosses local midnight.
#pragma once

#include "agent/core/Days.h"

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace vcagent {

struct UsageKey {
    Day day;
    std::string user;
    std::string title;
    auto operator<=>(const UsageKey&) const = default;
};
using UsageMap = std::map<UsageKey, Millis>;

// What a session reports about one moment: who is at the machine and which
// window is in front.
struct Sample {
    std::string user;    // cleaned text; empty when unknown
    std::string title;   // cleaned text; empty when no window is in front
    Millis idle = 0;     // time since the last keyboard or mouse input
    bool locked = false; // session locked or disconnected
};

class UsageAccumulator {
public:
    // A sample counts the time since its session's previous sample; a gap longer
    // than maxSpan (a helper that stalled, a clock that jumped) counts one second
    // only, never the gap.
    UsageAccumulator(const LocalCalendar& calendar, Millis idleLimit, Millis maxSpan = 2500);

    void record(std::uint32_t session, const Sample& sample, Millis at);
    // The session ended or its helper went away: its next sample starts afresh.
    void endSession(std::uint32_t session);

    // The time gathered since the last take, and forgets it.
    UsageMap take();
    // Returns time that could not be saved, to be saved with the next take.
    void putBack(const UsageMap& usage);
    bool empty() const { return m_pending.empty(); }

private:
    void add(const std::string& user, const std::string& title, Millis from, Millis to);

    const LocalCalendar& m_calendar;
    Millis m_idleLimit;
    Millis m_maxSpan;
    std::unordered_map<std::uint32_t, Millis> m_lastSample;
    UsageMap m_pending;
};

} // namespace vcagent
