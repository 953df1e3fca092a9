// Event log and log file.
#include "agent/win32/AgentLog.h"

#include "agent/win32/AgentPaths.h"
#include "agent/win32/WinText.h"

#include <windows.h>

#include <cstdio>

namespace vcagent {

std::string localStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

AgentLog::AgentLog(const std::filesystem::path& file)
    : m_file(file), m_eventSource(RegisterEventSourceW(nullptr, kServiceName)) {}

AgentLog::~AgentLog() {
    if (m_eventSource)
        DeregisterEventSource(static_cast<HANDLE>(m_eventSource));
}

void AgentLog::info(const std::string& text) {
    report(EVENTLOG_INFORMATION_TYPE, text);
}

void AgentLog::error(const std::string& text) {
    report(EVENTLOG_ERROR_TYPE, text);
}

void AgentLog::report(unsigned short type, const std::string& text) {
    m_file.write(localStamp(), (type == EVENTLOG_ERROR_TYPE ? "error: " : "") + text);
    if (m_eventSource) {
        const std::wstring wide = widen(text);
        const wchar_t* strings[] = {wide.c_str()};
        ReportEventW(static_cast<HANDLE>(m_eventSource), type, 0, type == EVENTLOG_ERROR_TYPE ? 2 : 1,
                     nullptr, 1, 0, strings, nullptr);
    }
}

} // namespace vcagent
