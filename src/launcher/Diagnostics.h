// The launcher's diagnostics log, for support: off unless the environment
// variable VEXA_LOG names a file when the launcher starts. Any step logs an
// event in one line:
//
//     diag::log(L"runtime %s: version %s, chosen", home, version);
//
// "%s" takes the next text (or version), "%d" the next number. When the log
// is off a call costs one test, and its arguments are not formatted; an
// argument that is costly to compute belongs inside `if (diag::on())`.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "foundation/Text.h"
#include "jre/JavaVersion.h"

namespace vexa {

class DiagnosticsLog;

namespace diag {

// The name of the environment variable that switches the log on.
inline constexpr wchar_t kVariable[] = L"VEXA_LOG";

// The launcher's log when it is on, else null.
DiagnosticsLog* active() noexcept;
inline bool on() noexcept { return active() != nullptr; }

void write(DiagnosticsLog& log, std::wstring_view format, const std::vector<MessageInsert>& inserts);

inline MessageInsert insert(const std::wstring& text) { return text; }
inline MessageInsert insert(std::wstring_view text) { return std::wstring(text); }
inline MessageInsert insert(const wchar_t* text) { return std::wstring(text ? text : L"(null)"); }
inline MessageInsert insert(const JavaVersion& version) { return version.toText(); }
inline MessageInsert insert(bool value) { return std::wstring(value ? L"yes" : L"no"); }
template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
MessageInsert insert(T number) {
    if constexpr (std::is_same_v<T, std::int32_t>) return number;
    else return std::to_wstring(number);
}

template <typename... Args>
void log(std::wstring_view format, const Args&... args) {
    if (DiagnosticsLog* target = active()) [[unlikely]]
        write(*target, format, {insert(args)...});
}

}  // namespace diag
}  // namespace vexa
