// Service registration, folders, share, and the status report.
#include "agent/win32/Setup.h"

#include "agent/core/AgentEngine.h"
#include "agent/core/SqliteDb.h"
#include "agent/core/SqliteStatement.h"
#include "agent/win32/AgentLog.h"
#include "agent/win32/AgentPaths.h"
#include "agent/win32/WinText.h"

#include <windows.h>

#include <aclapi.h>
#include <lm.h>
#include <sddl.h>

#include <cstdio>
#include <vector>

namespace vcagent {

namespace {

void say(const std::string& text) {
    std::printf("%s\n", text.c_str());
}

// The SID of a local or domain group as text; the local Administrators group
// when empty.
bool groupSid(const std::wstring& group, std::wstring& sidText, std::string& error) {
    std::vector<unsigned char> sid(SECURITY_MAX_SID_SIZE);
    DWORD sidSize = static_cast<DWORD>(sid.size());
    if (group.empty()) {
        if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid.data(), &sidSize)) {
            error = errorText(GetLastError());
            return false;
        }
    } else {
        wchar_t domain[256];
        DWORD domainSize = 256;
        SID_NAME_USE use;
        if (!LookupAccountNameW(nullptr, group.c_str(), sid.data(), &sidSize, domain, &domainSize, &use)) {
            error = "group " + narrow(group) + " not found: " + errorText(GetLastError());
            return false;
        }
    }
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid.data(), &text)) {
        error = errorText(GetLastError());
        return false;
    }
    sidText = text;
    LocalFree(text);
    return true;
}

bool applySddl(const std::filesystem::path& folder, const std::wstring& sddl, std::string& error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        error = errorText(GetLastError());
        return false;
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    std::wstring path = folder.wstring();
    const DWORD rc = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT,
                                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                           nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
    if (rc != ERROR_SUCCESS) {
        error = errorText(rc);
        return false;
    }
    return true;
}

SC_HANDLE openManager(DWORD access) {
    return OpenSCManagerW(nullptr, nullptr, access);
}

bool waitForState(SC_HANDLE service, DWORD wanted, DWORD millis) {
    SERVICE_STATUS state{};
    for (DWORD waited = 0; waited <= millis; waited += 250) {
        if (!QueryServiceStatus(service, &state))
            return false;
        if (state.dwCurrentState == wanted)
            return true;
        Sleep(250);
    }
    return false;
}

const char* stateName(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED:
        return "stopped";
    case SERVICE_START_PENDING:
        return "starting";
    case SERVICE_STOP_PENDING:
        return "stopping";
    case SERVICE_RUNNING:
        return "running";
    case SERVICE_CONTINUE_PENDING:
        return "continuing";
    case SERVICE_PAUSE_PENDING:
        return "pausing";
    case SERVICE_PAUSED:
        return "paused";
    default:
        return "unknown";
    }
}

void registerEventSource(const std::wstring& program) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Applicat"
                        L"ion\\VCWorkstation",
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    RegSetValueExW(key, L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// Creates (or re-creates) the hidden read-only share on the program-data folder
// for the group.
DWORD createShare(const std::filesystem::path& root, const std::wstring& sid) {
    const std::wstring sddl = L"D:(A;;GR;;;" + sid + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return GetLastError();
    std::wstring name = kShareName;
    std::wstring path = root.wstring();
    std::wstring remark = L"Vellumcrest workstation data (read only)";
    SHARE_INFO_502 info{};
    info.shi502_netname = name.data();
    info.shi502_type = STYPE_DISKTREE;
    info.shi502_remark = remark.data();
    info.shi502_permissions = ACCESS_READ;
    info.shi502_max_uses = static_cast<DWORD>(-1);
    info.shi502_path = path.data();
    info.shi502_security_descriptor = descriptor;
    NET_API_STATUS rc = NetShareAdd(nullptr, 502, reinterpret_cast<LPBYTE>(&info), nullptr);
    if (rc == NERR_DuplicateShare) {
        NetShareDel(nullptr, name.data(), 0);
        rc = NetShareAdd(nullptr, 502, reinterpret_cast<LPBYTE>(&info), nullptr);
    }
    LocalFree(descriptor);
    return rc;
}

std::string shareErrorText(DWORD rc) {
    if (rc == ERROR_NOT_SUPPORTED)
        return "not supported on this system (error 50)";
    if (rc == NERR_NetNameNotFound)
        return "no such share (error 2310)";
    return errorText(rc);
}

std::string newestPublishedDay(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return "none (nothing published yet)";
    try {
        SqliteDb published(file, SqliteDb::Mode::ReadOnly);
        SqliteStatement query(published, "SELECT max(Date) FROM PCDaySummary");
        if (query.step() && query.isText(0))
            return query.text(0);
        return "none";
    } catch (const std::exception& e) {
        return std::string("unreadable (") + e.what() + ")";
    }
}

} // namespace

