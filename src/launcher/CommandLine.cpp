#include "launcher/CommandLine.h"

#include "foundation/Text.h"

namespace vexa {

void SplitArguments(std::wstring_view text, std::vector<std::wstring>& out) {
    size_t pos = 0;
    const size_t length = text.size();
    while (pos < length) {
        if (text[pos] == L'"') {
            size_t start = pos + 1;
            size_t close = text.find(L'"', start);
            if (close == std::wstring_view::npos) {
                // An unclosed quote takes the rest of the text (empty when the
                // quote is the last character).
                out.emplace_back(text.substr(start));
                return;
            }
            out.emplace_back(text.substr(start, close - start));
            pos = close + 1;
        } else {
            size_t space = text.find(L' ', pos);
            if (space == std::wstring_view::npos) {
                out.emplace_back(text.substr(pos));
                return;
            }
            out.emplace_back(text.substr(pos, space - pos));
            pos = space;
        }
        while (pos < length && text[pos] == L' ') ++pos;
    }
}

namespace {

// Whether `candidate` (an unquoted leading run of the command line) names the
// executable: its last path component equals the executable's file name, with
// or without its extension, ignoring case.
bool namesExecutable(std::wstring_view candidate, std::wstring_view executablePath) {
    size_t slash = executablePath.find_last_of(L"\\/");
    std::wstring_view fileName = slash == std::wstring_view::npos ? executablePath : executablePath.substr(slash + 1);
    if (fileName.empty()) return false;
    size_t dot = fileName.rfind(L'.');
    std::wstring_view baseName = dot == std::wstring_view::npos ? fileName : fileName.substr(0, dot);
    size_t candidateSlash = candidate.find_last_of(L"\\/");
    std::wstring_view last = candidateSlash == std::wstring_view::npos ? candidate : candidate.substr(candidateSlash + 1);
    return equalsIgnoreCase(last, fileName) || equalsIgnoreCase(last, baseName);
}

}  // namespace

std::vector<std::wstring> argumentsOfCommandLine(std::wstring_view commandLine, std::wstring_view executablePath) {
    const std::wstring text = trimSpace(commandLine);
    const std::wstring_view view = text;
    std::vector<std::wstring> pieces;
    if (!text.empty() && text[0] != L'"') {
        // The shortest leading run, ended by a space or the end of the text
        // and holding no quote, that names the executable is the program name.
        const size_t quote = view.find(L'"');
        for (size_t end = view.find(L' ');; end = view.find(L' ', end + 1)) {
            if (end == std::wstring_view::npos) end = view.size();
            if (end > quote) break;
            if (namesExecutable(view.substr(0, end), executablePath)) {
                SplitArguments(trimSpace(view.substr(end)), pieces);
                return pieces;
            }
            if (end == view.size()) break;
        }
    }
    SplitArguments(view, pieces);
    if (!pieces.empty()) pieces.erase(pieces.begin());
    return pieces;
}

}  // namespace vexa
