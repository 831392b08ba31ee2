// Dialogs in the test's own process: run on a thread of their own, and read
// as their user sees them (what is cut off, lies outside or covers another).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vexa::test {

// Calls `run`, which shows a modal dialog, on a thread of its own; `act` gets
// the dialog once it is up and must end it. Returns what `run` returned (-2
// when no dialog came up: the thread is then told to quit).
INT_PTR runDialog(const std::function<INT_PTR()>& run, const std::function<void(HWND)>& act);

// The text of a window of this process.
std::wstring textOf(HWND window);

// Control `id` (or `control`) of `dialog` in the dialog's client coordinates.
RECT controlRect(HWND dialog, HWND control);
inline RECT controlRect(HWND dialog, int id) { return controlRect(dialog, GetDlgItem(dialog, id)); }

// What a user would find wrong in `dialog` as it stands, one line a fault
// (none when all is well): a visible control that reaches beyond the client
// area, two that overlap (a group box around another whole, or under the
// size grip's corner, is no overlap), a
// text that does not fit its static, button or group box in the control's font.
std::vector<std::string> layoutFaults(HWND dialog);

}  // namespace vexa::test
