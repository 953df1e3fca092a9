// Idle, lock and day rules for samples.
#include "agent/core/UsageAccumulator.h"

namespace vcagent {

namespace {
constexpr Millis kOneSecond = 1000;
}

UsageAccumulator::UsageAccumulator(const LocalCalendar& calendar, Millis idleLimit, Millis maxSpan)
    : m_calendar(calendar), m_idleLimit(idleLimit), m_maxSpan(maxSpan) {}

void UsageAccumulator::record(std::uint32_t session, const Sample& sample, Millis at) {
    const auto last = m_lastSample.find(session);
    Millis span = kOneSecond;
    if (last != m_lastSample.end() && at > last->second && at - last->second <= m_maxSpan)
        span = at - last->second;
    m_lastSample[session] = at;
    // Idle time is measured by the machine, so a user away longer than the limit
    // counts for nothing from the moment the limit is passed, not from the moment
    // input stopped.
    if (sample.locked || sample.idle > m_idleLimit || sample.user.empty() || sample.title.empty())
        return;
    add(sample.user, sample.title, at - span, at);
}

void UsageAccumulator::endSession(std::uint32_t session) {
    m_lastSample.erase(session);
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
