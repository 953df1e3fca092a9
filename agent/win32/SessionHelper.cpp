// Session helper loop.
#include "agent/win32/SessionHelper.h"

#include "agent/core/SampleMessage.h"
#include "agent/win32/WinText.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace vcagent {

namespace {

HANDLE connectPipe(const wchar_t* pipeName) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        HANDLE pipe = CreateFileW(pipeName, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
            return pipe;
        if (GetLastError() != ERROR_PIPE_BUSY && GetLastError() != ERROR_FILE_NOT_FOUND)
            return INVALID_HANDLE_VALUE;
        WaitNamedPipeW(pipeName, 500);
        Sleep(100);
    }
    return INVALID_HANDLE_VALUE;
}

SampleMessage takeSample() {
    SampleMessage sample;
    HWND window = GetForegroundWindow();
    if (window) {
        std::wstring title(SampleMessage::kMaxTitleUnits + 1, L'\0');
        const int length = GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
        title.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        sample.title = toU16(title);
    }
    LASTINPUTINFO input{sizeof(LASTINPUTINFO), 0};
    if (GetLastInputInfo(&input))
        sample.idleMillis = GetTickCount() - input.dwTime;
    // While the secure desktop (lock screen, credential prompt) has the input,
    // the user's desktop cannot be opened for switching: nothing the user does
    // then counts.
    HDESK desk = OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP);
    if (desk)
        CloseDesktop(desk);
    else if (GetLastError() == ERROR_ACCESS_DENIED)
        sample.noInput = true;
    return sample;
}

} // namespace

int runSessionHelper(const wchar_t* pipeName) {
    // Only the service's own pipes: the helper never writes to a pipe it is
    // pointed at otherwise.
    static constexpr wchar_t kPrefix[] = L"\\\\.\\pipe\\VCWorkstation-";
    if (wcsncmp(pipeName, kPrefix, wcslen(kPrefix)) != 0)
        return 2;
    HANDLE pipe = connectPipe(pipeName);
    if (pipe == INVALID_HANDLE_VALUE)
        return 3;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    ULONGLONG next = GetTickCount64();
    ULONGLONG previous = 0;
    for (;;) {
        SampleMessage sample = takeSample();
        // The helper's own measure of the time this sample stands for; the
        // service credits that, never the spacing in which samples arrive.
        const ULONGLONG taken = GetTickCount64();
        sample.intervalMillis =
            previous == 0 ? 1000
                          : static_cast<std::uint32_t>(std::min<ULONGLONG>(taken - previous, 0xFFFFFFFF));
        previous = taken;
        const std::vector<unsigned char> message = sample.encode();
        DWORD written = 0;
        if (!WriteFile(pipe, message.data(), static_cast<DWORD>(message.size()), &written, nullptr))
            break;
        next += 1000;
        const ULONGLONG now = GetTickCount64();
        if (next > now)
            Sleep(static_cast<DWORD>(next - now));
        else
            next = now; // fell behind (machine asleep): start the rhythm afresh
    }
    CloseHandle(pipe);
    return 0;
}

} // namespace vcagent
