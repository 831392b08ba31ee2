// bench-thread-cost: the window-system start-up of bench-window-startup and,
// given "thread", one thread that starts and ends, as the Java main thread
// and the single-instance listener of vexa.exe do. The launch benchmark puts
// the difference in peak working set beside the launcher's own.
#include <windows.h>

#include <cwchar>

namespace {
DWORD WINAPI nothing(void*) { return 0; }
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    DefWindowProcW(nullptr, 0, 0, 0);
    if (std::wcscmp(commandLine, L"thread") == 0) {
        HANDLE thread = CreateThread(nullptr, 1 << 20, &nothing, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (!thread) return 1;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    // Long enough for the sampling parent to read the peak.
    Sleep(20);
    return 0;
}