int install(const std::wstring& shareGroup) {
    const AgentPaths paths = AgentPaths::standard();
    AgentLog log(paths.logFile);
    wchar_t program[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH * 2);
    const std::wstring programPath(program, length);

    std::wstring sid;
    std::string error;
    if (!groupSid(shareGroup, sid, error)) {
        say("install: " + error);
        return kExitFailed;
    }
    std::error_code ec;
    std::filesystem::create_directories(paths.published.parent_path(), ec);
    std::filesystem::create_directories(paths.privateDir, ec);
    if (ec) {
        say("install: cannot create " + narrow(paths.root.wstring()) + ": " + ec.message());
        return kExitFailed;
    }
    // The shared folder: the service writes, the group reads. The private folder:
    // the service and administrators only, so the working store is not readable
    // through the share.
    if (!applySddl(paths.root, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;" + sid + L")", error) ||
        !applySddl(paths.privateDir, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", error))
        say("install: folder permissions not set: " + error);
    registerEventSource(programPath);

    SC_HANDLE manager = openManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        say("install: cannot open the service manager: " + errorText(GetLastError()));
        return kExitFailed;
    }
    const std::wstring binary = L"\"" + programPath + L"\"";
    SC_HANDLE service =
        CreateServiceW(manager, kServiceName, L"Vellumcrest Workstation Agent", SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary.c_str(),
                       nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
        // Installing again (a new version copied over) updates the registration.
        service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
        if (service)
            ChangeServiceConfigW(service, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                 binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                 L"Vellumcrest Workstation Agent");
    }
    if (!service) {
        say("install: cannot register the service: " + errorText(GetLastError()));
        CloseServiceHandle(manager);
        return kExitFailed;
    }
    std::wstring description = L"Records which application windows are in use "
                               L"and publishes whole days for the "
                               L"Vellumcrest console.";
    SERVICE_DESCRIPTIONW describe{description.data()};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &describe);
    SC_ACTION restart[] = {{SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}, {SC_ACTION_NONE, 0}};
    SERVICE_FAILURE_ACTIONSW failure{86400, nullptr, nullptr, 3, restart};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure);

    if (!StartServiceW(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        const std::string why = errorText(GetLastError());
        say("install: the service is registered but did not start: " + why);
        log.error("install: the service did not start: " + why);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return kExitFailed;
    }
    const bool running = waitForState(service, SERVICE_RUNNING, 30000);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (!running) {
        say("install: the service did not reach the running state; see " + narrow(paths.logFile.wstring()));
        return kExitFailed;
    }
    say("Service VCWorkstation installed and running.");

    const DWORD shareResult = createShare(paths.root, sid);
    if (shareResult != NERR_Success) {
        const std::string why = shareErrorText(shareResult);
        say("Share Vellumcrest$ could not be created: " + why + ".");
        say("The service keeps recording, but the console cannot read this "
            "workstation until the share exists.");
        log.error("install: share Vellumcrest$ could not be created: " + why);
        return kExitNoShare;
    }
    say("Share Vellumcrest$ created on " + narrow(paths.root.wstring()) + ", read only, for " +
        (shareGroup.empty() ? std::string("Administrators") : narrow(shareGroup)) + ".");
    log.info("installed");
    return kExitOk;
}

int uninstall(bool purge) {
    const AgentPaths paths = AgentPaths::standard();
    SC_HANDLE manager = openManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        say("uninstall: cannot open the service manager: " + errorText(GetLastError()));
        return kExitFailed;
    }
    int result = kExitOk;
    SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS state{};
        if (ControlService(service, SERVICE_CONTROL_STOP, &state) ||
            GetLastError() == ERROR_SERVICE_NOT_ACTIVE)
            waitForState(service, SERVICE_STOPPED, 30000);
        if (DeleteService(service)) {
            say("Service VCWorkstation removed.");
        } else {
            say("uninstall: cannot remove the service: " + errorText(GetLastError()));
            result = kExitFailed;
        }
        CloseServiceHandle(service);
    } else {
        say("Service VCWorkstation was not installed.");
    }
    CloseServiceHandle(manager);

    std::wstring share = kShareName;
    const NET_API_STATUS rc = NetShareDel(nullptr, share.data(), 0);
    if (rc == NERR_Success)
        say("Share Vellumcrest$ removed.");
    else if (rc != NERR_NetNameNotFound)
        say("Share Vellumcrest$ not removed: " + shareErrorText(rc));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\Even"
                                      L"tLog\\Application\\VCWorkstation");

    if (purge) {
        std::error_code ec;
        std::filesystem::remove_all(paths.root, ec);
        say(ec ? "Data not removed: " + ec.message() : "Data removed: " + narrow(paths.root.wstring()));
        if (ec)
            result = kExitFailed;
    } else {
        say("Data kept in " + narrow(paths.root.wstring()) + " (uninstall --purge removes it).");
    }
    return result;
}

int status() {
    const AgentPaths paths = AgentPaths::standard();
    int result = kExitNotRunning;
    SC_HANDLE manager = openManager(SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, kServiceName, SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS state{};
    if (service && QueryServiceStatus(service, &state)) {
        say(std::string("Service VCWorkstation: ") + stateName(state.dwCurrentState) + " (state " +
            std::to_string(state.dwCurrentState) + ")");
        if (state.dwCurrentState == SERVICE_RUNNING)
            result = kExitOk;
    } else {
        say("Service VCWorkstation: not installed");
    }
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);

    std::wstring share = kShareName;
    SHARE_INFO_2* info = nullptr;
    const NET_API_STATUS rc = NetShareGetInfo(nullptr, share.data(), 2, reinterpret_cast<LPBYTE*>(&info));
    if (rc == NERR_Success && info)
        say("Share Vellumcrest$: " + narrow(info->shi2_path));
    else
        say("Share Vellumcrest$: missing (" + shareErrorText(rc) + ")");
    if (info)
        NetApiBufferFree(info);

    const std::string newest = newestPublishedDay(paths.published);
    say("Published file: " + narrow(paths.published.wstring()));
    say("Newest published day: " + newest);

    std::string lastError = "none";
    try {
        SqliteDb working(paths.workingStore, SqliteDb::Mode::ReadOnly);
        SqliteStatement query(working, "SELECT Value FROM Facts WHERE Key = ?");
        query.bind(1, std::string_view(kFactLastError));
        if (query.step())
            lastError = query.text(0);
    } catch (const std::exception& e) {
        lastError = std::string("working store unreadable (") + e.what() + ")";
    }
    say("Last error: " + lastError);
    return result;
}

} // namespace vcagent
