#include <gtest/gtest.h>

#include "core/IntegerText.h"

using quorvel::StrToIntDef;
using quorvel::TryStrToInt;

TEST(IntegerText, AcceptsDecimalWithBlanksAndSign) {
    std::int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("110", v));
    EXPECT_EQ(v, 110);
    EXPECT_TRUE(TryStrToInt("   -42", v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(TryStrToInt("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(TryStrToInt("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(TryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
}

TEST(IntegerText, AcceptsHexadecimalPrefixes) {
    std::int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("$6E", v));
    EXPECT_EQ(v, 110);
    EXPECT_TRUE(TryStrToInt("x6e", v));
    EXPECT_EQ(v, 110);
    EXPECT_TRUE(TryStrToInt("0X6E", v));
    EXPECT_EQ(v, 110);
    EXPECT_TRUE(TryStrToInt("-$10", v));
    EXPECT_EQ(v, -16);
    EXPECT_TRUE(TryStrToInt("$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
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
