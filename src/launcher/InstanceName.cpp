#include "launcher/InstanceName.h"

#include <cstdint>
#include <vector>

#include "foundation/Crypto.h"

namespace vexa {
namespace {

constexpr std::size_t kReadableLength = 64;

}  // namespace

std::wstring withoutVerbatimPrefix(std::wstring_view path) {
    constexpr std::wstring_view unc = L"\\\\?\\UNC\\";
    constexpr std::wstring_view verbatim = L"\\\\?\\";
    if (path.substr(0, unc.size()) == unc) return L"\\\\" + std::wstring(path.substr(unc.size()));
    if (path.substr(0, verbatim.size()) == verbatim) return std::wstring(path.substr(verbatim.size()));
    return std::wstring(path);
}

std::wstring instanceNameOf(std::wstring_view normalisedPath) {
    std::vector<std::uint8_t> units;
    units.reserve(normalisedPath.size() * 2);
    for (wchar_t unit : normalisedPath) {
        units.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        units.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(unit) >> 8) & 0xFF));
    }
    const Sha256Digest digest = Sha256::of(units.data(), units.size());

    const std::size_t slash = normalisedPath.find_last_of(L"\\/");
    std::wstring_view file = slash == std::wstring_view::npos ? normalisedPath : normalisedPath.substr(slash + 1);
    std::wstring name = L"Vexa.";
    for (wchar_t c : file.substr(0, kReadableLength)) name += (c < L' ' || c == L'\\') ? L'_' : c;
    name += L'.';
    constexpr wchar_t hex[] = L"0123456789abcdef";
    for (std::uint8_t byte : digest) {
        name += hex[byte >> 4];
        name += hex[byte & 0xF];
    }
    return name;
}

}  // namespace vexa
