#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The bytes of a settings file as text the parser reads (UTF-8).
struct TRegFileText {
    enum class TEncoding { Utf8, Utf16Le, Undecodable };
    TEncoding Encoding = TEncoding::Utf8;
    std::string Text;    // UTF-8; the bytes themselves when they were UTF-8 already
    std::string Reason;  // why the bytes cannot be read, when Undecodable
};

// UTF-8 (with or without a byte order mark) is taken as it is. UTF-16
// little endian, what the Windows registry editor exports ("Windows Registry
// Editor Version 5.00"), is recognised by its byte order mark or by a zero
// second byte and converted. UTF-16 big endian, or UTF-16 that does not
// decode, is Undecodable.
TRegFileText DecodeRegFileBytes(std::string_view Bytes);

// UTF-16 little endian code units to UTF-8; nothing when the units do not
// pair up (an odd byte count, a lone surrogate).
std::optional<std::string> Utf16LeToUtf8(std::string_view Bytes);

}  // namespace quorvel
