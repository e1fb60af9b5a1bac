#include "settings/RegFileFormat.h"

#include <cstdint>
#include <optional>

#include "settings/RegFileText.h"

namespace quorvel {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

// Reads a quoted text at the start of s (s[0] == '"'), undoing \" and \\.
// A backslash before any other character is kept as it is. Advances s past
// the closing quote; nothing when the quote is not closed.
std::optional<std::string> ReadQuoted(std::string_view& s) {
    std::string text;
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return text;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) {
            text += s[i + 1];
            i += 2;
            continue;
        }
        text += c;
        ++i;
    }
    return std::nullopt;
}

// Comma-separated bytes of one or two hex digits each, blanks allowed.
std::optional<std::string> ReadHexBytes(std::string_view s) {
    std::string bytes;
    s = TrimRight(TrimLeft(s));
    if (s.empty()) return bytes;
    while (true) {
        s = TrimLeft(s);
        std::size_t n = 0;
        int value = 0;
        while (n < s.size() && n < 3 && HexValue(s[n]) >= 0) {
            value = value * 16 + HexValue(s[n]);
            ++n;
        }
        if (n == 0 || n > 2) return std::nullopt;
        bytes += static_cast<char>(value);
        s = TrimLeft(s.substr(n));
        if (s.empty()) return bytes;
        if (s.front() != ',') return std::nullopt;
        s.remove_prefix(1);
        // A trailing comma is what regedit leaves before a line break.
        if (TrimLeft(s).empty()) return bytes;
    }
}

