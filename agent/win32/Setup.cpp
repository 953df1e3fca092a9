// Service registration, folders, share, and the status report.
#include "agent/win32/Setup.h"

#include "agent/core/AgentEngine.h"
#include "agent/core/SqliteDb.h"
#include "agent/core/SqliteStatement.h"
#include "agent/core/TitleRedaction.h"
#include "agent/win32/AgentLog.h"
#include "agent/win32/AgentPaths.h"
#include "agent/win32/AgentVersion.h"
#include "agent/win32/FolderSecurity.h"
#include "agent/win32/ServiceSettings.h"
#include "agent/win32/SystemApi.h"
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
    NET_API_STATUS rc = sys::NetShareAdd(nullptr, 502, reinterpret_cast<LPBYTE>(&info), nullptr);
    if (rc == NERR_DuplicateShare) {
        sys::NetShareDel(nullptr, name.data(), 0);
        rc = sys::NetShareAdd(nullptr, 502, reinterpret_cast<LPBYTE>(&info), nullptr);
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
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_ACCESS_DENIED ? "cannot be read: run as administrator"
                                                     : "none (nothing published yet)";
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

// The privileges the service keeps: reading a session's token and starting the
// helper with it; every other privilege of LocalSystem is dropped at start.
const wchar_t kRequiredPrivileges[] = L"SeTcbPrivilege\0SeAssignPrimaryTokenPrivilege\0"
                                      L"SeIncreaseQuotaPrivilege\0SeChangeNotifyPrivilege\0";

// Restart after 1, 1 and 5 minutes, also when the service stops itself with an
// error (a damaged disk, a refused folder), and keep restarting.
bool configureService(SC_HANDLE service, std::string& error) {
    std::wstring description = L"Records which application windows are in use "
                               L"and publishes whole days for the "
                               L"Vellumcrest console.";
    SERVICE_DESCRIPTIONW describe{description.data()};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &describe);
    SC_ACTION restart[] = {
        {SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 60000}, {SC_ACTION_RESTART, 300000}};
    SERVICE_FAILURE_ACTIONSW failure{86400, nullptr, nullptr, 3, restart};
    SERVICE_FAILURE_ACTIONS_FLAG onErrors{TRUE};
    std::wstring privileges(kRequiredPrivileges, sizeof kRequiredPrivileges / sizeof(wchar_t));
    SERVICE_REQUIRED_PRIVILEGES_INFOW required{privileges.data()};
    SERVICE_SID_INFO sidInfo{SERVICE_SID_TYPE_UNRESTRICTED};
    struct Step {
        DWORD level;
        void* info;
        const char* what;
    };
    const Step steps[] = {{SERVICE_CONFIG_FAILURE_ACTIONS, &failure, "failure actions"},
                          {SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onErrors, "failure actions on error exits"},
                          {SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &required, "required privileges"},
                          {SERVICE_CONFIG_SERVICE_SID_INFO, &sidInfo, "service SID"}};
    for (const Step& step : steps) {
        if (!ChangeServiceConfig2W(service, step.level, step.info)) {
            const DWORD code = GetLastError();
            // Systems without these settings (Wine) cannot set them; `status --verify` says so.
            if (code == ERROR_INVALID_LEVEL || code == ERROR_CALL_NOT_IMPLEMENTED ||
                code == ERROR_INVALID_PARAMETER)
                continue;
            error = std::string(step.what) + ": " + errorText(code);
            return false;
        }
    }
    return true;
}

// Refuses a registered location that others could change: a network path, a
// mapped or removable drive.
std::string locationProblem(const std::filesystem::path& file) {
    const std::wstring text = file.wstring();
    if (text.rfind(L"\\\\", 0) == 0)
        return "it is a network path";
    const std::wstring root = file.root_path().wstring();
    const UINT type = GetDriveTypeW(root.c_str());
    if (type != DRIVE_FIXED)
        return "it is on a " +
               std::string(type == DRIVE_REMOTE      ? "network"
                           : type == DRIVE_REMOVABLE ? "removable"
                                                     : "non-local") +
               " drive";
    return {};
}

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

void stopService(SC_HANDLE manager) {
    SC_HANDLE service = OpenServiceW(manager, kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!service)
        return;
    SERVICE_STATUS state{};
    if (ControlService(service, SERVICE_CONTROL_STOP, &state) || GetLastError() == ERROR_SERVICE_NOT_ACTIVE)
        waitForState(service, SERVICE_STOPPED, 30000);
    CloseServiceHandle(service);
}

