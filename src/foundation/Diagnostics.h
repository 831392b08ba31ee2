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

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "foundation/Text.h"
#include "foundation/JavaVersion.h"

namespace vexa {

class DiagnosticsLog;

namespace diag {

// The name of the environment variable that switches the log on.
inline constexpr wchar_t kVariable[] = L"VEXA_LOG";

// The log that events go to when it is on, else null. The launcher installs
// its log once it is open and takes it away before the log ends; the lower
// folders only ever write through here.
DiagnosticsLog* active() noexcept;
void installSink(DiagnosticsLog* log) noexcept;
inline bool on() noexcept { return active() != nullptr; }

// One argument of an event, held by reference until the line is formatted,
// so that a call site only fills a small array and the formatting happens in
// one place.
class Arg {
public:
    enum class Kind { Text, Version, Int32, Signed, Unsigned };

    Arg() = default;
    Arg(const std::wstring& text) : text_(text) {}
    Arg(std::wstring_view text) : text_(text) {}
    Arg(const wchar_t* text) : text_(text ? text : L"(null)") {}
    Arg(const JavaVersion& version) : kind_(Kind::Version), version_(&version) {}
    Arg(bool value) : text_(value ? L"yes" : L"no") {}
    template <typename T, typename = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>>
    Arg(T number) {
        if constexpr (std::is_same_v<T, std::int32_t>) {
            kind_ = Kind::Int32;
            signed_ = number;
        } else if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = number;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = number;
        }
    }

    MessageInsert insert() const;

private:
    Kind kind_ = Kind::Text;
    std::wstring_view text_;
    const JavaVersion* version_ = nullptr;
    long long signed_ = 0;
    unsigned long long unsigned_ = 0;
};

void write(DiagnosticsLog& log, std::wstring_view format, const Arg* args, std::size_t count);

template <typename... Args>
void log(std::wstring_view format, const Args&... args) {
    if (DiagnosticsLog* target = active()) [[unlikely]] {
        const Arg list[sizeof...(Args) + 1] = {Arg(args)...};
        write(*target, format, list, sizeof...(Args));
    }
}

}  // namespace diag
}  // namespace vexa
