#include "foundation/DiagnosticsLog.h"


#include "foundation/PathText.h"
#include "foundation/ProcessView.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"

namespace vexa {
namespace {

// The last line of a launch whose log reached the limit.
constexpr std::string_view kLimitLine = "diagnostics log limit of 1 MiB reached; this launch writes nothing more";

// `value` in at least `width` decimal digits, zeros in front.
void appendNumber(std::string& out, unsigned long value, int width) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 10);
    for (int i = count; i < width; ++i) out += '0';
    while (count > 0) out += digits[--count];
}

// "2026-12-07 17:37:13.342 [1624:1628] ": local time, process and thread.
std::string timeStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const struct {
        unsigned long value;
        int width;
        const char* after;
    } parts[] = {{t.wYear, 4, "-"},        {t.wMonth, 2, "-"},
                 {t.wDay, 2, " "},         {t.wHour, 2, ":"},
                 {t.wMinute, 2, ":"},      {t.wSecond, 2, "."},
                 {t.wMilliseconds, 3, " ["}, {GetCurrentProcessId(), 1, ":"},
                 {GetCurrentThreadId(), 1, "] "}};
    std::string text;
    text.reserve(48);
    for (const auto& part : parts) {
        appendNumber(text, part.value, part.width);
        text += part.after;
    }
    return text;
}

}  // namespace

bool DiagnosticsLog::isElevated() {
    // Elevated from a split token: the same user also runs without these
    // rights, and may have set the variable there. An administrator without
    // a split token (User Account Control off) has no lesser self to fear.
    // Wine gives every process a full administrator's token, while the
    // process has no more rights than the Unix user who runs it: there is no
    // lesser self there.
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"); ntdll && GetProcAddress(ntdll, "wine_get_version")) return false;
    Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size) &&
           type == TokenElevationTypeFull;
}

bool DiagnosticsLog::openFromEnvironment(const std::wstring& path, const std::wstring& executable) {
    if (isElevated()) return false;
    std::wstring_view name = path;
    while (!name.empty() && (name.back() == L' ' || name.back() == L'.')) name.remove_suffix(1);  // as Windows drops them
    for (std::wstring_view extension : {L".exe", L".dll", L".ini"}) {
        if (name.size() >= extension.size() && equalsIgnoreCase(name.substr(name.size() - extension.size()), extension))
            return false;
    }
    // A stream of some other file ("MyApp.ini:log") is that file's too.
    const size_t slash = name.find_last_of(L"\\/");
    const std::wstring_view last = name.substr(slash == std::wstring_view::npos ? 0 : slash + 1);
    const size_t colon = last.find(L':');
    if (colon != std::wstring_view::npos && !(colon == 1 && slash == std::wstring_view::npos)) return false;
    if (!executable.empty() && isSameFile(path, executable)) return false;
    return open(path);
}

bool DiagnosticsLog::open(const std::wstring& path) {
    file_.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    open_.store(static_cast<bool>(file_), std::memory_order_relaxed);
    return isOpen();
}

void DiagnosticsLog::write(std::wstring_view text) {
    if (!isOpen()) return;
    std::string line = timeStamp() + toUtf8(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    line += "\r\n";
    // Room for the closing line is kept back, so that a launch never writes
    // more than the limit in all.
    constexpr std::uint64_t room = DiagnosticsLog::kLimit - 256;
    const std::uint64_t before = written_.fetch_add(line.size());
    if (before + line.size() > room) {
        if (before <= room) {
            open_.store(false, std::memory_order_relaxed);
            line = timeStamp() + std::string(kLimitLine) + "\r\n";
        } else {
            return;
        }
    }
    // Launches that share the file take turns: an append is one write on
    // Windows, but not on every system that runs Windows programs, and two
    // launches writing at once must not lose a line. The lock is on a byte
    // far beyond any log's end, so readers are never held up.
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFF0u;
    turn.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
    DWORD done = 0;
    if (!WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &done, nullptr) || done != line.size())
        open_.store(false, std::memory_order_relaxed);
    if (locked) UnlockFileEx(file_.get(), 0, 1, 0, &turn);
}

}  // namespace vexa