// Copies the program into its administrators-only folder, beside nothing else.
std::string placeProgram(const std::filesystem::path& from, const AgentPaths& paths) {
    if (std::string why = secureFolder(paths.programDir, programDacl()); !why.empty())
        return narrow(paths.programDir.wstring()) + ": " + why;
    if (samePath(from, paths.programFile))
        return {};
    std::filesystem::path temporary = paths.programFile;
    temporary += L".new";
    DeleteFileW(temporary.c_str());
    if (!CopyFileW(from.c_str(), temporary.c_str(), FALSE))
        return "cannot copy the program: " + errorText(GetLastError());
    if (!MoveFileExW(temporary.c_str(), paths.programFile.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(temporary.c_str());
        return "cannot put the program in place: " + errorText(code);
    }
    return {};
}

} // namespace

int install(const std::wstring& shareGroup, bool fromMsi) {
    const AgentPaths paths = AgentPaths::standard();
    // Nothing is created before it is clear the rest can be done too.
    if (!isElevated()) {
        say("install: run as administrator (an elevated command prompt); nothing was changed.");
        return kExitFailed;
    }
    wchar_t program[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH * 2);
    const std::filesystem::path programPath(std::wstring(program, length));

    std::wstring sid;
    std::string error;
    if (!groupSid(shareGroup, sid, error)) {
        say("install: " + error);
        return kExitFailed;
    }
    if (std::string why = locationProblem(paths.programFile); !why.empty()) {
        say("install: cannot register " + narrow(paths.programFile.wstring()) + ": " + why);
        return kExitFailed;
    }
    SC_HANDLE manager = openManager(SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        say("install: cannot open the service manager: " + errorText(GetLastError()));
        return kExitFailed;
    }
    // A running older copy holds the program file.
    stopService(manager);
    if (std::string why = placeProgram(programPath, paths); !why.empty()) {
        say("install: " + why);
        CloseServiceHandle(manager);
        return kExitFailed;
    }
    const std::wstring binary = L"\"" + paths.programFile.wstring() + L"\"";
    SC_HANDLE service =
        CreateServiceW(manager, kServiceName, L"Vellumcrest Workstation Agent", SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary.c_str(),
                       nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS) {
        // Installing again (a new version) updates the registration.
        service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
        if (service && !ChangeServiceConfigW(service, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                                             SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr,
                                             nullptr, nullptr, L"Vellumcrest Workstation Agent")) {
            say("install: cannot update the service: " + errorText(GetLastError()));
            CloseServiceHandle(service);
            CloseServiceHandle(manager);
            return kExitFailed;
        }
    }
    if (!service) {
        say("install: cannot register the service: " + errorText(GetLastError()));
        CloseServiceHandle(manager);
        return kExitFailed;
    }
    std::string fault;
    if (!configureService(service, error))
        fault = "cannot configure the service: " + error;
    // The folders: the service writes, the group reads the shared one; the
    // private one is the service's and the administrators' only. Any failure
    // here stops the installation: a folder with the wrong owner or entries
    // would hand every user's titles to whoever controls it.
    const std::filesystem::path folders[] = {paths.root, paths.published.parent_path(), paths.privateDir};
    for (const auto& folder : folders) {
        if (!fault.empty())
            break;
        const std::wstring dacl = folder == paths.privateDir ? privateDacl() : rootDacl(sid);
        if (std::string why = secureFolder(folder, dacl); !why.empty())
            fault = narrow(folder.wstring()) + ": " + why;
    }
    if (fault.empty() && !writeShareGroupSid(sid))
        fault = "cannot record the share group in the registry";
    if (!fault.empty()) {
        say("install: " + fault);
        say("install: the service is registered but not started; fix the above and install again.");
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return kExitFailed;
    }
    registerEventSource(paths.programFile.wstring());
    AgentLog log(paths.logFile);

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
    say(std::string("Service VCWorkstation ") + kAgentVersion + " installed and running from " +
        narrow(paths.programFile.wstring()) + ".");

    const DWORD shareResult = createShare(paths.root, sid);
    if (shareResult != NERR_Success) {
        const std::string why = shareErrorText(shareResult);
        say("Share Vellumcrest$ could not be created: " + why + ".");
        say("The service keeps recording, but the console cannot read this "
            "workstation until the share exists.");
        log.error("install: share Vellumcrest$ could not be created: " + why);
        // Under an installer package the share is reported (event log, status)
        // but does not roll the installation back.
        return fromMsi ? kExitOk : kExitNoShare;
    }
    say("Share Vellumcrest$ created on " + narrow(paths.root.wstring()) + ", read only, for " +
        (shareGroup.empty() ? std::string("Administrators") : narrow(shareGroup)) + ".");
    log.info("installed");
    return kExitOk;
}

