// Stands in for a paired launcher: writes its own command line, exactly as it
// received it, as UTF-8 to the file named by VEXA_CMDPROBE_OUT and exits with
// the code named by VEXA_CMDPROBE_EXIT (0 when unset). With VEXA_CMDPROBE_LOG
// it also appends the command line and a line feed to that file, so that a
// test can count the starts (it stands in for a web browser that way).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "foundation/WinText.h"

int wmain() {
    std::wstring out = vexa::environmentValue(L"VEXA_CMDPROBE_OUT");
    if (!out.empty()) {
        if (FILE* file = _wfopen(out.c_str(), L"wb")) {
            std::string line = vexa::toUtf8(GetCommandLineW());
            std::fwrite(line.data(), 1, line.size(), file);
            std::fclose(file);
        }
    }
    std::wstring log = vexa::environmentValue(L"VEXA_CMDPROBE_LOG");
    if (!log.empty()) {
        if (FILE* file = _wfopen(log.c_str(), L"ab")) {
            std::string line = vexa::toUtf8(GetCommandLineW()) + "\n";
            std::fwrite(line.data(), 1, line.size(), file);
            std::fclose(file);
        }
    }
    std::wstring code = vexa::environmentValue(L"VEXA_CMDPROBE_EXIT");
    return code.empty() ? 0 : static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
