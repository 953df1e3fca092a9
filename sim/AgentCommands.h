// The vcnetsim command line: generate, advance, service and enumeration.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace AgentCommands {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs one command (arguments without the program name); the summary goes to out, errors and
// usage to err. Returns the process exit code.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

// network.ini keys that record how the network was generated (readers ignore them).
inline constexpr const char* kSeedKey = "generator-seed";
inline constexpr const char* kMachinesKey = "generator-machines";
inline constexpr const char* kUsersKey = "generator-users";
inline constexpr const char* kTitlesKey = "generator-titles";
inline constexpr const char* kRowsPerDayKey = "generator-rows-per-day";
inline constexpr const char* kQuirksKey = "generator-quirks";
inline constexpr const char* kStartKey = "generator-start";
inline constexpr const char* kDaysKey = "generator-days";

} // namespace AgentCommands
