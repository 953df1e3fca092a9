// The commands for scheduled runs (collect, report, export): the same work as the console's
// start-up download, report and data export, without a window or a question.
#pragma once

#include <cstdio>
#include <QString>

class Settings;
struct StartupOptions;

namespace CommandLine {

// Exit codes of a command.
inline constexpr int kOk = 0;
inline constexpr int kPartial = 1; // collect: some monitored workstations could not be read
inline constexpr int kFatal = 2;   // nothing (or not all of it) was done; the reason is on stderr

// Whether the arguments name a command (the first argument that is neither an option nor an
// option's value), ask for help or the version, or give a command's option: the caller then
// starts without a display, so that a scheduled run and its usage errors never need one.
bool runsWithoutDisplay(int argc, char** argv);

// Runs options.command for the program folder and network source. Lines for the operator go
// to out, errors to err. Never asks anything: a start-up password must come from
// --password-file.
int run(const StartupOptions& options, Settings& settings, const QString& programFolder,
        const QString& networkSource, std::FILE* out = stdout, std::FILE* err = stderr);

// The password file's first line, or the reason the file is refused: it must be a regular
// file owned by this user that no one else may read or write.
struct PasswordFile {
    bool ok = false;
    QString password;
    QString error;
};
PasswordFile readPasswordFile(const QString& path);

} // namespace CommandLine
