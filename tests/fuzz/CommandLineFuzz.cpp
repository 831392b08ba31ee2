// Argument splitting: the process command line and the "Cmd" setting.
#include "FuzzInput.h"
#include "foundation/Text.h"
#include "foundation/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> fields = fuzz::fieldsOf(fuzz::textOf(data, size), 2);
    const fuzz::ExactText text(fields[0]);

    std::vector<std::wstring> pieces;
    vexa::SplitArguments(text.view(), pieces);
    std::size_t total = 0;
    bool quoteFree = true;
    for (const std::wstring& piece : pieces) {
        total += piece.size();
        FUZZ_CHECK(text.view().find(piece) != std::wstring_view::npos);
        quoteFree = quoteFree && piece.find(L'"') == std::wstring::npos;
    }
    FUZZ_CHECK(total <= fields[0].size());
    FUZZ_CHECK(pieces.size() <= fields[0].size());

    // Arguments without quotes come back as they were when each is quoted.
    if (quoteFree) {
        std::wstring joined;
        for (const std::wstring& piece : pieces) joined += (joined.empty() ? L"\"" : L" \"") + piece + L"\"";
        std::vector<std::wstring> again;
        vexa::SplitArguments(joined, again);
        FUZZ_CHECK(again == pieces);
    }

    // With the second field as the executable's path.
    const std::vector<std::wstring> arguments = vexa::argumentsOfCommandLine(text.view(), fields[1]);
    total = 0;
    for (const std::wstring& argument : arguments) total += argument.size();
    FUZZ_CHECK(total <= fields[0].size());
    const std::wstring trimmed = vexa::trimSpace(fields[0]);
    if (!trimmed.empty() && trimmed[0] == L'"') {
        std::vector<std::wstring> all;
        vexa::SplitArguments(trimmed, all);
        FUZZ_CHECK(!all.empty() && arguments == std::vector<std::wstring>(all.begin() + 1, all.end()));
    }
    return 0;
}
