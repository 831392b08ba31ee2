// The launcher's message table and the error message box through which every
// failure reaches the user.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/Failure.h"

namespace vexa {

// The whole string-table entry `id` of the executable; empty when missing.
std::wstring loadMessage(unsigned id);

// Where the launcher's messages go. The windowed launcher shows each in an
// error box; the console launcher installs a writer at process entry, and
// every message that would be a box goes to that writer instead (standard
// error), with the same text.
using MessageWriter = void (*)(const std::wstring& text);
void setMessageWriter(MessageWriter writer);
// Writes `text` to standard error as one or more whole lines: through the
// console when standard error is one, else in the console's code page (the
// ANSI code page without a console), lines ending in CR LF.
void writeToStandardError(const std::wstring& text);

// An error box: error icon, OK button, the system's default caption. Under a
// message writer the text is written instead and the result is IDOK.
int showErrorBox(HWND owner, const std::wstring& text);

int showFormattedError(HWND owner, const std::wstring& format, const std::wstring& insert);
int showFormattedError(HWND owner, const std::wstring& format, const std::wstring& insert, std::int32_t number);

// Message 202 filled with the message `reasonId` and a Windows error code.
int showWindowsError(HWND owner, unsigned reasonId, unsigned long errorCode);

// The text of a failure as the user reads it.
std::wstring failureText(const Failure& failure);
// An error box with the text of `failure`.
int showFailure(HWND owner, const Failure& failure);

}  // namespace vexa
