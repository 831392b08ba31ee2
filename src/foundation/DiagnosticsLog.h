// A diagnostics log file: one UTF-8 line per event, each with a millisecond
// time stamp, the process and the thread, appended to a file that several
// launches may share. At most kLimit bytes per launch; a file that cannot be
// opened or written turns the log off and changes nothing else.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/Handle.h"

namespace vexa {

class DiagnosticsLog {
public:
    static constexpr std::uint64_t kLimit = 1024 * 1024;

    // Opens `path` for appending; false (and the log stays off) when it cannot.
    bool open(const std::wstring& path);
    // Opens the log that VEXA_LOG names for the launcher at `executable`;
    // false when it cannot be opened or must not be: in a process elevated
    // through User Account Control (the user's non-elevated self could set
    // the variable and have any file appended to with an administrator's
    // rights), and for the launcher's own
    // files: its executable, its settings file, or any executable, library
    // or settings file by name.
    bool openFromEnvironment(const std::wstring& path, const std::wstring& executable);
    // Whether this process runs elevated from a split (UAC) token.
    static bool isElevated();
    bool isOpen() const noexcept { return open_.load(std::memory_order_relaxed); }
    // Appends one line; line breaks inside `text` become blanks. Safe from any
    // thread.
    void write(std::wstring_view text);

private:
    FileHandle file_;
    std::atomic<bool> open_{false};
    std::atomic<std::uint64_t> written_{0};
};

}  // namespace vexa
