// Session helper launch and pipe service.
#include "agent/win32/SessionLink.h"

#include "agent/core/SampleMessage.h"
#include "agent/core/TitleText.h"
#include "agent/win32/AgentLog.h"
#include "agent/win32/SystemApi.h"
#include "agent/win32/WinText.h"

#include <sddl.h>
#include <wtsapi32.h>

#include <random>
#include <vector>

namespace vcagent {

namespace {

// Closes a handle when it goes out of scope.
struct HandleGuard {
    HANDLE h = nullptr;
    ~HandleGuard() {
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

std::wstring sessionText(DWORD session, WTS_INFO_CLASS what) {
    wchar_t* text = nullptr;
    DWORD bytes = 0;
    std::wstring out;
    if (sys::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, what, &text, &bytes) && text)
        out = text;
    sys::WTSFreeMemory(text);
    return out;
}

// "DOMAIN\user": a domain account and a local one of the same name are two
// people (a local account's domain is the computer's name).
std::string sessionUser(DWORD session) {
    const std::wstring name = sessionText(session, WTSUserName);
    if (name.empty())
        return {};
    const std::wstring domain = sessionText(session, WTSDomainName);
    return cleanText(toU16(domain.empty() ? name : domain + L"\\" + name), 256);
}

// The logon SID of the session's token (the session's own identity), else the
// user's SID.
std::wstring sessionSid(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    wchar_t* text = nullptr;
    std::wstring sid;
    if (size && GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
        const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
        for (DWORD i = 0; i < groups->GroupCount && sid.empty(); ++i) {
            if ((groups->Groups[i].Attributes & SE_GROUP_LOGON_ID) == SE_GROUP_LOGON_ID &&
                ConvertSidToStringSidW(groups->Groups[i].Sid, &text)) {
                sid = text;
                LocalFree(text);
            }
        }
    }
    if (sid.empty()) {
        size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        buffer.assign(size ? size : 1, 0);
        if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
            ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
            sid = text;
            LocalFree(text);
        }
    }
    return sid;
}

} // namespace

SessionLink::SessionLink(DWORD session, std::wstring program, SampleSink samples, EndSink ended,
                         AgentLog& log)
    : m_session(session), m_program(std::move(program)), m_samples(std::move(samples)),
      m_ended(std::move(ended)), m_log(log), m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    m_thread = std::thread([this] { run(); });
}

SessionLink::~SessionLink() {
    SetEvent(m_stop);
    if (m_thread.joinable())
        m_thread.join();
    CloseHandle(m_stop);
    CloseHandle(m_wake);
}

void SessionLink::wake() {
    SetEvent(m_wake);
}

bool SessionLink::waitStop(DWORD millis) const {
    return WaitForSingleObject(m_stop, millis) == WAIT_OBJECT_0;
}

void SessionLink::run() {
    DWORD pause = 2000;
    while (!waitStop(0)) {
        const ULONGLONG started = GetTickCount64();
        const bool served = serveOneHelper();
        m_ended(m_session);
        // A helper that keeps failing at once is started less and less often.
        pause = (!served || GetTickCount64() - started < 10000) ? (pause < 60000 ? pause * 2 : 60000) : 2000;
        HANDLE waits[] = {m_stop, m_wake};
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, pause);
        if (woke == WAIT_OBJECT_0)
            break;
        if (woke == WAIT_OBJECT_0 + 1)
            pause = 2000; // the user just arrived: no reason to keep him waiting
    }
}

