#include "jvm/VmParameters.h"

namespace vexa {
namespace {

constexpr wchar_t kSpace = L' ';
constexpr wchar_t kQuote = L'"';

// The first occurrence of `c` in [from, to), or npos. Searching only up to the
// next space keeps tokenising linear: a quote behind the space cannot matter.
std::size_t findBefore(std::wstring_view text, wchar_t c, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] == c) return i;
    }
    return std::wstring_view::npos;
}

}  // namespace

std::size_t NextParameterEnd(std::wstring_view text, std::size_t start) {
    const std::size_t length = text.size();
    if (start >= length) return length;
    std::size_t space = text.find(kSpace, start);
    std::size_t quote = findBefore(text, kQuote, start, space == std::wstring_view::npos ? length : space);
    while (quote != std::wstring_view::npos) {
        if (space == std::wstring_view::npos) return length;
        std::size_t close = text.find(kQuote, quote + 1);
        if (close == std::wstring_view::npos) return space;
        // A doubled quote belongs to the quoted run.
        if (close + 1 < length && text[close + 1] == kQuote) ++close;
        space = text.find(kSpace, close + 1);
        quote = findBefore(text, kQuote, close + 1, space == std::wstring_view::npos ? length : space);
    }
    return space == std::wstring_view::npos ? length : space;
}

std::vector<std::wstring> SplitVmParameters(std::wstring_view text) {
    std::vector<std::wstring> tokens;
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == kSpace) ++pos;
    while (pos < text.size()) {
        std::size_t end = NextParameterEnd(text, pos);
        tokens.emplace_back(text.substr(pos, end - pos));
        pos = end;
        while (pos < text.size() && text[pos] == kSpace) ++pos;
    }
    return tokens;
}

void StripParameterQuotes(std::wstring& token) {
    std::size_t open = token.find(kQuote);
    if (open == std::wstring::npos) return;
    std::wstring out;
    out.reserve(token.size());
    std::size_t copied = 0;  // everything before this index is in `out`
    while (open != std::wstring::npos) {
        std::size_t close = token.find(kQuote, open + 1);
        if (close == std::wstring::npos) break;
        // Of a doubled closing quote the first stays as a literal character.
        if (close + 1 < token.size() && token[close + 1] == kQuote) ++close;
        out.append(token, copied, open - copied);
        out.append(token, open + 1, close - open - 1);
        copied = close + 1;
        open = token.find(kQuote, copied);
    }
    out.append(token, copied, std::wstring::npos);
    token = std::move(out);
}

}  // namespace vexa
