// Idle, lock and day rules for samples.
#include "agent/core/UsageAccumulator.h"

namespace vcagent {

namespace {
// Samples that queued up behind a stall of the service arrive together; they are
// credited back to back as long as they stay within this much of their arrival.
constexpr Millis kMaxBacklog = 120 * 1000;
// Arrivals this much before the credited instant mean the clock was set back.
constexpr Millis kClockBackSlack = 2000;
} // namespace

UsageAccumulator::UsageAccumulator(const LocalCalendar& calendar, Millis idleLimit, Millis maxCredit)
    : m_calendar(calendar), m_idleLimit(idleLimit), m_maxCredit(maxCredit) {}

void UsageAccumulator::record(std::uint32_t session, const Sample& sample, Millis at) {
    Millis credit = sample.interval < 0 ? 0 : sample.interval > m_maxCredit ? m_maxCredit : sample.interval;
    Millis from = at - credit;
    const auto last = m_creditedUntil.find(session);
    if (last != m_creditedUntil.end() && at >= last->second - kClockBackSlack &&
        at - last->second <= kMaxBacklog) {
        from = last->second;
        if (credit > at - from)
            credit = at > from ? at - from : 0;
    }
    m_creditedUntil[session] = from + credit;
    // Idle time is measured by the machine, so a user away longer than the limit
    // counts for nothing from the moment the limit is passed, not from the moment
    // input stopped.
    if (sample.locked || sample.idle > m_idleLimit || sample.user.empty() || sample.title.empty())
        return;
    add(sample.user, sample.title, from, from + credit);
}

void UsageAccumulator::endSession(std::uint32_t session) {
    m_creditedUntil.erase(session);
}

void UsageAccumulator::add(const std::string& user, const std::string& title, Millis from, Millis to) {
    while (from < to) {
        const Day day = m_calendar.dayOf(from);
        const Millis dayEnd = m_calendar.startOf(day + std::chrono::days{1});
        const Millis part = (dayEnd > from && dayEnd < to) ? dayEnd : to;
        m_pending[UsageKey{day, user, title}] += part - from;
        from = part;
    }
}

UsageMap UsageAccumulator::take() {
    UsageMap taken;
    taken.swap(m_pending);
    return taken;
}

void UsageAccumulator::putBack(const UsageMap& usage) {
    for (const auto& [key, time] : usage)
        m_pending[key] += time;
}

} // namespace vcagent
