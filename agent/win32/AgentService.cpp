// Service main, control handler and session tracking.
#include "agent/win32/AgentService.h"

#include "agent/core/AgentEngine.h"
#include "agent/core/AgentError.h"
#include "agent/win32/AgentLog.h"
#include "agent/win32/AgentPaths.h"
#include "agent/win32/AgentVersion.h"
#include "agent/win32/FolderSecurity.h"
#include "agent/win32/ReplaceFile.h"
#include "agent/win32/ServiceSettings.h"
#include "agent/win32/SessionLink.h"
#include "agent/win32/SystemApi.h"
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
bool g_republishRequested = false;

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
    case kControlRepublish: {
        const std::lock_guard lock(g_eventsMutex);
        g_republishRequested = true;
        SetEvent(g_wake);
        return NO_ERROR;
    }
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
    if (sys::WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) {
        for (DWORD i = 0; i < count; ++i)
            if (list[i].State == WTSActive)
                sessions.insert(list[i].SessionId);
        sys::WTSFreeMemory(list);
    }
    const DWORD console = WTSGetActiveConsoleSessionId();
    if (console != 0xFFFFFFFF)
        sessions.insert(console);
    return sessions;
}

// The folders, checked before anything is written: missing ones are created
// with their explicit descriptor; one that someone else owns or controls stops
// the service rather than have SYSTEM write where a user can reach.
void checkFolders(const AgentPaths& paths, AgentLog& log) {
    const std::wstring group = readShareGroupSid();
    const std::wstring service = serviceSidText();
    struct Folder {
        const std::filesystem::path& path;
        std::wstring dacl;
        std::vector<std::wstring> readers;
    };
    const Folder folders[] = {{paths.root, rootDacl(group), {group}},
                              {paths.published.parent_path(), rootDacl(group), {group}},
                              {paths.privateDir, privateDacl(), {}}};
    for (const Folder& folder : folders) {
        std::string why;
        if (GetFileAttributesW(folder.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            why = secureFolder(folder.path, folder.dacl);
            if (why.empty())
                log.warning("re-created " + narrow(folder.path.wstring()) + " with its permissions");
        } else {
            why = checkFolder(folder.path, {L"S-1-5-18", L"S-1-5-32-544", service}, folder.readers);
            if (why == kCannotShowOwners)
                why.clear(); // only the link check counts there
        }
        if (!why.empty())
            throw AgentError(
                narrow(folder.path.wstring()) + ": " + why +
                "; nothing is written there (run VCWorkstation.exe install again as administrator)");
    }
}

void serviceWork(AgentLog& log) {
    const AgentPaths paths = AgentPaths::standard();
    checkFolders(paths, log);
    log.enableFile(true);
    AgentSettings settings = readSettings([&](const std::string& e) { log.error(e); });
    settings.version = kAgentVersion;
    const SystemClock clock;
    const WindowsCalendar calendar;
    std::filesystem::path setAside;
    std::string stamp = localStamp();
    for (char& c : stamp)
        c = (c == ' ' || c == ':') ? '-' : c;
    const auto store = openWorkingStore(paths.workingStore, stamp, &setAside);
    if (!setAside.empty())
        log.error("the working store was damaged or not ours; kept as " + narrow(setAside.wstring()) +
                  ", a new one started (the days it held are not in the published file until restored)");
    Publisher publisher(paths.published, replaceFileWin32);
    std::mutex engineMutex;
    AgentEngine engine(clock, calendar, *store, publisher, settings,
                       [&](Severity severity, const std::string& e) { log.report(severity, e); });
    {
        const std::lock_guard lock(engineMutex);
        engine.start();
        // A longer publication asked for while the service was not running.
        if (const int days = takeRepublishDays(); days > 0)
            engine.republish(days);
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
    log.info(std::string("started, version ") + kAgentVersion + "; publishing to " +
             narrow(paths.published.wstring()));
    ULONGLONG lastScan = GetTickCount64();
    for (;;) {
        WaitForSingleObject(g_wake, 1000);
        std::deque<std::pair<DWORD, DWORD>> events;
        bool republish = false;
        {
            const std::lock_guard lock(g_eventsMutex);
            if (g_stopRequested)
                break;
            events.swap(g_sessionEvents);
            std::swap(republish, g_republishRequested);
        }
        if (republish) {
            const int days = takeRepublishDays();
            const std::lock_guard lock(engineMutex);
            if (days > 0 && engine.republish(days))
                log.info("republished the last " + std::to_string(days) + " days on request");
        }
        for (const auto& [event, session] : events) {
            switch (event) {
            case WTS_SESSION_LOGON:
            case WTS_CONSOLE_CONNECT:
            case WTS_REMOTE_CONNECT:
                follow(session);
                links[session]->wake();
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
                links[session]->wake();
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
        log.flush();
        const std::lock_guard lock(engineMutex);
        engine.tick();
    }
    setState(SERVICE_STOP_PENDING);
    // Save first: tearing the sessions down can take seconds, and a shutdown may
    // not wait for them.
    {
        const std::lock_guard lock(engineMutex);
        engine.stop();
    }
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
    AgentLog log(paths.logFile);
    log.enableFile(false);
    DWORD exitCode = NO_ERROR;
    try {
        serviceWork(log);
    } catch (const std::exception& e) {
        log.error(std::string("service stopped on an error: ") + e.what());
        // An error exit: the service manager's failure actions (set to apply to
        // such exits too) start the service again after a delay.
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
