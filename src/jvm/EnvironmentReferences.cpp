#include "jvm/ExpandEnvironment.h"

namespace vexa {

std::wstring ExpandReferences(std::wstring_view text,
                              const std::function<std::optional<std::wstring>(const std::wstring&)>& lookup) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t open = text.find(L'%', pos);
        if (open == std::wstring_view::npos) break;
        std::size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) break;
        out.append(text.substr(pos, open - pos));
        std::wstring name(text.substr(open + 1, close - open - 1));
        std::optional<std::wstring> value;
        if (!name.empty()) value = lookup(name);
        if (value) {
            out += *value;
        } else {
            out.append(text.substr(open, close - open + 1));
        }
        pos = close + 1;
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace vexa
