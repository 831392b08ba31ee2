// Expansion of environment references (%NAME%) in settings values.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vexa {

// Replaces every %NAME% of a set variable by its value, in place; references
// to unset variables stay as written. When the expansion fails the text is
// left unchanged. Texts of any length are expanded whole.
void ExpandEnvironment(std::wstring& text);

// The expansion rule itself, over any lookup: a "%" opens a reference that
// the next "%" closes; a known non-empty name is replaced by its value,
// anything else is kept as written, both "%" included. Scanning goes on behind
// the closing "%". A "%" without a partner stays. Free of the platform API.
std::wstring ExpandReferences(std::wstring_view text,
                              const std::function<std::optional<std::wstring>(const std::wstring&)>& lookup);

}  // namespace vexa
