// Reads its own command line the way the launcher does and writes the
// argument list to the file named by VEXA_ARGPROBE_OUT: the count, then one
// argument per line as UTF-16 code units in hex.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/ProcessView.h"

int wmain() {
    std::wstring executable;
    vexa::queryExecutablePath(executable);
    const std::vector<std::wstring> arguments = vexa::readArguments(executable);
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VEXA_ARGPROBE_OUT", path, MAX_PATH)) return 2;
    FILE* out = _wfopen(path, L"wb");
    if (!out) return 3;
    std::fprintf(out, "%zu\n", arguments.size());
    for (const auto& argument : arguments) {
        for (wchar_t unit : argument) std::fprintf(out, "%04x ", static_cast<unsigned>(unit));
        std::fprintf(out, "\n");
    }
    std::fclose(out);
    return 0;
}
