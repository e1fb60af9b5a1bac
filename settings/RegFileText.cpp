#include "settings/RegFileText.h"

#include <cstdint>

namespace quorvel {

namespace {

const char* const ConvertHint = "; save it as REGEDIT4 (Win9x/NT4 registration file) or convert it to UTF-8";

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::optional<std::string> Utf16LeToUtf8(std::string_view Bytes) {
    if (Bytes.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(Bytes.size() / 2);
    const auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[i])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(Bytes[i + 1])) << 8);
    };
    for (std::size_t i = 0; i < Bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xDC00 && cp <= 0xDFFF) return std::nullopt;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 2 >= Bytes.size()) return std::nullopt;
            const std::uint32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

TRegFileText DecodeRegFileBytes(std::string_view Bytes) {
    TRegFileText result;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(Bytes[i]); };
    const bool bigEndianMark = Bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF;
    const bool littleEndianMark = Bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE;
    if (bigEndianMark || (Bytes.size() >= 2 && at(0) == 0 && at(1) != 0)) {
        result.Encoding = TRegFileText::TEncoding::Undecodable;
        result.Reason = std::string("it is UTF-16 big-endian text") + ConvertHint;
        return result;
    }
    if (littleEndianMark || (Bytes.size() >= 2 && at(0) != 0 && at(1) == 0)) {
        std::optional<std::string> text = Utf16LeToUtf8(Bytes.substr(littleEndianMark ? 2 : 0));
        if (!text) {
            result.Encoding = TRegFileText::TEncoding::Undecodable;
            result.Reason = std::string("it is UTF-16 text that does not decode") + ConvertHint;
            return result;
        }
        result.Encoding = TRegFileText::TEncoding::Utf16Le;
        result.Text = std::move(*text);
        return result;
    }
    result.Text = std::string(Bytes);
    return result;
}

}  // namespace quorvel
