#include <gtest/gtest.h>

#include <string>

#include "core/IntegerText.h"

TEST(IsIntegerText, TellsWholeIntegersFromEverythingElse) {
    for (const char* text :
         {"110", "   110", "+110", "-1", "$6E", "0x6E", "0X6e", "-$6e", "12345678901", "00000000000000000000000110",
          "9223372036854775807", "-9223372036854775808", "$FFFFFFFFFFFFFFFF", "0x00000000000000000000FFFFFFFFFFFFFFFF"})
        EXPECT_TRUE(quorvel::IsIntegerText(text)) << '"' << text << '"';
    for (const char* text :
         {"", " ", "+", "$", "0x", "110 ", "1 2", "abc", "x6E", "\t110", "+-1", "- 1", "1.0", "0x6G", "110\n",
          "9223372036854775808", "-9223372036854775809", "$10000000000000000", "18446744073709551616"})
        EXPECT_FALSE(quorvel::IsIntegerText(text)) << '"' << text << '"';
    EXPECT_FALSE(quorvel::IsIntegerText(std::string("12\0003", 4)));  // a NUL inside
}
