// Splitting of command-line text into arguments. Free of the platform API.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// Splits `text` at spaces (U+0020 only); a double quote groups up to the next
// double quote, and there is no escape for a quote. Appends to `out`.
void SplitArguments(std::wstring_view text, std::vector<std::wstring>& out);

// The application arguments of a whole command line: trimmed, split, and the
// program name removed. An unquoted program name may hold spaces: when a
// leading run of the text, ended by a space, names the executable
// (its file name, with or without extension), that whole run is the program
// name (the shortest such run); otherwise the first piece is.
std::vector<std::wstring> argumentsOfCommandLine(std::wstring_view commandLine, std::wstring_view executablePath);

}  // namespace vexa