int uninstall(bool purge, bool fromMsi) {
    const AgentPaths paths = AgentPaths::standard();
    if (!isElevated()) {
        say("uninstall: run as administrator (an elevated command prompt); nothing was changed.");
        return kExitFailed;
    }
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
    const NET_API_STATUS rc = sys::NetShareDel(nullptr, share.data(), 0);
    if (rc == NERR_Success)
        say("Share Vellumcrest$ removed.");
    else if (rc != NERR_NetNameNotFound)
        say("Share Vellumcrest$ not removed: " + shareErrorText(rc));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\Even"
                                      L"tLog\\Application\\VCWorkstation");
    // The installer package removes its own files; a hand-made installation's
    // copy goes now, or at the next restart while this very program runs.
    if (!fromMsi && !DeleteFileW(paths.programFile.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        MoveFileExW(paths.programFile.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);

    if (purge) {
        // Never through a link: a junction planted inside would otherwise take
        // SYSTEM's deletion elsewhere.
        const std::string why = removeTree(paths.root);
        say(why.empty() ? "Data removed: " + narrow(paths.root.wstring()) : "Data not removed: " + why);
        if (!why.empty())
            result = kExitFailed;
    } else {
        say("Data kept in " + narrow(paths.root.wstring()) + " (uninstall --purge removes it).");
    }
    return result;
}

namespace {

std::string factOf(SqliteDb& db, const char* key) {
    SqliteStatement query(db, "SELECT Value FROM Facts WHERE Key = ?");
    query.bind(1, std::string_view(key));
    return query.step() ? query.text(0) : std::string();
}

std::string timeOf(const std::string& millis) {
    try {
        return millis.empty() ? std::string() : localStamp(std::stoll(millis));
    } catch (const std::exception&) {
        return "unknown time";
    }
}

// One line per check; false when it failed.
bool verdict(const std::string& what, const std::string& problem) {
    say((problem.empty() ? "PASS  " : "FAIL  ") + what + (problem.empty() ? "" : ": " + problem));
    return problem.empty();
}

std::string cannotShow(DWORD code) {
    return "this system cannot show it (" + errorText(code) + ")";
}

bool verifyInstallation(const AgentPaths& paths) {
    bool all = true;
    const std::wstring group = readShareGroupSid();
    const std::wstring service = serviceSidText();
    const std::vector<std::wstring> full{L"S-1-5-18", L"S-1-5-32-544", service};
    all &= verdict("folder " + narrow(paths.root.wstring()) + " (owner, access list)",
                   checkFolder(paths.root, full, {group}));
    all &= verdict("folder " + narrow(paths.published.parent_path().wstring()) + " (owner, access list)",
                   checkFolder(paths.published.parent_path(), full, {group}));
    all &= verdict("folder " + narrow(paths.privateDir.wstring()) + " (owner, access list)",
                   checkFolder(paths.privateDir, full, {}));

    // The share: read only, for the recorded group and nobody else.
    std::wstring share = kShareName;
    SHARE_INFO_502* info = nullptr;
    std::string shareProblem;
    const NET_API_STATUS rc =
        sys::NetShareGetInfo(nullptr, share.data(), 502, reinterpret_cast<LPBYTE*>(&info));
    if (rc != NERR_Success) {
        shareProblem = rc == ERROR_NOT_SUPPORTED ? cannotShow(rc) : "missing (" + shareErrorText(rc) + ")";
    } else {
        if (!samePath(info->shi502_path, paths.root))
            shareProblem = "it shares " + narrow(info->shi502_path);
        else if (!info->shi502_security_descriptor)
            shareProblem = "it has no permissions (everyone may read)";
        else {
            BOOL present = FALSE;
            BOOL defaulted = FALSE;
            PACL dacl = nullptr;
            GetSecurityDescriptorDacl(info->shi502_security_descriptor, &present, &dacl, &defaulted);
            for (DWORD i = 0; present && dacl && i < dacl->AceCount && shareProblem.empty(); ++i) {
                void* raw = nullptr;
                if (!GetAce(dacl, i, &raw))
                    continue;
                auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
                wchar_t* text = nullptr;
                std::wstring who;
                if (ConvertSidToStringSidW(&ace->SidStart, &text)) {
                    who = text;
                    LocalFree(text);
                }
                if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
                    (who != group ||
                     (ace->Mask & ~(GENERIC_READ | FILE_GENERIC_READ | FILE_GENERIC_EXECUTE)) != 0))
                    shareProblem = "it grants " + narrow(who) + " more than the group's reading";
            }
            if (!present || !dacl)
                shareProblem = "it has no permissions (everyone may read)";
        }
    }
    if (info)
        sys::NetApiBufferFree(info);
    all &= verdict("share Vellumcrest$ (path, read only for the group)", shareProblem);

    SC_HANDLE manager = openManager(SC_MANAGER_CONNECT);
    SC_HANDLE handle = manager ? OpenServiceW(manager, kServiceName, SERVICE_QUERY_CONFIG) : nullptr;
    std::string pathProblem = handle ? "" : "the service is not installed";
    std::string failureProblem = pathProblem;
    std::string privilegeProblem = pathProblem;
    if (handle) {
        std::vector<unsigned char> buffer(8192);
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (QueryServiceConfigW(handle, config, static_cast<DWORD>(buffer.size()), &needed)) {
            std::wstring image = config->lpBinaryPathName ? config->lpBinaryPathName : L"";
            if (image.size() >= 2 && image.front() == L'"' && image.back() == L'"')
                image = image.substr(1, image.size() - 2);
            if (!samePath(image, paths.programFile))
                pathProblem =
                    "registered as " + narrow(image) + ", not " + narrow(paths.programFile.wstring());
            else if (std::string why = locationProblem(image); !why.empty())
                pathProblem = why;
            else
                pathProblem = checkFolder(paths.programDir,
                                          {L"S-1-5-18", L"S-1-5-32-544",
                                           L"S-1-5-80-956008885-3418522649-1831038044-1851281369-2271426893"},
                                          {L"S-1-5-32-545", L"S-1-5-11", L"S-1-15-2-1", L"S-1-15-2-2"});
        } else {
            pathProblem = "cannot be read: " + errorText(GetLastError());
        }
        if (QueryServiceConfig2W(handle, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &needed)) {
            const auto* actions = reinterpret_cast<SERVICE_FAILURE_ACTIONSW*>(buffer.data());
            if (actions->cActions == 0)
                failureProblem = "none set";
            for (DWORD i = 0; i < actions->cActions && failureProblem.empty(); ++i)
                if (actions->lpsaActions[i].Type != SC_ACTION_RESTART)
                    failureProblem = "action " + std::to_string(i + 1) + " does not restart";
        } else {
            failureProblem = cannotShow(GetLastError());
        }
        if (failureProblem.empty()) {
            if (QueryServiceConfig2W(handle, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, buffer.data(),
                                     static_cast<DWORD>(buffer.size()), &needed)) {
                if (!reinterpret_cast<SERVICE_FAILURE_ACTIONS_FLAG*>(buffer.data())
                         ->fFailureActionsOnNonCrashFailures)
                    failureProblem = "they do not apply when the service stops with an error";
            } else {
                failureProblem = cannotShow(GetLastError());
            }
        }
        if (QueryServiceConfig2W(handle, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &needed)) {
            const auto* required = reinterpret_cast<SERVICE_REQUIRED_PRIVILEGES_INFOW*>(buffer.data());
            std::wstring got;
            for (const wchar_t* p = required->pmszRequiredPrivileges; p && *p; p += wcslen(p) + 1)
                got += std::wstring(p) + L";";
            std::wstring want;
            for (const wchar_t* p = kRequiredPrivileges; *p; p += wcslen(p) + 1)
                want += std::wstring(p) + L";";
            if (got != want)
                privilegeProblem =
                    got.empty() ? "all of LocalSystem's (none declared)" : "declared: " + narrow(got);
        } else {
            privilegeProblem = cannotShow(GetLastError());
        }
        if (privilegeProblem.empty() &&
            QueryServiceConfig2W(handle, SERVICE_CONFIG_SERVICE_SID_INFO, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &needed) &&
            reinterpret_cast<SERVICE_SID_INFO*>(buffer.data())->dwServiceSidType == SERVICE_SID_TYPE_NONE)
            privilegeProblem = "no service SID";
        CloseServiceHandle(handle);
    }
    if (manager)
        CloseServiceHandle(manager);
    all &=
        verdict("registered program " + narrow(paths.programFile.wstring()) + " and its folder", pathProblem);
    all &= verdict("failure actions (restart, also after an error exit)", failureProblem);
    all &= verdict("required privileges and service SID", privilegeProblem);
    return all;
}

} // namespace

