#include "jvm/JvmOptionList.h"

#include <climits>
#include <new>

#include "foundation/WinText.h"

namespace vexa {

bool JvmOptionList::Add(const std::wstring& option) {
    if (entries_.size() >= maxEntries_) return false;
    // The conversion takes the length as a signed 32-bit count.
    if (option.size() > static_cast<std::size_t>(INT_MAX)) return false;
    try {
        // Capacity starts at 1 and doubles when full.
        if (entries_.size() == entries_.capacity()) {
            std::size_t grown = entries_.empty() ? 1 : entries_.capacity() * 2;
            if (grown > maxEntries_) grown = maxEntries_;
            entries_.reserve(grown);
        }
        entries_.push_back(toThreadAnsi(option));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace vexa
