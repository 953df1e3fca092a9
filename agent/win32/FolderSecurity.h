// The agent's folders and who may touch them: created with an explicit
// descriptor owned by Administrators, an existing folder taken over only when
// nobody else owns or controls it, checked again at every service start, and
// deleted without following links.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vcagent {

// False where the system keeps no owners or access lists of its own (Wine).
bool ownersKept();
inline constexpr const char* kCannotShowOwners =
    "this system cannot show it (it keeps no owners or access lists)";

// True when this process runs with the Administrators group enabled (an
// elevated administrator, or SYSTEM).
bool isElevated();

// "S-1-5-80-...": the service's own SID, which Windows derives from its name.
std::wstring serviceSidText();

// The DACL (SDDL "D:P..." form) of each folder: protected, for SYSTEM, the
// administrators, the service and (root only) the share group reading.
std::wstring rootDacl(const std::wstring& groupSid);
std::wstring privateDacl();
std::wstring programDacl();

// Creates the folder with owner Administrators and `dacl`, or takes over an
// existing one after checking it; "" when done, else why not. Refused: a
// reparse point, a folder owned by anyone but the administrators, SYSTEM or
// TrustedInstaller, explicit entries for anyone else that grant more than reading.
std::string secureFolder(const std::filesystem::path& folder, const std::wstring& dacl);

// "" when the folder is a plain folder owned by the administrators (or SYSTEM)
// whose DACL is protected and grants only the expected SIDs (others at most
// reading), else what is wrong.
std::string checkFolder(const std::filesystem::path& folder, const std::vector<std::wstring>& fullSids,
                        const std::vector<std::wstring>& readSids);

// Deletes the tree; a link or junction inside is removed itself, never
// followed. "" when done.
std::string removeTree(const std::filesystem::path& folder);

} // namespace vcagent
