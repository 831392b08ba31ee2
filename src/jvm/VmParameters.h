// Tokenising of the "Virtual Machine Parameters" setting and the removal of
// its grouping quotes. Free of the platform API.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// The index at which the parameter token that begins at `start` ends: at the
// first space (U+0020) outside a closed pair of double quotes, or at the end of
// the text. A quote without a partner protects nothing.
std::size_t NextParameterEnd(std::wstring_view text, std::size_t start);

// The tokens of a parameter text, in order, quotes still in place. Spaces
// separate tokens; spaces before the first token and after the last one
// separate nothing and give no empty token.
std::vector<std::wstring> SplitVmParameters(std::wstring_view text);

// Removes grouping quotes in place: every closed pair of double quotes is
// replaced by its inner text. A doubled closing quote ("") keeps one literal
// quote and ends the pair; a quote without a partner stays.
void StripParameterQuotes(std::wstring& token);

}  // namespace vexa
