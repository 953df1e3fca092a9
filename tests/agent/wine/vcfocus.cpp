// Test tool for the Wine run: vcfocus.exe TITLE brings the top-level window
// with that exact title to the front; exits 1 when there is none.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2)
        return 2;
    HWND window = FindWindowW(nullptr, argv[1]);
    if (!window)
        return 1;
    ShowWindow(window, SW_RESTORE);
    return SetForegroundWindow(window) ? 0 : 1;
}
