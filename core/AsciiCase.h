#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// Case folding of the ASCII letters only, as protocol words, URL schemes and
// host names want it; every other byte (UTF-8 included) stays as it is.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string_view Text) {
    std::string lower(Text);
    for (char& c : lower) c = AsciiLower(c);
    return lower;
}

inline bool EqualIgnoringAsciiCase(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (std::size_t i = 0; i < A.size(); ++i) {
        if (AsciiLower(A[i]) != AsciiLower(B[i])) return false;
    }
    return true;
}

}  // namespace quorvel
