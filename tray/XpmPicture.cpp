#include "tray/XpmPicture.h"

#include <cctype>
#include <charconv>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/Exception.h"

namespace quorvel {

namespace {

[[noreturn]] void Fail(const std::string& Why) {
    throw Exception("Bad picture data: " + Why);
}

// The double-quoted strings of the text in order, outside comments.
std::vector<std::string> QuotedStrings(std::string_view Text) {
    std::vector<std::string> strings;
    std::size_t i = 0;
    while (i < Text.size()) {
        if (Text.compare(i, 2, "/*") == 0) {
            const std::size_t end = Text.find("*/", i + 2);
            if (end == std::string_view::npos) Fail("unterminated comment");
            i = end + 2;
        } else if (Text.compare(i, 2, "//") == 0) {
            const std::size_t end = Text.find('\n', i);
            i = end == std::string_view::npos ? Text.size() : end + 1;
        } else if (Text[i] == '"') {
            std::string text;
            for (++i;; ++i) {
                if (i >= Text.size() || Text[i] == '\n') Fail("unterminated string");
                if (Text[i] == '"') break;
                if (Text[i] == '\\' && i + 1 < Text.size()) ++i;
                text += Text[i];
            }
            strings.push_back(std::move(text));
            ++i;
        } else {
            ++i;
        }
    }
    return strings;
}

std::string Lower(std::string Text) {
    for (char& c : Text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return Text;
}

std::optional<std::uint32_t> HexDigits(std::string_view Digits) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), value, 16);
    if (error != std::errc() || end != Digits.data() + Digits.size()) return std::nullopt;
    return value;
}

// 0xAARRGGBB of one colour value.
std::uint32_t ParseColour(const std::string& Value) {
    const std::string name = Lower(Value);
    if (name == "none") return 0;
    if (name == "black") return 0xFF000000u;
    if (name == "white") return 0xFFFFFFFFu;
    if (name.size() > 1 && name[0] == '#' && (name.size() - 1) % 3 == 0 && name.size() - 1 <= 12) {
        const std::size_t width = (name.size() - 1) / 3;
        std::uint32_t argb = 0xFF000000u;
        for (int channel = 0; channel < 3; ++channel) {
            const auto digits = HexDigits(std::string_view(name).substr(1 + channel * width, width));
            if (!digits) break;
            // Keep the top eight bits of each channel; one digit stands for itself twice.
            const std::uint32_t byte = width == 1 ? *digits * 0x11u : *digits >> (4 * (width - 2));
            argb |= byte << (16 - 8 * channel);
            if (channel == 2) return argb;
        }
    }
    Fail("unknown colour \"" + Value + "\"");
}

// The colour of one colour line's definitions, such as "c #FF0000 m black".
std::uint32_t ColourOfDefinition(std::string_view Definition) {
    std::map<std::string, std::string> values;
    std::string key;
    std::istringstream words{std::string(Definition)};
    for (std::string word; words >> word;) {
        if (word == "c" || word == "m" || word == "g" || word == "g4" || word == "s") {
            key = word;
            values[key];
        } else if (key.empty()) {
            Fail("colour without a key");
        } else {
            std::string& value = values[key];
            value += value.empty() ? word : " " + word;
        }
    }
    for (const char* preferred : {"c", "g", "g4", "m"}) {
        const auto found = values.find(preferred);
        if (found != values.end() && !found->second.empty()) return ParseColour(found->second);
    }
    Fail("colour line without a colour");
}

}  // namespace

TPicture16 DecodeXpmPicture(std::string_view Text) {
    const std::vector<std::string> strings = QuotedStrings(Text);
    if (strings.empty()) Fail("no header");
    int width = 0, height = 0, colours = 0, perPixel = 0;
    std::istringstream header(strings[0]);
    if (!(header >> width >> height >> colours >> perPixel)) Fail("bad header \"" + strings[0] + "\"");
    if (width != TPicture16::Size || height != TPicture16::Size) Fail("the picture is not 16 x 16");
    if (perPixel < 1 || perPixel > 4) Fail("bad characters per pixel");
    if (colours < 1 || static_cast<std::size_t>(colours) + TPicture16::Size + 1 > strings.size()) {
        Fail("too few lines");
    }

    std::map<std::string, std::uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const std::string& line = strings[i];
        if (line.size() < static_cast<std::size_t>(perPixel)) Fail("short colour line");
        palette[line.substr(0, perPixel)] = ColourOfDefinition(std::string_view(line).substr(perPixel));
    }

    TPicture16 picture;
    for (int y = 0; y < TPicture16::Size; ++y) {
        const std::string& row = strings[colours + 1 + y];
        if (row.size() != static_cast<std::size_t>(TPicture16::Size * perPixel)) Fail("bad row length");
        for (int x = 0; x < TPicture16::Size; ++x) {
            const auto found = palette.find(row.substr(x * perPixel, perPixel));
            if (found == palette.end()) Fail("pixel without a colour in row " + std::to_string(y));
            picture.Set(x, y, found->second);
        }
    }
    return picture;
}

}  // namespace quorvel
