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

int install(const std::wstring& shareGroup);
int uninstall(bool purge);
int status();

} // namespace vcagent
