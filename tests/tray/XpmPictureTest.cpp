#include <gtest/gtest.h>

#include <string>

#include "core/Exception.h"
#include "tests/support/MessageOf.h"
#include "tray/XpmPicture.h"

using quorvel::DecodeXpmPicture;
using quorvel::TPicture16;

namespace {

std::string Repeat(const std::string& Text, int Times) {
    std::string result;
    for (int i = 0; i < Times; ++i) result += Text;
    return result;
}

// An XPM text with the given header and colour lines and 16 rows of Row
// (as written in the file, with its escapes).
std::string Xpm(const std::string& Header, const std::string& Colours, const std::string& Row) {
    return "/* XPM */\nstatic char *x[] = {\n/* header */\n\"" + Header + "\",\n" + Colours +
           Repeat("\"" + Row + "\",\n", 16) + "};\n";
}

}  // namespace

TEST(XpmPicture, ReadsColoursTransparencyAndTwoCharacterPixels) {
    const std::string text = Xpm("16 16 4 2", "\"   c None\",\n\"a. c #FF0000 m black\",\n"
                                 "\"b  m white c #0F8\",\n\"\\\"\\\\ s x c #123456789ABC\",\n",
                                 Repeat("  a.b \\\"\\\\", 4));
    const TPicture16 picture = DecodeXpmPicture(text);
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(picture.At(0, y), 0u);
        EXPECT_EQ(picture.At(1, y), 0xFFFF0000u);
        EXPECT_EQ(picture.At(2, y), 0xFF00FF88u);
        EXPECT_EQ(picture.At(3, y), 0xFF12569Au);
    }
}

TEST(XpmPicture, FallsBackToMonochromeKeyAndNamedColours) {
    const TPicture16 picture = DecodeXpmPicture(Xpm("16 16 2 1 0 0", "\"x m black\",\n\"o c White\",\n", Repeat("xo", 8)));
    EXPECT_EQ(picture.At(0, 3), 0xFF000000u);
    EXPECT_EQ(picture.At(1, 3), 0xFFFFFFFFu);
}

TEST(XpmPicture, RefusesBrokenData) {
    const std::string good = "\"x c #000000\",\n\". c None\",\n";
    struct Case {
        std::string Text;
        std::string Message;
    };
    const Case cases[] = {
        {"", "no header"},
        {Xpm("16 x", good, Repeat("x.", 8)), "bad header \"16 x\""},
        {Xpm("16 15 2 1", good, Repeat("x.", 8)), "the picture is not 16 x 16"},
        {Xpm("32 32 2 1", good, Repeat("x.", 8)), "the picture is not 16 x 16"},
        {Xpm("16 16 2 0", good, Repeat("x.", 8)), "bad characters per pixel"},
        {Xpm("16 16 9 1", good, Repeat("x.", 8)), "too few lines"},
        {Xpm("16 16 2 1", "\"x c #00000G\",\n\". c None\",\n", "x."), "unknown colour \"#00000G\""},
        {Xpm("16 16 2 1", "\"x c red\",\n\". c None\",\n", "x."), "unknown colour \"red\""},
        {Xpm("16 16 2 1", "\"x #000\",\n\". c None\",\n", "x."), "colour without a key"},
        {Xpm("16 16 2 1", "\"x c\",\n\". c None\",\n", "x."), "colour line without a colour"},
        {Xpm("16 16 2 1", good, Repeat("xy", 8)), "pixel without a colour in row 0"},
        {Xpm("16 16 2 1", good, Repeat("x.x", 5)), "bad row length"},
        {"\"16 16 1 1\",\n\"x c None\"\n\"xxxx", "unterminated string"},
        {"/* XPM", "unterminated comment"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageOf<quorvel::Exception>([&] { DecodeXpmPicture(c.Text); }), "Bad picture data: " + c.Message)
            << c.Text;
    }
}
