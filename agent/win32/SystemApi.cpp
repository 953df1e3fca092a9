// System32-only loading of the non-KnownDLL system functions.
#include "agent/win32/SystemApi.h"

namespace vcagent::sys {

namespace {

FARPROC find(const wchar_t* dll, const char* name) {
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

template <typename F> F resolve(const wchar_t* dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(find(dll, name)));
}

} // namespace

#define VC_SYSTEM_CALL(dll, name, failure, ...)                                                              \
    static const auto fn = resolve<decltype(&::name)>(dll, #name);                                           \
    if (!fn) {                                                                                               \
        SetLastError(ERROR_PROC_NOT_FOUND);                                                                  \
        return failure;                                                                                      \
    }                                                                                                        \
    return fn(__VA_ARGS__)

BOOL WTSQueryUserToken(ULONG session, PHANDLE token) {
    VC_SYSTEM_CALL(L"wtsapi32.dll", WTSQueryUserToken, FALSE, session, token);
}
BOOL WTSEnumerateSessionsW(HANDLE server, DWORD reserved, DWORD version, PWTS_SESSION_INFOW* info,
                           DWORD* count) {
    VC_SYSTEM_CALL(L"wtsapi32.dll", WTSEnumerateSessionsW, FALSE, server, reserved, version, info, count);
}
void WTSFreeMemory(PVOID memory) {
    static const auto fn = resolve<decltype(&::WTSFreeMemory)>(L"wtsapi32.dll", "WTSFreeMemory");
    if (fn && memory)
        fn(memory);
}
BOOL WTSQuerySessionInformationW(HANDLE server, DWORD session, WTS_INFO_CLASS info, LPWSTR* buffer,
                                 DWORD* bytes) {
    VC_SYSTEM_CALL(L"wtsapi32.dll", WTSQuerySessionInformationW, FALSE, server, session, info, buffer, bytes);
}
NET_API_STATUS NetShareAdd(LPWSTR server, DWORD level, LPBYTE buffer, LPDWORD error) {
    VC_SYSTEM_CALL(L"netapi32.dll", NetShareAdd, ERROR_PROC_NOT_FOUND, server, level, buffer, error);
}
NET_API_STATUS NetShareDel(LPWSTR server, LPWSTR name, DWORD reserved) {
    VC_SYSTEM_CALL(L"netapi32.dll", NetShareDel, ERROR_PROC_NOT_FOUND, server, name, reserved);
}
NET_API_STATUS NetShareGetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE* buffer) {
    VC_SYSTEM_CALL(L"netapi32.dll", NetShareGetInfo, ERROR_PROC_NOT_FOUND, server, name, level, buffer);
}
NET_API_STATUS NetApiBufferFree(LPVOID buffer) {
    VC_SYSTEM_CALL(L"netapi32.dll", NetApiBufferFree, ERROR_PROC_NOT_FOUND, buffer);
}
BOOL CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit) {
    using Fn = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
    static const auto fn = resolve<Fn>(L"userenv.dll", "CreateEnvironmentBlock");
    if (!fn) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return fn(environment, token, inherit);
}
BOOL DestroyEnvironmentBlock(LPVOID environment) {
    using Fn = BOOL(WINAPI*)(LPVOID);
    static const auto fn = resolve<Fn>(L"userenv.dll", "DestroyEnvironmentBlock");
    return fn ? fn(environment) : FALSE;
}

void restrictDllSearch() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace vcagent::sys
