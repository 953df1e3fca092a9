// The service's side of one user session: starts the session helper on the
// session's desktop, serves it a pipe that only the service and that session
// can open, and passes its samples on. A helper that dies is started again; the
// session's time between is not counted.
#pragma once

#include "agent/core/UsageAccumulator.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vcagent {

class AgentLog;

class SessionLink {
public:
    using SampleSink = std::function<void(std::uint32_t session, const Sample& sample)>;
    using EndSink = std::function<void(std::uint32_t session)>;

    SessionLink(DWORD session, std::wstring program, SampleSink samples, EndSink ended, AgentLog& log);
    ~SessionLink();
    SessionLink(const SessionLink&) = delete;
    SessionLink& operator=(const SessionLink&) = delete;

    DWORD session() const { return m_session; }
    void setLocked(bool locked) { m_locked = locked; }
    // A logon, connect or unlock: a helper waiting out its back-off starts now.
    void wake();

private:
    void run();
    // One helper's life: false when the session cannot have one (no user token).
    bool serveOneHelper();
    bool waitStop(DWORD millis) const;

    DWORD m_session;
    std::wstring m_program;
    SampleSink m_samples;
    EndSink m_ended;
    AgentLog& m_log;
    std::atomic<bool> m_locked{false};
    HANDLE m_stop;
    HANDLE m_wake;
    // Helpers that ended without being asked to (killed, crashed).
    int m_helperDeaths = 0;
    std::thread m_thread;
};

} // namespace vcagent
