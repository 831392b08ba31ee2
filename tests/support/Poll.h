// Polling a condition up to a deadline, for the tests and the UI helper alike.
#pragma once

#include <windows.h>

namespace vexa::test {

// Whether `condition` came to hold within `timeoutMs`, looked at every 20 ms.
template <typename Condition>
bool pollUntil(Condition&& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
}

}  // namespace vexa::test
