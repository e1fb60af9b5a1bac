#include <gtest/gtest.h>

#include <string>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/XpmPicture.h"

using quorvel::DecodeXpmPicture;

namespace {

std::string Repeat(const std::string& Text, int Times) {
    std::string result;
    while (Times-- > 0) result += Text;
    return result;
}

// An XPM text with the header, the colour lines and 16 rows of Row (as written in the file).
std::string Xpm(const std::string& Header, const std::string& Colours, const std::string& Row) {
    return "/* XPM */\nstatic char *x[] = {\n/* \"a\" */\n\"" + Header + "\",\n" + Colours +
           Repeat("\"" + Row + "\",\n", 16) + "};\n";
}

}  // namespace

TEST(XpmPicture, ReadsColoursTransparencyAndTwoCharacterPixels) {
    const auto picture = DecodeXpmPicture(Xpm("16 16 4 2 0 0",
                                              "\"   c None\",\n\"a. c #FF0000 m black\",\n\"b  m white c #0F8\",\n"
                                              "\"\\\"\\\\ s x c #123456789ABC\",\n",
                                              Repeat("  a.b \\\"\\\\", 4)));
    for (int x = 0; x < 16; ++x) {
        const std::uint32_t expected[] = {0u, 0xFFFF0000u, 0xFF00FF88u, 0xFF12569Au};
        EXPECT_EQ(picture.At(x, 15), expected[x % 4]) << x;
    }
}

TEST(XpmPicture, RefusesBrokenData) {
    const std::string good = "\"x c #000000\",\n\". c None\",\n", row = Repeat("x.", 8);
    const std::pair<std::string, std::string> cases[] = {
        {"", "no header"},
        {Xpm("16 16 2 0", good, row), "bad characters per pixel"},
        {Xpm("16 16 9 1", good, row), "too few lines"},
        {Xpm("16 16 2 1", "\"x c #00000G\",\n\". c None\",\n", row), "unknown colour \"#00000G\""},
        {Xpm("16 16 2 1", "\"x c\",\n\". c None\",\n", row), "colour line without a colour"},
        {Xpm("16 16 2 1", good, Repeat("xy", 8)), "pixel without a colour in row 0"},
        {"\"16 16 1 1\",\n\"x c None\"\n\"xxxx", "unterminated string"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(MessageOf<quorvel::Exception>([&] { DecodeXpmPicture(text); }), "Bad picture data: " + message);
    }
}
