// MoveFileEx-based replace.
#include "agent/win32/ReplaceFile.h"

#include "agent/win32/WinText.h"

#include <windows.h>

namespace vcagent {

ReplaceOutcome replaceFileWin32(const std::filesystem::path& from, const std::filesystem::path& to,
                                std::string& error) {
    // Write-through: the rename is on disk before the call returns, so a power
    // cut leaves the old file or the new one.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return ReplaceOutcome::Done;
    const DWORD code = GetLastError();
    error = errorText(code);
    // A reader copying the file over the share holds it open; that passes.
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED ||
        code == ERROR_USER_MAPPED_FILE)
        return ReplaceOutcome::InUse;
    return ReplaceOutcome::Failed;
}

} // namespace vcagent
