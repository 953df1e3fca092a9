// Where the agent reports: the Windows event log (Application, source
// VCWorkstation, with a message table) and a small rotating log file beside its
// working store. A message that repeats goes out once, then as an hourly count.
#pragma once

#include "agent/core/AgentEngine.h"
#include "agent/core/DiskLog.h"
#include "agent/core/ReportThrottle.h"

#include <filesystem>
#include <mutex>
#include <string>

namespace vcagent {

class AgentLog {
public:
    explicit AgentLog(const std::filesystem::path& file);
    ~AgentLog();
    AgentLog(const AgentLog&) = delete;
    AgentLog& operator=(const AgentLog&) = delete;

    void info(const std::string& text) { report(Severity::Info, text); }
    void warning(const std::string& text) { report(Severity::Warning, text); }
    void error(const std::string& text) { report(Severity::Error, text); }
    void report(Severity severity, const std::string& text);
    // Sends the hourly summaries that are due.
    void flush();
    // The file is written only once its folder has been checked: a folder a user
    // swapped for a link must not receive SYSTEM's writes.
    void enableFile(bool enabled) { m_fileEnabled = enabled; }

private:
    void emit(Severity severity, const std::string& text);
    DiskLog m_file;
    void* m_eventSource = nullptr;
    bool m_fileEnabled = true;
    std::mutex m_mutex;
    ReportThrottle m_throttle;
};

// The local time as "YYYY-MM-DD HH:MM:SS", for log lines; of a UTC instant in
// milliseconds when given.
std::string localStamp();
std::string localStamp(long long utcMillis);

} // namespace vcagent
