// Keeps a message that repeats every minute from flooding the event log: the
// first occurrence goes out at once, repeats are counted and summed up once an
// hour.
#pragma once

#include "agent/core/AgentEngine.h"

#include <functional>
#include <map>
#include <string>

namespace vcagent {

class ReportThrottle {
public:
    using Emit = std::function<void(Severity, const std::string&)>;
    explicit ReportThrottle(Emit emit, Millis window = 60 * 60 * 1000);

    // now: monotonic milliseconds.
    void report(Millis now, Severity severity, const std::string& message);
    // Sends the summaries whose hour is over; call now and then.
    void flush(Millis now);

private:
    struct Entry {
        Millis since;
        int repeats;
        Severity severity;
    };
    static constexpr std::size_t kMaxKept = 256;
    Emit m_emit;
    Millis m_window;
    std::map<std::string, Entry> m_seen;
};

} // namespace vcagent
