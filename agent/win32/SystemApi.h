// The functions of system DLLs that are not KnownDLLs (wtsapi32, netapi32,
// userenv), loaded from System32 only: imported the usual way, the loader would
// look for them in the program's own folder first, and whoever can write there
// would run code as SYSTEM.
#pragma once

#include <windows.h>

#include <lm.h>
#include <wtsapi32.h>

namespace vcagent::sys {

BOOL WTSQueryUserToken(ULONG session, PHANDLE token);
BOOL WTSEnumerateSessionsW(HANDLE server, DWORD reserved, DWORD version, PWTS_SESSION_INFOW* info,
                           DWORD* count);
void WTSFreeMemory(PVOID memory);
BOOL WTSQuerySessionInformationW(HANDLE server, DWORD session, WTS_INFO_CLASS info, LPWSTR* buffer,
                                 DWORD* bytes);
NET_API_STATUS NetShareAdd(LPWSTR server, DWORD level, LPBYTE buffer, LPDWORD error);
NET_API_STATUS NetShareDel(LPWSTR server, LPWSTR name, DWORD reserved);
NET_API_STATUS NetShareGetInfo(LPWSTR server, LPWSTR name, DWORD level, LPBYTE* buffer);
NET_API_STATUS NetApiBufferFree(LPVOID buffer);
BOOL CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL inherit);
BOOL DestroyEnvironmentBlock(LPVOID environment);

// Restricts every later DLL load of the process to System32 (and the program's
// explicit choices); called first thing in wmain.
void restrictDllSearch();

} // namespace vcagent::sys
