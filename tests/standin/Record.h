// The stand-in runtime's record: one line per event, appended to the file
// named by VEXA_STANDIN_RECORD, written whole and closed at once so that
// several modules, threads and processes can share one file.
//
// A line is "<pid> <tid> <event>[ <key>=<value>]...". Values never hold a
// blank: printable ASCII other than '%' stands for itself; a byte value
// writes any other byte as %XX, a UTF-16 value writes any other code unit
// as %uXXXX (upper-case hex). An empty value is "key=".
#pragma once

#include <string>
#include <string_view>

namespace standin {

std::string escapeBytes(std::string_view bytes);
std::string escapeUnits(std::u16string_view units);
std::string escapeWide(std::wstring_view text);  // wchar_t is UTF-16 on Windows

// Builds one record line; write() appends it to the record file (nothing
// happens when VEXA_STANDIN_RECORD is not set).
class RecordLine {
public:
    explicit RecordLine(std::string_view event);
    RecordLine& bytes(std::string_view key, std::string_view value);
    RecordLine& units(std::string_view key, std::u16string_view value);
    RecordLine& wide(std::string_view key, std::wstring_view value);
    RecordLine& number(std::string_view key, long long value);
    RecordLine& hex(std::string_view key, unsigned long long value);  // 0x%08X
    RecordLine& flag(std::string_view key, bool value);               // 0 or 1
    void write() const;
    const std::string& text() const { return text_; }

private:
    RecordLine& key(std::string_view key);
    std::string text_;
};

// True when a record file is named.
bool recordEnabled();

}  // namespace standin
