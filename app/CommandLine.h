// The commands for scheduled runs (collect, report, export, audit, store init): the same work as the
// console's start-up download, report, data export and audit log, without a window or a question.
#pragma once

#include <cstdio>
#include <QString>

class Settings;
struct StartupOptions;

namespace CommandLine {

// Exit codes of a command, for cron and scripts (documented in --help, the manual page and README).
inline constexpr int kOk = 0;      // done; collect: every monitored workstation read
inline constexpr int kPartial = 1; // collect: some workstations not read (the others are in), or the
                                   // scan listed nothing or found none of the monitored machines;
                                   // audit --verify: a row does not match its hash
inline constexpr int kUsage = 2;   // usage error: nothing read or written; the reason is on stderr
inline constexpr int kFailed = 3;  // the database failed (none at the path, damaged, newer version, a
                                   // failed write) or the output could not be written

// Whether the arguments name a command (the first argument that is neither an option nor an
// option's value), ask for help or the version, or give any option that a console start does
// not take (a command's, or a mistake): the caller then starts without a display, so that a
// scheduled run and its usage errors never need one.
bool runsWithoutDisplay(int argc, char** argv);

// Whether the console's window has somewhere to open: a display for the platform Qt would
// choose, or a platform (offscreen) that needs none.
bool displayAvailable(int argc, char** argv);

// Runs options.command. The program folder is located from --home and the executable's
// folder, never created (except by "store init"); networkSource is the chosen --network value.
// Lines for the operator go to out, problems to err. Never asks anything: a start-up password
// must come from --password-file.
int run(const StartupOptions& options, Settings& settings, const QString& executableDir,
        const QString& networkSource, std::FILE* out = stdout, std::FILE* err = stderr);

// The password file's first line (without a UTF-8 byte order mark), or the reason the file is
// refused: it must be a regular file owned by this user that no one else may read or write.
struct PasswordFile {
    bool ok = false;
    QString password;
    QString error;
};
PasswordFile readPasswordFile(const QString& path);

} // namespace CommandLine
