#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "core/IntegerText.h"

TEST(IsIntegerText, TellsWholeIntegersFromEverythingElse) {
    const std::pair<const char*, bool> cases[] = {
        {"110", true},
        {"   110", true},
        {"+110", true},
        {"-1", true},
        {"$6E", true},
        {"0x6E", true},
        {"0X6e", true},
        {"-$6e", true},
        {"12345678901", true},
        {"00000000000000000000000110", true},
        {"9223372036854775807", true},
        {"-9223372036854775808", true},
        {"$FFFFFFFFFFFFFFFF", true},
        {"0x00000000000000000000FFFFFFFFFFFFFFFF", true},
        {"", false},
        {" ", false},
        {"+", false},
        {"$", false},
        {"0x", false},
        {"110 ", false},
        {"1 2", false},
        {"abc", false},
        {"x6E", false},
        {"\t110", false},
        {"+-1", false},
        {"- 1", false},
        {"1.0", false},
        {"0x6G", false},
        {"110\n", false},
        {"9223372036854775808", false},
        {"-9223372036854775809", false},
        {"$10000000000000000", false},
        {"18446744073709551616", false},
    };
    for (const auto& [text, integer] : cases) EXPECT_EQ(quorvel::IsIntegerText(text), integer) << '"' << text << '"';
    EXPECT_FALSE(
        quorvel::IsIntegerText(std::string("12\0"
                                           "3",
                                           4)));
}
