#include "settings/RegFileFormat.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

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

void AppendSection(std::string& out, const TRegKey& key, const std::string& path) {
    out += '[';
    out += path;
    out += "]\n";
    for (const TRegValue& value : key.Values()) AppendValue(out, value);
    out += '\n';
}

// Depth first without recursion. A key that has subkeys and no values gets no
// section: its subkeys' sections bring it back. So every section written
// carries values or is a leaf, and the text never grows beyond the one a
// person would write for the same tree.
void AppendTree(std::string& out, const TRegKey& root) {
    struct TFrame {
        const TRegKey* Key;
        std::map<std::string, std::unique_ptr<TRegKey>, TNameLess>::const_iterator Next;
        std::size_t PathLength;
    };
    std::string path(RegRootKeyName);
    if (!root.Values().empty()) AppendSection(out, root, path);
    std::vector<TFrame> stack{{&root, root.Keys().begin(), path.size()}};
    while (!stack.empty()) {
        TFrame& frame = stack.back();
        if (frame.Next == frame.Key->Keys().end()) {
            stack.pop_back();
            continue;
        }
        const TRegKey& key = *frame.Next->second;
        ++frame.Next;
        path.resize(frame.PathLength);
        path += '\\';
        path += key.Name();
        if (!key.Values().empty() || key.Keys().empty()) AppendSection(out, key, path);
        stack.push_back({&key, key.Keys().begin(), path.size()});
    }
}

}  // namespace

bool IsStorableValueName(std::string_view Name) {
    return !NeedsHexForm(Name);
}

std::string FormatRegFile(const TRegKey& Root) {
    std::string out(RegFileHeader);
    out += "\n\n";
    AppendTree(out, Root);
    return out;
}

}  // namespace quorvel
