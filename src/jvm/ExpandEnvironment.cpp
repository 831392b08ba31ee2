#include "jvm/ExpandEnvironment.h"

#include <windows.h>

namespace vexa {
namespace {

// The system expands at most this many characters, the closing NUL included,
// and silently cuts anything longer.
constexpr DWORD kSystemLimit = 32767;

std::optional<std::wstring> variableValue(const std::wstring& name) {
    std::wstring value(256, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::wstring();
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

}  // namespace

void ExpandEnvironment(std::wstring& text) {
    if (text.size() + 1 < kSystemLimit) {
        DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
        if (needed == 0) return;
        std::wstring expanded;
        // A variable may change between the calls: grow and try again.
        while (needed < kSystemLimit) {
            expanded.assign(needed, L'\0');
            DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
            if (written == 0) return;
            if (written <= needed) {
                expanded.resize(wcsnlen(expanded.c_str(), expanded.size()));
                text = std::move(expanded);
                return;
            }
            needed = written;
        }
    }
    // Too long for the system: the same rule, variable by variable.
    text = ExpandReferences(text, variableValue);
}

}  // namespace vexa
