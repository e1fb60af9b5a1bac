#include <gtest/gtest.h>

#include <string>

#include "core/VisibleText.h"

using namespace quorvel;

TEST(VisibleText, ControlCharactersBecomeVisibleEscapes) {
    struct {
        std::string In;
        std::string Out;
    } const cases[] = {
        {"-ERR plain text", "-ERR plain text"},
        {"tab\tstays", "tab\tstays"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"\x1b[2J\r\n", "\\x1b[2J\\x0d\\x0a"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"del\x7f", "del\\x7f"},
        {"\xc2\x9b"
         "31m",
         "\\u009b31m"},  // C1 CSI written in UTF-8
        {"\x9b"
         "31m",
         "\\x9b31m"},                                                                // a lone C1 byte
        {"\xe6\x97\xa5\xe6\x9c\xac \xc3\xa4", "\xe6\x97\xa5\xe6\x9c\xac \xc3\xa4"},  // UTF-8 text stays
        {"\xc3", "\\xc3"},                                                           // cut-off sequence
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},                                         // a surrogate is no character
        {"back\\slash", "back\\slash"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VisibleText(c.In), c.Out) << c.Out;
        // Only a tab, which is shown as it is, may be left.
        std::string shown = VisibleText(c.In);
        std::erase(shown, '\t');
        EXPECT_FALSE(HoldsControlCharacter(shown)) << c.Out;
    }
    EXPECT_TRUE(HoldsControlCharacter(std::string("127.0.0.1\0.evil.invalid", 23)));
    EXPECT_TRUE(HoldsControlCharacter("host\t"));
    EXPECT_TRUE(HoldsControlCharacter("\xc2\x85"));
    EXPECT_FALSE(HoldsControlCharacter("\xe6\x97\xa5.example.jp"));
}
