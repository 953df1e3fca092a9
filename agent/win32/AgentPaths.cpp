// Agent file locations.
#include "agent/win32/AgentPaths.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>
namespace vcagent {

AgentPaths AgentPaths::standard() {
    std::filesystem::path programData = L"C:\\ProgramData";
    wchar_t* folder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder)))
        programData = folder;
    CoTaskMemFree(folder);
    std::filesystem::path programFiles = L"C:\\Program Files";
    folder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &folder)))
        programFiles = folder;
    CoTaskMemFree(folder);
    AgentPaths paths;
    paths.programDir = programFiles / L"Vellumcrest";
    paths.programFile = paths.programDir / L"VCWorkstation.exe";
    paths.root = programData / L"Vellumcrest";
    paths.published = paths.root / L"Data" / L"VCWorkstation.mdb";
    paths.privateDir = paths.root / L"Agent";
    paths.workingStore = paths.privateDir / L"usage.db";
    paths.logFile = paths.privateDir / L"VCWorkstation.log";
    return paths;
}

} // namespace vcagent
