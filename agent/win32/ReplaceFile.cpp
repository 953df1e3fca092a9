// MoveFileEx-based replace.
#include "agent/win32/ReplaceFile.h"

#include "agent/win32/WinText.h"

#include <windows.h>

namespace vcagent {

namespace {

// The NT status behind the thread's last error: "access denied" is also what a
// file waiting to be deleted answers, and only that case is worth a retry.
bool deletePending() {
    using Fn = LONG(NTAPI*)();
    static const auto lastStatus = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
    constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);
    return lastStatus && lastStatus() == kStatusDeletePending;
}

} // namespace

ReplaceOutcome replaceFileWin32(const std::filesystem::path& from, const std::filesystem::path& to,
                                std::string& error) {
    // Write-through: the rename is on disk before the call returns, so a power
    // cut leaves the old file or the new one.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ReplaceOutcome::Done;
    const DWORD code = GetLastError();
    const bool pending = code == ERROR_ACCESS_DENIED && deletePending();
    error = errorText(code);
    // A reader copying the file over the share holds it open; that passes. Any
    // other refusal (permissions changed under us) is a failure to report.
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_USER_MAPPED_FILE ||
        pending)
        return ReplaceOutcome::InUse;
    return ReplaceOutcome::Failed;
}

} // namespace vcagent