int status(bool verify) {
    const AgentPaths paths = AgentPaths::standard();
    say(std::string("VCWorkstation ") + kAgentVersion);
    const bool elevated = isElevated();
    if (verify) {
        if (!elevated) {
            say("status --verify: run as administrator (an elevated command prompt).");
            return kExitFailed;
        }
        return verifyInstallation(paths) ? kExitOk : kExitFailed;
    }
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
    const NET_API_STATUS rc =
        sys::NetShareGetInfo(nullptr, share.data(), 2, reinterpret_cast<LPBYTE*>(&info));
    if (rc == NERR_Success && info)
        say("Share Vellumcrest$: " + narrow(info->shi2_path));
    else if (rc == ERROR_ACCESS_DENIED)
        say("Share Vellumcrest$: cannot be read: run as administrator");
    else
        say("Share Vellumcrest$: missing (" + shareErrorText(rc) + ")");
    if (info)
        sys::NetApiBufferFree(info);

    say("Published file: " + narrow(paths.published.wstring()));
    say("Newest published day: " + newestPublishedDay(paths.published));

    std::string lastError = "none";
    std::string lastPublished = "never";
    try {
        SqliteDb working(paths.workingStore, SqliteDb::Mode::ReadOnly);
        if (const std::string at = factOf(working, kFactLastPublished); !at.empty())
            lastPublished = timeOf(at) + ", days through " + factOf(working, kFactPublishedThrough);
        if (const std::string text = factOf(working, kFactLastError); !text.empty()) {
            const std::string at = timeOf(factOf(working, kFactLastErrorAt));
            lastError = (at.empty() ? "" : at + "  ") + text;
        }
    } catch (const std::exception& e) {
        const std::string why = elevated ? std::string("working store unreadable (") + e.what() + ")"
                                         : "cannot be read: run as administrator";
        lastError = lastPublished = why;
    }
    say("Last publication: " + lastPublished);
    say("Last error: " + lastError);
    const TitleRedaction redaction = TitleRedaction::parse(readRedactionLines());
    say("Title redaction: " + std::to_string(redaction.rules().size()) + " rules active" +
        (redaction.rejected().empty() ? ""
                                      : ", " + std::to_string(redaction.rejected().size()) + " rejected:"));
    for (const auto& rejected : redaction.rejected())
        say("  rejected \"" + rejected.line + "\": " + rejected.reason);
    return result;
}

