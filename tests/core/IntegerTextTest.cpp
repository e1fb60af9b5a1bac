#include <gtest/gtest.h>

#include "core/IntegerText.h"

using quorvel::StrToIntDef;
using quorvel::TryStrToInt;

// Decimal with leading blanks and a sign, and the hexadecimal prefixes.
TEST(IntegerText, AcceptsDecimalAndHexadecimal) {
    struct Case {
        const char* Text;
        std::int32_t Value;
    };
    for (const auto& [text, value] : {Case{"110", 110}, Case{"   -42", -42}, Case{"+7", 7},
                                      Case{"2147483647", 2147483647}, Case{"-2147483648", INT32_MIN}, Case{"$6E", 110},
                                      Case{"x6e", 110}, Case{"0X6E", 110}, Case{"-$10", -16}, Case{"$FFFFFFFF", -1}}) {
        std::int32_t v = 0;
        EXPECT_TRUE(TryStrToInt(text, v)) << '"' << text << '"';
        EXPECT_EQ(v, value) << '"' << text << '"';
    }
}

TEST(IntegerText, RefusesEverythingElse) {
    std::int32_t v = 99;
    for (const char* text : {"", " ", "-", "$", "0x", "12 ", "1 2", "abc", "2147483648", "-2147483649", "$100000000",
                             "12\r\n", "\t5", "1e3", "0x-5"}) {
        EXPECT_FALSE(TryStrToInt(text, v)) << '"' << text << '"';
    }
    EXPECT_EQ(v, 99);
    EXPECT_EQ(StrToIntDef("2\r\n", 0), 0);
    EXPECT_EQ(StrToIntDef("x", 5), 5);
}
