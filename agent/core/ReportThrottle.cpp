// First occurrence plus an hourly summary.
#include "agent/core/ReportThrottle.h"

namespace vcagent {

ReportThrottle::ReportThrottle(Emit emit, Millis window) : m_emit(std::move(emit)), m_window(window) {}

void ReportThrottle::report(Millis now, Severity severity, const std::string& message) {
    flush(now);
    const auto seen = m_seen.find(message);
    if (seen != m_seen.end()) {
        ++seen->second.repeats;
        return;
    }
    // Messages that vary without end (a counter in the text) must not grow the
    // table for ever: forget them all and start counting afresh.
    if (m_seen.size() >= kMaxKept)
        m_seen.clear();
    m_seen.emplace(message, Entry{now, 0, severity});
    m_emit(severity, message);
}

void ReportThrottle::flush(Millis now) {
    for (auto it = m_seen.begin(); it != m_seen.end();) {
        Entry& entry = it->second;
        if (now - entry.since < m_window) {
            ++it;
            continue;
        }
        if (entry.repeats == 0) {
            it = m_seen.erase(it); // quiet for an hour: the next one is news again
            continue;
        }
        m_emit(entry.severity,
               "repeated " + std::to_string(entry.repeats) + " times in the last hour: " + it->first);
        entry.since = now;
        entry.repeats = 0;
        ++it;
    }
}

} // namespace vcagent