int republish(unsigned long days) {
    if (!isElevated()) {
        say("publish: run as administrator (an elevated command prompt).");
        return kExitFailed;
    }
    std::string before;
    const AgentPaths paths = AgentPaths::standard();
    auto lastPublished = [&] {
        try {
            SqliteDb working(paths.workingStore, SqliteDb::Mode::ReadOnly);
            return factOf(working, kFactLastPublished);
        } catch (const std::exception&) {
            return std::string();
        }
    };
    before = lastPublished();
    if (!writeRepublishDays(days)) {
        say("publish: cannot write the request to the registry: " + errorText(GetLastError()));
        return kExitFailed;
    }
    SC_HANDLE manager = openManager(SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, kServiceName, SERVICE_USER_DEFINED_CONTROL) : nullptr;
    SERVICE_STATUS state{};
    const bool sent = service && ControlService(service, kControlRepublish, &state);
    const DWORD code = GetLastError();
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    if (!sent) {
        say("publish: the service did not take the request (" + errorText(code) +
            "); it publishes the last " + std::to_string(days) + " days at its next start.");
        return kExitFailed;
    }
    for (int i = 0; i < 120; ++i) {
        Sleep(500);
        if (lastPublished() != before) {
            say("Published the last " + std::to_string(days) + " complete days to " +
                narrow(paths.published.wstring()) + ".");
            return kExitOk;
        }
    }
    say("publish: requested, but no new publication within a minute; see status.");
    return kExitFailed;
}

} // namespace vcagent
