#include "Zip.h"

#include <cstring>
#include <string>

#include "LittleEndian.h"

namespace vexa::pack {
namespace {

constexpr std::size_t kEndRecord = 22;
constexpr std::size_t kCentralHeader = 46;
constexpr std::size_t kMaxComment = 0xFFFF;

bool signature(const Bytes& b, std::size_t at, std::uint8_t third, std::uint8_t fourth) {
    return at + 4 <= b.size() && b[at] == 'P' && b[at + 1] == 'K' && b[at + 2] == third && b[at + 3] == fourth;
}

// Why the bytes in [start, end) are no jar to carry; empty when they are one.
// On success `out` is the jar with its offsets counted from `start`.
std::string readJar(const Bytes& file, std::size_t start, std::size_t end, Bytes& out) {
    if (end < start + kEndRecord || end > file.size()) return "it holds no zip end record";
    // The last end record whose comment reaches `end` or the end of the file.
    std::size_t record = std::string::npos;
    const std::size_t lowest = end - kEndRecord >= start + kMaxComment ? end - kEndRecord - kMaxComment : start;
    for (std::size_t at = end - kEndRecord + 1; at-- > lowest;) {
        if (!signature(file, at, 5, 6)) continue;
        const std::size_t reach = at + kEndRecord + get16(&file[at + 20]);
        if (reach == end || reach == file.size()) {
            record = at;
            break;
        }
    }
    if (record == std::string::npos) return "it holds no zip end record";
    const std::uint8_t* r = &file[record];
    const std::size_t entries = get16(r + 10);
    const std::size_t directorySize = get32(r + 12);
    const std::size_t directoryOffset = get32(r + 16);
    if (get16(r + 4) != 0 || get16(r + 6) != 0 || get16(r + 8) != entries)
        return "it is spanned over several disks";
    if (entries == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        return "it is a zip64 archive";
    if (directorySize > record - start) return "its central directory is damaged";
    const std::size_t directory = record - directorySize;
    // Offsets counted from the start of the jar, or of the whole file.
    std::size_t base;
    if (directoryOffset == directory - start) base = start;
    else if (directoryOffset == directory && start > 0) base = 0;
    else return "its central directory is damaged";

    out.assign(file.begin() + static_cast<std::ptrdiff_t>(start), file.begin() + static_cast<std::ptrdiff_t>(end));
    const std::size_t outRecord = record - start;
    put16(&out[outRecord + 20], end - record - kEndRecord);
    put32(&out[outRecord + 16], directory - start);
    std::size_t at = directory - start;
    for (std::size_t i = 0; i < entries; ++i) {
        if (at + kCentralHeader > outRecord || !signature(out, at, 1, 2)) return "its central directory is damaged";
        const std::size_t local = get32(&out[at + 42]);
        if (local == 0xFFFFFFFF) return "it is a zip64 archive";
        const std::size_t shift = start - base;  // what makes the offset count from the jar
        if (local < shift || local - shift + 30 > directory - start || !signature(out, local - shift, 3, 4))
            return "entry " + std::to_string(i + 1) + " of its central directory points at no file";
        const std::size_t relative = local - shift;
        put32(&out[at + 42], relative);
        at += kCentralHeader + get16(&out[at + 28]) + get16(&out[at + 30]) + get16(&out[at + 32]);
    }
    if (at != outRecord) return "its central directory is damaged";
    return {};
}

}  // namespace

std::optional<Bytes> findAppendedJar(const Bytes& file, std::size_t start, std::size_t end) {
    Bytes jar;
    if (!readJar(file, start, end, jar).empty()) return std::nullopt;
    return jar;
}

Bytes checkJar(const Bytes& bytes) {
    Bytes jar;
    const std::string fault = readJar(bytes, 0, bytes.size(), jar);
    if (!fault.empty()) throw PackError("it is not a jar: " + fault);
    return jar;
}

std::size_t jarEndRecord(const Bytes& file) {
    for (std::size_t back = 0; back <= kMaxComment && back + kEndRecord <= file.size(); ++back) {
        const std::size_t at = file.size() - kEndRecord - back;
        if (signature(file, at, 5, 6) && get16(&file[at + 20]) == back) return at;
    }
    throw PackError("its jar has no end record");
}

void placeJar(Bytes& file, std::size_t at) {
    const std::size_t record = jarEndRecord(file);
    const std::uint64_t directory = std::uint64_t{get32(&file[record + 16])} + at;
    if (directory > 0xFFFFFFFFu) throw PackError("the executable with its jar would be larger than a zip can address");
    put32(&file[record + 16], directory);
    const std::size_t entries = get16(&file[record + 10]);
    std::size_t entry = static_cast<std::size_t>(directory);
    for (std::size_t i = 0; i < entries; ++i) {
        put32(&file[entry + 42], std::uint64_t{get32(&file[entry + 42])} + at);
        entry += kCentralHeader + get16(&file[entry + 28]) + get16(&file[entry + 30]) + get16(&file[entry + 32]);
    }
}

void setJarCommentLength(Bytes& file, std::size_t record, std::size_t length) {
    if (length > kMaxComment) throw PackError("the signature is too large for the jar's comment to cover it");
    put16(&file[record + 20], length);
}

std::wstring withEmbeddedJarKey(const std::wstring& text, bool on) {
    const std::wstring key = L"Embedded Jar";
    const std::wstring line = key + L"=Yes\r\n";
    auto blank = [](wchar_t c) { return c <= L' '; };
    auto trimmed = [&](std::wstring_view s) {
        while (!s.empty() && blank(s.front())) s.remove_prefix(1);
        while (!s.empty() && blank(s.back())) s.remove_suffix(1);
        return s;
    };
    std::wstring out = text;
    if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, L"\r\n") != 0)) out += L"\r\n";
    bool inApplication = false;
    std::size_t header = std::wstring::npos;  // the [Application] line
    std::size_t afterHeader = std::wstring::npos;
    bool others = false;  // lines other than the key in that section
    for (std::size_t at = 0; at < out.size();) {
        std::size_t next = out.find(L"\r\n", at);
        next = next == std::wstring::npos ? out.size() : next + 2;
        const std::wstring_view current = trimmed(std::wstring_view(out).substr(at, next - at));
        if (!current.empty() && current.front() == L'[' && current.size() > 1 && current.back() == L']') {
            if (inApplication) break;  // only the first [Application] counts
            inApplication = current == L"[Application]";
            if (inApplication) header = at, afterHeader = next;
        } else if (inApplication) {
            const std::size_t equals = current.find(L'=');
            if (on && equals != std::wstring_view::npos && trimmed(current.substr(0, equals)) == key) {
                out.replace(at, next - at, line);
                return out;
            }
            if (!on && equals != std::wstring_view::npos && trimmed(current.substr(0, equals)) == key) {
                out.erase(at, next - at);
                continue;  // the next line now starts at `at`
            }
            others = others || !current.empty();
        }
        at = next;
    }
    if (!on) {
        // A section left without lines goes with the key.
        if (header != std::wstring::npos && !others) out.erase(header, afterHeader - header);
        return out;
    }
    if (afterHeader != std::wstring::npos) return out.insert(afterHeader, line);
    return out + L"[Application]\r\n" + line;
}

}  // namespace vexa::pack
