// The command-line side of the agent: install, uninstall and status on the
// local machine.
#pragma once

#include <string>

namespace vcagent {

// Exit codes of the commands, for scripts that deploy the agent.
enum SetupExit : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    // The service is installed and running, but the share could not be created:
    // the console cannot read this workstation until it exists.
    kExitNoShare = 3,
    // status: the service is not installed or not running.
    kExitNotRunning = 4,
};

// fromMsi: run by the installer package, which owns the program file; a share
// that cannot be created is reported but is not a failure there.
int install(const std::wstring& shareGroup, bool fromMsi);
int uninstall(bool purge, bool fromMsi);
// verify: one PASS/FAIL line per check that only Windows can show.
int status(bool verify);
// Asks the service to publish the last `days` complete days now.
int republish(unsigned long days);

} // namespace vcagent
