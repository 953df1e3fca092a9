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
    std::string user;       // cleaned text; empty when unknown
    std::string title;      // cleaned text; empty when no window is in front
    Millis idle = 0;        // time since the last keyboard or mouse input
    bool locked = false;    // session locked or disconnected
    Millis interval = 1000; // the helper's own time since its previous sample
};

class UsageAccumulator {
public:
    // A sample is credited the helper's interval, at most maxCredit (the
    // sampling interval), and never more than the wall time since the session's
    // last credited instant: a flood of samples cannot create time, and samples
    // that queued up during a stall are each credited in full, back to back.
    UsageAccumulator(const LocalCalendar& calendar, Millis idleLimit, Millis maxCredit = 1000);

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
    Millis m_maxCredit;
    // Per session: the instant up to which time has been credited.
    std::unordered_map<std::uint32_t, Millis> m_creditedUntil;
    UsageMap m_pending;
};

} // namespace vcagent
