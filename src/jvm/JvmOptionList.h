// The ordered, append-only list of narrow JVM option strings.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vexa {

class JvmOptionList {
public:
    // The most entries a list holds; Add refuses any further option.
    static constexpr std::size_t kMaxEntries = 0x0FFFFFFF;

    JvmOptionList() = default;
    // A list that holds at most `maxEntries` options.
    explicit JvmOptionList(std::size_t maxEntries) : maxEntries_(maxEntries) {}

    // Converts `option` to the calling thread's ANSI code page and appends it.
    // False (and the option dropped) when the list cannot grow.
    bool Add(const std::wstring& option);

    std::size_t size() const { return entries_.size(); }
    std::size_t capacity() const { return entries_.capacity(); }
    const std::string& operator[](std::size_t index) const { return entries_[index]; }
    const std::vector<std::string>& entries() const { return entries_; }

private:
    std::vector<std::string> entries_;
    std::size_t maxEntries_ = kMaxEntries;
};

}  // namespace vexa
