#include "foundation/CommandLine.h"

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

std::wstring_view withoutExtension(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring_view::npos || (slash != std::wstring_view::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

}  // namespace

std::vector<std::wstring> argumentsOfCommandLine(std::wstring_view commandLine,
                                                 const std::function<bool(std::wstring_view)>& namesModule) {
    const std::wstring text = trimSpace(commandLine);
    const std::wstring_view view = text;
    std::vector<std::wstring> pieces;
    const size_t firstSpace = view.find(L' ');
    if (!text.empty() && text[0] != L'"' && firstSpace != std::wstring_view::npos) {
        // An unquoted program name of several words: the shortest leading
        // run, ended by a space or the end of the text and holding no quote,
        // that names this very executable.
        const size_t quote = view.find(L'"');
        for (size_t end = view.find(L' ', firstSpace + 1);; end = view.find(L' ', end + 1)) {
            if (end == std::wstring_view::npos) end = view.size();
            if (end > quote) break;
            if (namesModule(view.substr(0, end))) {
                // Only blanks separate; a tab is part of the next argument.
                const size_t next = view.find_first_not_of(L' ', end);
                if (next != std::wstring_view::npos) SplitArguments(view.substr(next), pieces);
                return pieces;
            }
            if (end == view.size()) break;
        }
    }
    SplitArguments(view, pieces);
    if (!pieces.empty()) pieces.erase(pieces.begin());
    return pieces;
}

std::vector<std::wstring> argumentsOfCommandLine(std::wstring_view commandLine, std::wstring_view executablePath) {
    return argumentsOfCommandLine(commandLine, [executablePath](std::wstring_view candidate) {
        return !executablePath.empty() && (equalsIgnoreCase(candidate, executablePath) ||
                                           equalsIgnoreCase(candidate, withoutExtension(executablePath)));
    });
}

}  // namespace vexa
