// The console launcher's message writer, in a file of its own so that the
// windowed launcher, which never installs it, does not carry it.
#include "ui/Messages.h"

namespace vexa {

void writeToStandardError(const std::wstring& text) {
    // One line end after the text, whatever it ends with; inner line ends
    // become CR LF, as Windows programs write them.
    std::wstring lines;
    lines.reserve(text.size() + 8);
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == L'\n' || text[end - 1] == L'\r')) --end;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) lines += L'\r';
        lines += text[i];
    }
    lines += L"\r\n";
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(error, &mode)) {
        WriteConsoleW(error, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
        return;
    }
    // A file or a pipe gets the bytes a console program would write there.
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0) codePage = CP_ACP;
    const int size = WideCharToMultiByte(codePage, 0, lines.data(), static_cast<int>(lines.size()), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, lines.data(), static_cast<int>(lines.size()), bytes.data(), size, nullptr,
                        nullptr);
    WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace vexa
