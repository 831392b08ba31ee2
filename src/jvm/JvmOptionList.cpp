#include "jvm/JvmOptionList.h"

#include "foundation/WinText.h"

namespace vexa {

bool JvmOptionList::Add(const std::wstring& option) {
    entries_.push_back(toThreadAnsi(option));
    return true;
}

}  // namespace vexa
