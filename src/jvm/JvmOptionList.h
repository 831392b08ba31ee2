// The ordered, append-only list of narrow JVM option strings.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vexa {

class JvmOptionList {
public:
    // Converts `option` to the calling thread's ANSI code page and appends it.
    // False (and the option dropped) when the list cannot grow.
    bool Add(const std::wstring& option);

    std::size_t size() const { return entries_.size(); }
    const std::string& operator[](std::size_t index) const { return entries_[index]; }
    const std::vector<std::string>& entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
};

}  // namespace vexa
