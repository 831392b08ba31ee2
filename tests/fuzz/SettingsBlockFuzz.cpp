// The embedded settings block: opening and verifying bytes from an executable.
#include "FuzzInput.h"
#include "config/SettingsBlock.h"

namespace {

// The UTF-16 code units of a text (where wchar_t is 32 bits wide, a character
// beyond U+FFFF is two).
std::u16string unitsOf(const std::wstring& text) {
    std::u16string units;
    for (wchar_t c : text) {
        auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF) {
            code -= 0x10000;
            units += static_cast<char16_t>(0xD800 | (code >> 10));
            units += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
        } else {
            units += static_cast<char16_t>(code);
        }
    }
    return units;
}

bool opens(const std::vector<std::uint8_t>& block, std::wstring& text) {
    // An exact copy, so that a read past the end is caught.
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[block.size()]);
    std::copy(block.begin(), block.end(), bytes.get());
    return vexa::openSettingsBlock(bytes.get(), block.size(), text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes as they stand: a forged or damaged block is refused whole.
    std::wstring text = L"left over";
    const std::vector<std::uint8_t> raw(data, data + size);
    if (!opens(raw, text)) FUZZ_CHECK(text.empty());

    // The bytes as settings text: sealed, it opens to the same text.
    const std::wstring settings = fuzz::textOf(data, size);
    std::array<std::uint8_t, 12> nonce{};
    for (std::size_t i = 0; i < size && i < nonce.size(); ++i) nonce[i] = data[i];
    std::vector<std::uint8_t> block = vexa::sealSettingsBlock(settings, nonce);
    FUZZ_CHECK(opens(block, text));
    FUZZ_CHECK(unitsOf(text) == unitsOf(settings));

    // Any change or cut is refused.
    const std::size_t at = (size * 7919 + (size ? data[size - 1] : 0)) % block.size();
    block[at] ^= static_cast<std::uint8_t>(1 + size % 255);
    FUZZ_CHECK(!opens(block, text) && text.empty());
    block[at] ^= static_cast<std::uint8_t>(1 + size % 255);
    block.resize(at);
    FUZZ_CHECK(!opens(block, text) && text.empty());
    return 0;
}
