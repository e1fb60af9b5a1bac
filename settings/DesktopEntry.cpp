#include "settings/DesktopEntry.h"

#include <cstdint>

#include "core/AsciiCase.h"

namespace quorvel {

namespace {

constexpr std::string_view ReservedExecCharacters = " \t\n\"'\\><~|&;$*?#()`";

std::string_view Trimmed(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t')) Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r')) {
        Text.remove_suffix(1);
    }
    return Text;
}

}  // namespace

std::string QuoteExecArgument(std::string_view Argument) {
    std::string doubled;
    for (char c : Argument) {
        doubled += c;
        if (c == '%') doubled += '%';
    }
    const bool needsQuotes = doubled.empty() || doubled.find_first_of(ReservedExecCharacters) != std::string::npos;
    if (!needsQuotes) return doubled;
    std::string quoted = "\"";
    for (char c : doubled) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string EscapeStringValue(std::string_view Value) {
    std::string escaped;
    for (std::size_t i = 0; i < Value.size(); ++i) {
        const char c = Value[i];
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == ' ' && i == 0) {
            escaped += "\\s";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string UnescapeStringValue(std::string_view Value) {
    std::string text;
    for (std::size_t i = 0; i < Value.size(); ++i) {
        if (Value[i] != '\\' || i + 1 == Value.size()) {
            text += Value[i];
            continue;
        }
        switch (Value[++i]) {
            case 's': text += ' '; break;
            case 'n': text += '\n'; break;
            case 't': text += '\t'; break;
            case 'r': text += '\r'; break;
            case '\\': text += '\\'; break;
            default: text += '\\'; text += Value[i];
        }
    }
    return text;
}

std::optional<std::vector<std::string>> SplitExecArguments(std::string_view Exec) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (true) {
        while (i < Exec.size() && Exec[i] == ' ') ++i;
        if (i == Exec.size()) break;
        std::string argument;
        if (Exec[i] == '"') {
            ++i;
            while (true) {
                if (i == Exec.size()) return std::nullopt;
                const char c = Exec[i++];
                if (c == '"') break;
                if (c == '\\') {
                    if (i == Exec.size()) return std::nullopt;
                    const char next = Exec[i++];
                    if (next != '"' && next != '`' && next != '$' && next != '\\') return std::nullopt;
                    argument += next;
                } else {
                    argument += c;
                }
            }
            if (i < Exec.size() && Exec[i] != ' ') return std::nullopt;
        } else {
            while (i < Exec.size() && Exec[i] != ' ') {
                if (Exec[i] == '"') return std::nullopt;
                argument += Exec[i++];
            }
        }
        std::string literal;
        for (std::size_t k = 0; k < argument.size(); ++k) {
            literal += argument[k];
            if (argument[k] == '%' && k + 1 < argument.size() && argument[k + 1] == '%') ++k;
        }
        arguments.push_back(literal);
    }
    return arguments;
}

std::optional<std::string> DesktopEntryValue(std::string_view EntryText, std::string_view Key) {
    bool inGroup = false;
    std::size_t start = 0;
    while (start < EntryText.size()) {
        std::size_t end = EntryText.find('\n', start);
        if (end == std::string_view::npos) end = EntryText.size();
        const std::string_view line = Trimmed(EntryText.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (Trimmed(line.substr(0, equals)) != Key) continue;
        return UnescapeStringValue(Trimmed(line.substr(equals + 1)));
    }
    return std::nullopt;
}

std::string AutostartEntryText(std::string_view Name, std::string_view ProgramPath) {
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + EscapeStringValue(Name) + "\n";
    text += "Comment=POP3 mail checker of the notification area\n";
    text += "Exec=" + EscapeStringValue(QuoteExecArgument(ProgramPath)) + "\n";
    text += "Terminal=false\n";
    return text;
}

bool AutostartEntryStarts(std::string_view EntryText, std::string_view ProgramPath) {
    if (DesktopEntryValue(EntryText, "Hidden") == "true") return false;
    if (DesktopEntryValue(EntryText, "X-GNOME-Autostart-enabled") == "false") return false;
    const std::optional<std::string> exec = DesktopEntryValue(EntryText, "Exec");
    if (!exec) return false;
    const auto arguments = SplitExecArguments(*exec);
    return arguments && arguments->size() == 1 && EqualIgnoringAsciiCase(arguments->front(), ProgramPath);
}

bool IsValidUtf8(std::string_view Text) {
    std::size_t i = 0;
    while (i < Text.size()) {
        const auto lead = static_cast<std::uint8_t>(Text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
        } else {
            return false;
        }
        if (i + length > Text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(Text[i + k]);
            if ((next & 0xC0u) != 0x80u) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

}  // namespace quorvel