bool SessionLink::serveOneHelper() {
    HandleGuard token;
    if (!sys::WTSQueryUserToken(m_session, &token.h))
        return false;
    const std::string user = sessionUser(m_session);
    const std::wstring sid = sessionSid(token.h);
    if (user.empty() || sid.empty()) {
        m_log.error("session " + std::to_string(m_session) + ": no user name or identity");
        return false;
    }

    // Only the service (SYSTEM) and this session's logon may open the pipe;
    // remote clients never.
    const std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GRGW;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        m_log.error("session pipe security: " + errorText(GetLastError()));
        return false;
    }
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    // An unguessable name, and a first instance only: a process that created the
    // name first makes the creation fail instead of receiving the helper.
    std::random_device random;
    const std::wstring pipeName = L"\\\\.\\pipe\\VCWorkstation-" + std::to_wstring(m_session) + L"-" +
                                  std::to_wstring(random()) + std::to_wstring(random());
    HandleGuard pipe{CreateNamedPipeW(
        pipeName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        static_cast<DWORD>(SampleMessage::kMaxBytes), 0, &security)};
    LocalFree(descriptor);
    if (pipe.h == INVALID_HANDLE_VALUE) {
        m_log.error("session pipe: " + errorText(GetLastError()));
        return false;
    }

    std::wstring commandLine = L"\"" + m_program + L"\" --session-helper " + pipeName;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = const_cast<wchar_t*>(L"WinSta0\\Default");
    PROCESS_INFORMATION process{};
    // The user's own environment, not the service's (SYSTEM's temp folder and
    // variables are none of the helper's business).
    void* environment = nullptr;
    if (!sys::CreateEnvironmentBlock(&environment, token.h, FALSE))
        environment = nullptr;
    const BOOL created = CreateProcessAsUserW(token.h, m_program.c_str(), commandLine.data(), nullptr,
                                              nullptr, FALSE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                                              environment, nullptr, &startup, &process);
    const DWORD createError = GetLastError();
    if (environment)
        sys::DestroyEnvironmentBlock(environment);
    if (!created) {
        SetLastError(createError);
        m_log.error("starting the session helper in session " + std::to_string(m_session) + ": " +
                    errorText(GetLastError()));
        return false;
    }
    HandleGuard helper{process.hProcess};
    CloseHandle(process.hThread);

    HandleGuard ioEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED io{};
    io.hEvent = ioEvent.h;
    bool connected = ConnectNamedPipe(pipe.h, &io) || GetLastError() == ERROR_PIPE_CONNECTED;
    if (!connected && GetLastError() == ERROR_IO_PENDING) {
        HANDLE waits[] = {ioEvent.h, m_stop, helper.h};
        const DWORD woke = WaitForMultipleObjects(3, waits, FALSE, 30000);
        DWORD ignored = 0;
        connected = woke == WAIT_OBJECT_0 && GetOverlappedResult(pipe.h, &io, &ignored, FALSE);
        if (!connected)
            CancelIo(pipe.h);
    }
    ULONG client = 0;
    if (connected && (!GetNamedPipeClientProcessId(pipe.h, &client) || client != process.dwProcessId)) {
        m_log.error("session " + std::to_string(m_session) + ": the pipe was opened by another process");
        connected = false;
    }

    std::vector<char> buffer(SampleMessage::kMaxBytes + 1);
    while (connected) {
        ResetEvent(ioEvent.h);
        DWORD got = 0;
        BOOL ok = ReadFile(pipe.h, buffer.data(), static_cast<DWORD>(buffer.size()), &got, &io);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            HANDLE waits[] = {ioEvent.h, m_stop};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
                CancelIo(pipe.h);
                break;
            }
            ok = GetOverlappedResult(pipe.h, &io, &got, FALSE);
        }
        // A message larger than any sample is not from our helper: drop the
        // connection.
        if (!ok)
            break;
        const auto message = SampleMessage::decode(std::string_view(buffer.data(), got));
        if (!message) {
            m_log.error("session " + std::to_string(m_session) + ": malformed sample, helper dropped");
            break;
        }
        Sample sample;
        sample.user = user;
        sample.title = cleanText(message->title);
        sample.idle = message->idleMillis;
        sample.locked = m_locked || message->noInput;
        sample.interval = message->intervalMillis;
        m_samples(m_session, sample);
    }
    DisconnectNamedPipe(pipe.h);
    bool stopping = waitStop(0);
    if (WaitForSingleObject(helper.h, 3000) == WAIT_TIMEOUT) {
        TerminateProcess(helper.h, 1);
        stopping = true; // ended by us
    }
    // A helper ends by itself only when its pipe breaks, with exit code 0; any
    // other end (killed from the task manager, crashed) is counted and told.
    DWORD exitCode = 0;
    if (!stopping && GetExitCodeProcess(helper.h, &exitCode) && exitCode != 0) {
        ++m_helperDeaths;
        m_log.warning("session " + std::to_string(m_session) +
                      ": the session helper ended unexpectedly (exit code " + std::to_string(exitCode) +
                      "); " + std::to_string(m_helperDeaths) +
                      " times in this session; its time until it is back is not counted");
    }
    return true;
}

} // namespace vcagent
