// The "Virtual Machine Parameters" setting: tokens and grouping quotes.
#include <algorithm>

#include "FuzzInput.h"
#include "jvm/VmParameters.h"

namespace {

std::wstring withoutQuotes(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring input = fuzz::textOf(data, size);
    const fuzz::ExactText text(input);

    for (std::size_t start = 0; start <= input.size(); start += 1 + input.size() / 8) {
        const std::size_t end = vexa::NextParameterEnd(text.view(), start);
        FUZZ_CHECK(end <= input.size());
        FUZZ_CHECK(end >= start || start > input.size());
        FUZZ_CHECK(end == input.size() || input[end] == L' ');
    }

    const std::vector<std::wstring> tokens = vexa::SplitVmParameters(text.view());
    std::size_t searchFrom = 0;
    for (const std::wstring& token : tokens) {
        FUZZ_CHECK(!token.empty() && token.front() != L' ');
        // Tokens are the text's own pieces, in order.
        const std::size_t at = input.find(token, searchFrom);
        FUZZ_CHECK(at != std::wstring::npos);
        searchFrom = at + token.size();

        // Stripping removes quotes and nothing else.
        std::wstring stripped = token;
        vexa::StripParameterQuotes(stripped);
        FUZZ_CHECK(withoutQuotes(stripped) == withoutQuotes(token));
        FUZZ_CHECK(stripped.size() <= token.size());
        if (token.find(L'"') == std::wstring::npos) FUZZ_CHECK(stripped == token);
    }
    if (input.find(L' ') == std::wstring::npos && !input.empty()) FUZZ_CHECK(tokens.size() == 1 && tokens[0] == input);

    // A quoted text without quotes of its own is one token and loses its quotes.
    if (input.find(L'"') == std::wstring::npos) {
        std::wstring quoted = L"\"" + input + L"\"";
        FUZZ_CHECK(vexa::NextParameterEnd(quoted, 0) == quoted.size());
        vexa::StripParameterQuotes(quoted);
        FUZZ_CHECK(quoted == input);
    }
    return 0;
}
