// Service main, control handler and session tracking.
#include "agent/win32/AgentService.h"

#include "agent/core/AgentEngine.h"
#include "agent/core/AgentError.h"
#include "agent/win32/AgentLog.h"
#include "agent/win32/AgentPaths.h"
#include "agent/win32/ReplaceFile.h"
#include "agent/win32/SessionLink.h"
#include "agent/win32/SystemClock.h"
#include "agent/win32/WindowsCalendar.h"
#include "agent/win32/WinText.h"

#include <windows.h>

#include <wtsapi32.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace vcagent {

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_wake = nullptr;
std::mutex g_eventsMutex;
std::deque<std::pair<DWORD, DWORD>> g_sessionEvents; // (WTS event, session)
bool g_stopRequested = false;

void setState(DWORD state, DWORD exitCode = NO_ERROR) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN |
                                                                 SERVICE_ACCEPT_SESSIONCHANGE
                                                           : 0;
    g_status.dwWin32ExitCode = exitCode;
    g_status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 30000;
    g_status.dwCheckPoint = g_status.dwWaitHint ? g_status.dwCheckPoint + 1 : 0;
    SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI controlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
        const std::lock_guard lock(g_eventsMutex);
        g_stopRequested = true;
        setState(SERVICE_STOP_PENDING);
        SetEvent(g_wake);
        return NO_ERROR;
    }
    case SERVICE_CONTROL_SESSIONCHANGE: {
        const auto* note = static_cast<const WTSSESSION_NOTIFICATION*>(eventData);
        if (note) {
            const std::lock_guard lock(g_eventsMutex);
            g_sessionEvents.emplace_back(eventType, note->dwSessionId);
            SetEvent(g_wake);
        }
        return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Sessions where a user works now (active), and the console session in any
// case: the helper itself finds out whether a user is there.
std::set<DWORD> activeSessions() {
    std::set<DWORD> sessions;
    WTS_SESSION_INFOW* list = nullptr;
    DWORD count = 0;
    if (WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) {
        for (DWORD i = 0; i < count; ++i)
            if (list[i].State == WTSActive)
                sessions.insert(list[i].SessionId);
        WTSFreeMemory(list);
    }
    const DWORD console = WTSGetActiveConsoleSessionId();
    if (console != 0xFFFFFFFF)
        sessions.insert(console);
    return sessions;
}

AgentSettings readSettings(AgentLog& log) {
    AgentSettings settings;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return settings;
    auto readDword = [&](const wchar_t* name, DWORD low, DWORD high, auto apply) {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
            return;
        if (type != REG_DWORD || value < low || value > high) {
            log.error("setting " + narrow(name) + " ignored: must be a number from " + std::to_string(low) +
                      " to " + std::to_string(high));
            return;
        }
        apply(value);
    };
    readDword(L"IdleLimitSeconds", 10, 86400, [&](DWORD v) { settings.idleLimit = Millis(v) * 1000; });
    readDword(L"RetentionDays", 1, 3650, [&](DWORD v) { settings.retentionDays = static_cast<int>(v); });
    RegCloseKey(key);
    return settings;
}

void serviceWork(AgentLog& log) {
    const AgentPaths paths = AgentPaths::standard();
    std::filesystem::create_directories(paths.published.parent_path());
    std::filesystem::create_directories(paths.privateDir);
    const AgentSettings settings = readSettings(log);
    const SystemClock clock;
    const WindowsCalendar calendar;
    WorkingStore store(paths.workingStore);
    Publisher publisher(paths.published, replaceFileWin32);
    std::mutex engineMutex;
    AgentEngine engine(clock, calendar, store, publisher, settings,
                       [&](const std::string& e) { log.error(e); });
    {
        const std::lock_guard lock(engineMutex);
        engine.start();
    }

    wchar_t program[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH * 2);
    const std::wstring programPath(program, length);

    auto sample = [&](std::uint32_t session, const Sample& s) {
        const std::lock_guard lock(engineMutex);
        engine.sample(session, s);
    };
    auto ended = [&](std::uint32_t session) {
        const std::lock_guard lock(engineMutex);
        engine.endSession(session);
    };
    std::map<DWORD, std::unique_ptr<SessionLink>> links;
    auto follow = [&](DWORD session) {
        if (!links.count(session))
            links[session] = std::make_unique<SessionLink>(session, programPath, sample, ended, log);
    };
    for (DWORD session : activeSessions())
        follow(session);

    setState(SERVICE_RUNNING);
    log.info("started; publishing to " + narrow(paths.published.wstring()));
    ULONGLONG lastScan = GetTickCount64();
    for (;;) {
        WaitForSingleObject(g_wake, 1000);
        std::deque<std::pair<DWORD, DWORD>> events;
        {
            const std::lock_guard lock(g_eventsMutex);
            if (g_stopRequested)
                break;
            events.swap(g_sessionEvents);
        }
        for (const auto& [event, session] : events) {
            switch (event) {
            case WTS_SESSION_LOGON:
            case WTS_CONSOLE_CONNECT:
            case WTS_REMOTE_CONNECT:
                follow(session);
                break;
            case WTS_SESSION_LOGOFF:
            case WTS_CONSOLE_DISCONNECT:
            case WTS_REMOTE_DISCONNECT:
                links.erase(session);
                break;
            case WTS_SESSION_LOCK:
                if (links.count(session))
                    links[session]->setLocked(true);
                break;
            case WTS_SESSION_UNLOCK:
                follow(session);
                links[session]->setLocked(false);
                break;
            default:
                break;
            }
        }
        // Notifications can be missed (the service started while a user was already
        // there): look at the sessions now and then as well.
        if (GetTickCount64() - lastScan > 30000) {
            lastScan = GetTickCount64();
            for (DWORD session : activeSessions())
                follow(session);
        }
        const std::lock_guard lock(engineMutex);
        engine.tick();
    }
    setState(SERVICE_STOP_PENDING);
    links.clear();
    const std::lock_guard lock(engineMutex);
    engine.stop();
    log.info("stopped");
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, controlHandler, nullptr);
    if (!g_statusHandle)
        return;
    g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    setState(SERVICE_START_PENDING);
    const AgentPaths paths = AgentPaths::standard();
    std::error_code ec;
    std::filesystem::create_directories(paths.privateDir, ec);
    AgentLog log(paths.logFile);
    DWORD exitCode = NO_ERROR;
    try {
        serviceWork(log);
    } catch (const std::exception& e) {
        log.error(std::string("service stopped on an error: ") + e.what());
        exitCode = ERROR_SERVICE_SPECIFIC_ERROR;
        g_status.dwServiceSpecificExitCode = 1;
    }
    setState(SERVICE_STOPPED, exitCode);
}

} // namespace

bool runAsService() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) != 0;
}

} // namespace vcagent
