// VCWorkstation.exe: the workstation agent. Without arguments it runs as the
// service; with a command it installs, removes or reports on itself; the
// service starts it as the session helper.
#include "agent/win32/AgentService.h"
#include "agent/win32/AgentVersion.h"
#include "agent/win32/SessionHelper.h"
#include "agent/win32/Setup.h"
#include "agent/win32/SystemApi.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void usage() {
    std::printf("Usage: VCWorkstation.exe install [--share-group GROUP]\n"
                "       VCWorkstation.exe uninstall [--purge]\n"
                "       VCWorkstation.exe status [--verify]\n"
                "       VCWorkstation.exe publish --days N\n"
                "       VCWorkstation.exe --version\n"
                "Without a command the program runs as the VCWorkstation service.\n");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    vcagent::sys::restrictDllSearch();
    if (argc == 1) {
        if (vcagent::runAsService())
            return 0;
        usage();
        return vcagent::kExitUsage;
    }
    const std::wstring command = argv[1];
    if (command == L"--session-helper" && argc == 3)
        return vcagent::runSessionHelper(argv[2]);
    if (command == L"--version" && argc == 2) {
        std::printf("VCWorkstation %s\n", vcagent::kAgentVersion);
        return vcagent::kExitOk;
    }
    if (command == L"install" || command == L"uninstall") {
        std::wstring group;
        bool msi = false;
        bool purge = false;
        for (int i = 2; i < argc; ++i) {
            const std::wstring option = argv[i];
            if (command == L"install" && option == L"--share-group" && i + 1 < argc) {
                // The installer package passes a blank property as " ": the default group.
                group = argv[++i];
                group.erase(0, group.find_first_not_of(L' '));
                group.erase(group.find_last_not_of(L' ') + 1);
            } else if (option == L"--msi") {
                msi = true;
            } else if (command == L"uninstall" && option == L"--purge") {
                purge = true;
            } else {
                usage();
                return vcagent::kExitUsage;
            }
        }
        return command == L"install" ? vcagent::install(group, msi) : vcagent::uninstall(purge, msi);
    }
    if (command == L"status" && (argc == 2 || (argc == 3 && std::wstring(argv[2]) == L"--verify")))
        return vcagent::status(argc == 3);
    if (command == L"publish" && argc == 4 && std::wstring(argv[2]) == L"--days") {
        wchar_t* end = nullptr;
        const unsigned long days = wcstoul(argv[3], &end, 10);
        if (end && *end == L'\0' && days >= 1 && days <= 3650)
            return vcagent::republish(days);
    }
    usage();
    return vcagent::kExitUsage;
}
