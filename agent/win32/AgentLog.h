// Where the agent reports: the Windows event log (Application, source
// VCWorkstation) and a small rotating log file beside its working store.
#pragma once

#include "agent/core/DiskLog.h"

#include <filesystem>
#include <string>

namespace vcagent {

class AgentLog {
public:
    explicit AgentLog(const std::filesystem::path& file);
    ~AgentLog();
    AgentLog(const AgentLog&) = delete;
    AgentLog& operator=(const AgentLog&) = delete;

    void info(const std::string& text);
    void error(const std::string& text);

private:
    void report(unsigned short type, const std::string& text);
    DiskLog m_file;
    void* m_eventSource = nullptr;
};

// The local time as "YYYY-MM-DD HH:MM:SS", for log lines.
std::string localStamp();

} // namespace vcagent
