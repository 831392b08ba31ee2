#include "launcher/ForwardedArguments.h"

namespace vexa {
namespace {

constexpr std::uint32_t kMagic = 0x41465856;  // "VXFA"
constexpr std::size_t kHeaderBytes = 12;

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodeForwardedArguments(const std::vector<std::wstring>& arguments) {
    std::size_t total = kHeaderBytes;
    for (const std::wstring& argument : arguments) {
        // Checked one by one so that the sum cannot wrap.
        if (argument.size() > kMaxForwardedBytes) return std::nullopt;
        total += 4 + 2 * argument.size();
        if (total > kMaxForwardedBytes) return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    out.reserve(total);
    put32(out, kMagic);
    put32(out, static_cast<std::uint32_t>(total));
    put32(out, static_cast<std::uint32_t>(arguments.size()));
    for (const std::wstring& argument : arguments) {
        put32(out, static_cast<std::uint32_t>(argument.size()));
        for (wchar_t unit : argument) {
            out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
        }
    }
    return out;
}

std::optional<std::vector<std::wstring>> decodeForwardedArguments(const std::uint8_t* bytes, std::size_t byteCount) {
    if (bytes == nullptr || byteCount < kHeaderBytes) return std::nullopt;
    if (get32(bytes) != kMagic) return std::nullopt;
    const std::size_t total = get32(bytes + 4);
    if (total < kHeaderBytes || total > byteCount || total > kMaxForwardedBytes) return std::nullopt;
    const std::size_t count = get32(bytes + 8);
    // Every argument takes at least its 4-byte length.
    if (count > (total - kHeaderBytes) / 4) return std::nullopt;

    std::vector<std::wstring> arguments;
    arguments.reserve(count);
    std::size_t at = kHeaderBytes;
    for (std::size_t i = 0; i < count; ++i) {
        if (total - at < 4) return std::nullopt;
        const std::size_t units = get32(bytes + at);
        at += 4;
        if (units > (total - at) / 2) return std::nullopt;
        std::wstring argument(units, L'\0');
        for (std::size_t u = 0; u < units; ++u, at += 2)
            argument[u] = static_cast<wchar_t>(bytes[at] | bytes[at + 1] << 8);
        arguments.push_back(std::move(argument));
    }
    if (at != total) return std::nullopt;  // the block says more than its arguments hold
    return arguments;
}

}  // namespace vexa
