// Event log and log file.
#include "agent/win32/AgentLog.h"

#include "agent/win32/AgentPaths.h"
#include "agent/win32/WinText.h"
#include "messages.h"

#include <windows.h>

#include <cstdio>

namespace vcagent {

namespace {

std::string stampOf(const SYSTEMTIME& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

} // namespace

std::string localStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return stampOf(t);
}

std::string localStamp(long long utcMillis) {
    const long long ticks = utcMillis * 10000 + 116444736000000000LL;
    FILETIME ft{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc;
    SYSTEMTIME local;
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return "unknown time";
    return stampOf(local);
}

AgentLog::AgentLog(const std::filesystem::path& file)
    : m_file(file), m_eventSource(RegisterEventSourceW(nullptr, kServiceName)),
      m_throttle([this](Severity severity, const std::string& text) { emit(severity, text); }) {}

AgentLog::~AgentLog() {
    if (m_eventSource)
        DeregisterEventSource(static_cast<HANDLE>(m_eventSource));
}

void AgentLog::report(Severity severity, const std::string& text) {
    const std::lock_guard lock(m_mutex);
    m_throttle.report(static_cast<Millis>(GetTickCount64()), severity, text);
}

void AgentLog::flush() {
    const std::lock_guard lock(m_mutex);
    m_throttle.flush(static_cast<Millis>(GetTickCount64()));
}

void AgentLog::emit(Severity severity, const std::string& text) {
    if (m_fileEnabled)
        m_file.write(localStamp(), (severity == Severity::Error     ? "error: "
                                    : severity == Severity::Warning ? "warning: "
                                                                    : "") +
                                       text);
    if (m_eventSource) {
        const std::wstring wide = widen(text);
        const wchar_t* strings[] = {wide.c_str()};
        const WORD type = severity == Severity::Error     ? EVENTLOG_ERROR_TYPE
                          : severity == Severity::Warning ? EVENTLOG_WARNING_TYPE
                                                          : EVENTLOG_INFORMATION_TYPE;
        const DWORD id = severity == Severity::Error     ? VC_MSG_ERROR
                         : severity == Severity::Warning ? VC_MSG_WARNING
                                                         : VC_MSG_INFO;
        ReportEventW(static_cast<HANDLE>(m_eventSource), type, 0, id, nullptr, 1, 0, strings, nullptr);
    }
}

} // namespace vcagent
