// Where the agent keeps its files: the shared program-data folder with
// Data\VCWorkstation.mdb, and the private folder beneath it for the working
// store and the log.
#pragma once

#include <filesystem>

namespace vcagent {

struct AgentPaths {
    std::filesystem::path root;       // %ProgramData%\Vellumcrest, shared as Vellumcrest$
    std::filesystem::path published;  // root\Data\VCWorkstation.mdb
    std::filesystem::path privateDir; // root\Agent (readable by the service and
                                      // administrators only)
    std::filesystem::path workingStore;
    std::filesystem::path logFile;
    std::filesystem::path programDir;  // %ProgramFiles%\Vellumcrest (administrators only)
    std::filesystem::path programFile; // programDir\VCWorkstation.exe, the registered program

    static AgentPaths standard();
};

inline constexpr const wchar_t* kServiceName = L"VCWorkstation";
inline constexpr const wchar_t* kShareName = L"Vellumcrest$";
inline constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\Vellumcrest\\VCWorkstation";
// The service control that asks for a longer publication (the days are in the
// settings key's RepublishDays value).
inline constexpr unsigned long kControlRepublish = 200;

} // namespace vcagent
