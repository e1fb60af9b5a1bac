#include "settings/RegFileFormat.h"

#include <cstdint>

namespace quorvel {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";
constexpr std::size_t HexLineWidth = 76;

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
}

bool NeedsHexForm(std::string_view text) {
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\0') return true;
    }
    return false;
}

// "prefix" followed by comma-separated bytes, wrapped like regedit does.
void AppendHexData(std::string& out, std::size_t lineStart, std::string_view prefix, std::string_view bytes) {
    out += prefix;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += HexDigits[b >> 4];
        out += HexDigits[b & 0x0F];
        if (i + 1 < bytes.size()) {
            out += ',';
            if (out.size() - lineStart >= HexLineWidth) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

std::string TypePrefix(TRegDataType type) {
    const auto n = static_cast<std::uint32_t>(type);
    if (type == TRegDataType::Binary) return "hex:";
    std::string digits;
    std::uint32_t rest = n;
    do {
        digits.insert(digits.begin(), HexDigits[rest & 0x0F]);
        rest >>= 4;
    } while (rest != 0);
    return "hex(" + digits + "):";
}

void AppendValue(std::string& out, const TRegValue& value) {
    const std::size_t lineStart = out.size();
    if (value.Name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.Name);
    }
    out += '=';
    if (value.Type == TRegDataType::String && !NeedsHexForm(value.Data)) {
        AppendQuoted(out, value.Data);
    } else if (value.Type == TRegDataType::String || value.Type == TRegDataType::ExpandString) {
        std::string bytes = value.Data;
        bytes += '\0';
        AppendHexData(out, lineStart, TypePrefix(value.Type), bytes);
    } else if (value.Type == TRegDataType::DWord && value.Data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.Data[static_cast<std::size_t>(i)]);
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += HexDigits[(n >> shift) & 0x0F];
    } else {
        AppendHexData(out, lineStart, TypePrefix(value.Type), value.Data);
    }
    out += '\n';
}

void AppendKey(std::string& out, const TRegKey& key, const std::string& path, bool writeSection) {
    if (writeSection) {
        out += '[';
        out += path;
        out += "]\n";
        for (const TRegValue& value : key.Values()) AppendValue(out, value);
        out += '\n';
    }
    for (const auto& entry : key.Keys()) {
        AppendKey(out, *entry.second, path + "\\" + entry.second->Name(), true);
    }
}

}  // namespace

bool IsStorableValueName(std::string_view Name) {
    return !NeedsHexForm(Name);
}

std::string FormatRegFile(const TRegKey& Root) {
    std::string out(RegFileHeader);
    out += "\n\n";
    AppendKey(out, Root, std::string(RegRootKeyName), !Root.Values().empty());
    return out;
}

}  // namespace quorvel
