// VCWorkstation.exe: the workstation agent. Without arguments it runs as the
// service; with a command it installs, removes or reports on itself; the
// service starts it as the session helper.
#include "agent/win32/AgentService.h"
#include "agent/win32/SessionHelper.h"
#include "agent/win32/Setup.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void usage() {
    std::printf("Usage: VCWorkstation.exe install [--share-group GROUP]\n"
                "       VCWorkstation.exe uninstall [--purge]\n"
                "       VCWorkstation.exe status\n"
                "Without a command the program runs as the VCWorkstation service.\n");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 1) {
        if (vcagent::runAsService())
            return 0;
        usage();
        return vcagent::kExitUsage;
    }
    const std::wstring command = argv[1];
    if (command == L"--session-helper" && argc == 3)
        return vcagent::runSessionHelper(argv[2]);
    if (command == L"install") {
        std::wstring group;
        for (int i = 2; i < argc; ++i) {
            if (std::wstring(argv[i]) == L"--share-group" && i + 1 < argc) {
                group = argv[++i];
            } else {
                usage();
                return vcagent::kExitUsage;
            }
        }
        return vcagent::install(group);
    }
    if (command == L"uninstall" && (argc == 2 || (argc == 3 && std::wstring(argv[2]) == L"--purge")))
        return vcagent::uninstall(argc == 3);
    if (command == L"status" && argc == 2)
        return vcagent::status();
    usage();
    return vcagent::kExitUsage;
}