// Reads the data after "=" into value; an error text when it cannot.
// Unicode: the file is a "Version 5.00" export, whose text types in hex form
// hold UTF-16 little endian, turned into UTF-8 here.
std::optional<std::string> ReadData(std::string_view data, TRegValue& value, bool Unicode) {
    data = TrimRight(TrimLeft(data));
    if (!data.empty() && data.front() == '"') {
        std::optional<std::string> text = ReadQuoted(data);
        if (!text) return "unclosed quote";
        if (!TrimLeft(data).empty()) return "text after the closing quote";
        value.Type = TRegDataType::String;
        value.Data = std::move(*text);
        return std::nullopt;
    }
    if (StartsWithNoCase(data, "dword:")) {
        const std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return "bad dword";
        std::uint32_t n = 0;
        for (char c : digits) {
            const int v = HexValue(c);
            if (v < 0) return "bad dword";
            n = (n << 4) | static_cast<std::uint32_t>(v);
        }
        value.Type = TRegDataType::DWord;
        value.Data.clear();
        for (int i = 0; i < 4; ++i) value.Data += static_cast<char>((n >> (8 * i)) & 0xFF);
        return std::nullopt;
    }
    if (StartsWithNoCase(data, "hex")) {
        std::string_view rest = data.substr(3);
        std::uint32_t type = static_cast<std::uint32_t>(TRegDataType::Binary);
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            if (close == std::string_view::npos || close == 1 || close > 9) return "bad hex type";
            type = 0;
            for (char c : rest.substr(1, close - 1)) {
                const int v = HexValue(c);
                if (v < 0) return "bad hex type";
                type = (type << 4) | static_cast<std::uint32_t>(v);
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') return "bad hex data";
        std::optional<std::string> bytes = ReadHexBytes(rest.substr(1));
        if (!bytes) return "bad hex data";
        value.Type = static_cast<TRegDataType>(type);
        const bool text = value.Type == TRegDataType::String || value.Type == TRegDataType::ExpandString;
        if (text && Unicode) {
            if (bytes->size() >= 2 && bytes->substr(bytes->size() - 2) == std::string(2, '\0'))
                bytes->resize(bytes->size() - 2);
            std::optional<std::string> utf8 = Utf16LeToUtf8(*bytes);
            if (!utf8) return "bad UTF-16 text";
            *bytes = std::move(*utf8);
        } else if (text && !bytes->empty() && bytes->back() == '\0') {
            bytes->pop_back();
        }
        value.Data = std::move(*bytes);
        return std::nullopt;
    }
    if (data == "-") return "value deletion is not supported here";
    return "unknown data";
}

// The start of a line that names a skipped part, cut after MaxShownLength
// bytes, never inside a UTF-8 sequence.
constexpr std::size_t MaxShownLength = 80;

std::string ShownPart(std::string_view Line) {
    if (Line.size() <= MaxShownLength) return std::string(Line);
    std::size_t end = MaxShownLength;
    while (end > 0 && (static_cast<unsigned char>(Line[end]) & 0xC0) == 0x80) --end;
    return std::string(Line.substr(0, end)) + "...";
}

class TParser {
public:
    explicit TParser(std::string_view text) : FText(text) {
        if (FText.substr(0, 3) == "\xEF\xBB\xBF") FText.remove_prefix(3);
        FResult.Root = std::make_unique<TRegKey>(std::string(RegRootKeyName));
    }

    TRegFileContent Run() {
        bool headerSeen = false;
        std::string_view line;
        while (NextLine(line)) {
            const std::string_view trimmed = TrimRight(TrimLeft(line));
            if (trimmed.empty() || trimmed.front() == ';') continue;
            if (!headerSeen) {
                headerSeen = true;
                if (trimmed == RegFileHeader) continue;
                if (trimmed == RegFileUnicodeHeader) {
                    FUnicode = true;
                    continue;
                }
                Problem("the first line is not " + std::string(RegFileHeader), "");
            }
            if (trimmed.front() == '[') {
                Section(trimmed);
            } else if (trimmed.front() == '"' || trimmed.front() == '@') {
                Value(trimmed);
            } else {
                Problem("not a section or a value", trimmed);
            }
        }
        if (!headerSeen) {
            FLineNo = 0;
            Problem("no " + std::string(RegFileHeader) + " line", "");
        }
        return std::move(FResult);
    }

private:
    bool NextLine(std::string_view& line) {
        if (FPos >= FText.size()) return false;
        std::size_t end = FText.find('\n', FPos);
        if (end == std::string_view::npos) end = FText.size();
        line = FText.substr(FPos, end - FPos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        FPos = end + 1;
        ++FLineNo;
        return true;
    }

    // A line that cannot be read; What is the line or the part of it that
    // names what is left out. Inside a section that cannot be read the line
    // goes with that section.
    void Problem(const std::string& why, std::string_view What) {
        FResult.Problems.push_back("line " + std::to_string(FLineNo) + ": " + why);
        if (FBrokenSection) {
            TRegFileSkip& section = FResult.Skipped.back();
            section.LastLine = FLineNo;
            ++section.Lines;
            return;
        }
        FResult.Skipped.push_back({FLineNo, FLineNo, why, ShownPart(What), false, 0});
    }

    // A section line that cannot be read: its values go with it.
    void SectionProblem(const std::string& why, std::string_view line) {
        FBrokenSection = false;
        Problem(why, line);
        FResult.Skipped.back().Section = true;
        FBrokenSection = true;
    }

    void Section(std::string_view line) {
        FCurrent = nullptr;
        FBrokenSection = false;
        if (line.back() != ']') return SectionProblem("section without ]", line);
        const std::string_view path = line.substr(1, line.size() - 2);
        if (!path.empty() && path.front() == '-') return SectionProblem("key deletion is not supported here", line);
        // Counted before anything is split, so a path of any length costs
        // one pass over its line.
        std::size_t levels = 0;
        for (char c : path) levels += c == '\\' ? 1 : 0;
        if (levels > MaxKeyDepth) {
            return SectionProblem("key deeper than " + std::to_string(MaxKeyDepth) + " levels", line);
        }
        std::vector<std::string> parts;
        std::size_t start = 0;
        while (true) {
            std::size_t end = path.find('\\', start);
            if (end == std::string_view::npos) end = path.size();
            parts.emplace_back(path.substr(start, end - start));
            if (end == path.size()) break;
            start = end + 1;
        }
        if (!SameName(parts.front(), RegRootKeyName)) return SectionProblem("key outside HKEY_CURRENT_USER", line);
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (!IsValidKeyName(parts[i]))
                return SectionProblem("bad key name (empty, too long or with a control character)", line);
        }
        TRegKey* key = FResult.Root.get();
        for (std::size_t i = 1; i < parts.size(); ++i) key = &key->CreateKey(parts[i]);
        FCurrent = key;
    }

    void Value(std::string_view line) {
        TRegValue value;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            std::optional<std::string> name = ReadQuoted(rest);
            if (!name) return Problem("unclosed quote in a value name", line);
            value.Name = std::move(*name);
        }
        const std::string_view shown = line.substr(0, line.size() - rest.size());
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() != '=') return Problem("value without =", shown);
        rest.remove_prefix(1);

        // Hex data may continue over lines ending in a backslash.
        std::string joined;
        const std::string_view data = TrimLeft(rest);
        if (StartsWithNoCase(data, "hex")) {
            std::string_view part = TrimRight(data);
            std::string_view next;
            while (!part.empty() && part.back() == '\\') {
                joined += part.substr(0, part.size() - 1);
                if (!NextLine(next)) break;
                part = TrimRight(TrimLeft(next));
            }
            if (part.empty() || part.back() != '\\') joined += part;
            rest = joined;
        }

        if (FCurrent == nullptr) return Problem("value outside a readable section", shown);
        if (std::optional<std::string> error = ReadData(rest, value, FUnicode)) return Problem(*error, shown);
        FCurrent->SetValue(std::move(value));
    }

    std::string_view FText;
    std::size_t FPos = 0;
    std::size_t FLineNo = 0;
    TRegKey* FCurrent = nullptr;
    bool FBrokenSection = false;  // the last section line could not be read
    bool FUnicode = false;
    TRegFileContent FResult;
};

}  // namespace

TRegFileContent ParseRegFile(std::string_view Text) {
    return TParser(Text).Run();
}

}  // namespace quorvel
