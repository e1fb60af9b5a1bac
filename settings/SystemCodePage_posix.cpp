#include "settings/SystemCodePage.h"

namespace quorvel {

// Linux keeps its text and its stored passwords in UTF-8.

std::string ToSystemCodePage(std::string_view Utf8) {
    return std::string(Utf8);
}

std::string FromSystemCodePage(std::string_view Bytes) {
    return std::string(Bytes);
}

}  // namespace quorvel
