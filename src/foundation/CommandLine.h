// Splitting of command-line text into arguments. Free of the platform API.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// Splits `text` at spaces (U+0020 only); a double quote groups up to the next
// double quote, and there is no escape for a quote. Appends to `out`.
void SplitArguments(std::wstring_view text, std::vector<std::wstring>& out);

// The application arguments of a whole command line: trimmed, split, and the
// program name removed. An unquoted program name may hold spaces: the
// shortest leading run of the text, ended by a space, for which
// `namesModule` says that it names this very executable is the program name;
// otherwise the first piece is. Only blanks separate the program name from
// the first argument.
std::vector<std::wstring> argumentsOfCommandLine(std::wstring_view commandLine,
                                                 const std::function<bool(std::wstring_view)>& namesModule);

// The same, where a run names the executable when it is its full path, with
// or without the extension, in any letter case.
std::vector<std::wstring> argumentsOfCommandLine(std::wstring_view commandLine, std::wstring_view executablePath);

}  // namespace vexa
