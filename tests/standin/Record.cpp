#include "Record.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace standin {
namespace {

bool literal(unsigned value) { return value >= 0x21 && value <= 0x7E && value != '%'; }

std::wstring recordPath() {
    wchar_t buffer[32768];
    DWORD length = GetEnvironmentVariableW(L"VEXA_STANDIN_RECORD", buffer, 32768);
    if (length == 0 || length >= 32768) return {};
    return std::wstring(buffer, length);
}

std::mutex& writeLock() {
    static auto* lock = new std::mutex;  // never destroyed: used until the process ends
    return *lock;
}

}  // namespace

std::string escapeBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    char buffer[4];
    for (char c : bytes) {
        auto value = static_cast<unsigned char>(c);
        if (literal(value)) {
            out += c;
        } else {
            std::snprintf(buffer, sizeof buffer, "%%%02X", value);
            out += buffer;
        }
    }
    return out;
}

std::string escapeUnits(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    char buffer[8];
    for (char16_t unit : units) {
        if (literal(unit)) {
            out += static_cast<char>(unit);
        } else {
            std::snprintf(buffer, sizeof buffer, "%%u%04X", static_cast<unsigned>(unit));
            out += buffer;
        }
    }
    return out;
}

std::string escapeWide(std::wstring_view text) {
    std::u16string units(text.begin(), text.end());
    return escapeUnits(units);
}

RecordLine::RecordLine(std::string_view event) {
    text_ = std::to_string(GetCurrentProcessId()) + " " + std::to_string(GetCurrentThreadId()) + " ";
    text_ += event;
}

RecordLine& RecordLine::key(std::string_view key) {
    text_ += ' ';
    text_ += key;
    text_ += '=';
    return *this;
}

RecordLine& RecordLine::bytes(std::string_view k, std::string_view value) {
    key(k);
    text_ += escapeBytes(value);
    return *this;
}

RecordLine& RecordLine::units(std::string_view k, std::u16string_view value) {
    key(k);
    text_ += escapeUnits(value);
    return *this;
}

RecordLine& RecordLine::wide(std::string_view k, std::wstring_view value) {
    key(k);
    text_ += escapeWide(value);
    return *this;
}

RecordLine& RecordLine::number(std::string_view k, long long value) {
    key(k);
    text_ += std::to_string(value);
    return *this;
}

RecordLine& RecordLine::hex(std::string_view k, unsigned long long value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%08llX", value);
    key(k);
    text_ += buffer;
    return *this;
}

RecordLine& RecordLine::flag(std::string_view k, bool value) {
    key(k);
    text_ += value ? '1' : '0';
    return *this;
}

bool recordEnabled() { return !recordPath().empty(); }

void RecordLine::write() const {
    std::wstring path = recordPath();
    if (path.empty()) return;
    std::string line = text_ + "\n";
    std::lock_guard<std::mutex> guard(writeLock());
    // Append access makes every write land at the current end of the file,
    // also when another process appends to the same record.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace standin
