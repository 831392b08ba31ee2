// bench-window-startup: a GUI program that only does what vexa.exe does
// first (its thread's window-system start-up) and ends; the launch benchmark
// shows its cost beside the two Java launches.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    DefWindowProcW(nullptr, 0, 0, 0);
    return 0;
}
