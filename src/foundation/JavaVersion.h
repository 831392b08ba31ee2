// A Java version number: four signed components and the number of digit
// groups its text held. Free of the platform API.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vexa {

struct JavaVersion {
    std::array<std::int32_t, 4> components{0, 0, 0, 0};
    // 0 when the text held no digit group (or the parse failed); 1 to 4 for
    // that many groups; 5 when more than four were present.
    std::int32_t groupCount = 0;

    // Reads `text`; missing trailing components take `fill`. False when the
    // text holds no digit or a group overflows (then 0.0.0.0, count 0).
    bool parse(const std::wstring& text, std::int32_t fill);

    // -1, 0 or 1, component by component.
    static int compare(const JavaVersion& a, const JavaVersion& b);

    // The dotted form used in messages ("1.8", "11.0.2", "0.0.0.0").
    std::wstring toText() const;

    // True when the value stands for no bound: all four components equal and
    // that value 0 or 65535.
    bool isOpenBound() const;

    // Whether `candidate` satisfies the preferred version `preferred`.
    static bool matchesPreferred(const JavaVersion& candidate, const JavaVersion& preferred);

    static JavaVersion of(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t groups = 4) {
        JavaVersion v;
        v.components = {a, b, c, d};
        v.groupCount = groups;
        return v;
    }
};

}  // namespace vexa
