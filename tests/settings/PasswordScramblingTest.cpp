#include <gtest/gtest.h>

#include "core/Exception.h"
#include "settings/Settings.h"

using namespace quorvel;

TEST(PasswordScrambling, TransformsWorkOnBytes) {
    EXPECT_EQ(HexEncode(std::string("\x00\x7f\xff a", 5)), "007FFF2061");
    EXPECT_EQ(ReverseText("abc"), "cba");
    EXPECT_EQ(HexDecode("414a6f"), "AJo");
    EXPECT_EQ(HexDecode("41F"), "A");  // an odd last byte is ignored
    EXPECT_EQ(HexDecode(""), "");
    EXPECT_EQ(HexDecode("7"), "");
}

TEST(PasswordScrambling, HexDecodeRejectsNonHexPairs) {
    EXPECT_THROW(HexDecode("4G"), Exception);
    EXPECT_THROW(HexDecode("41 2"), Exception);
    EXPECT_THROW(HexDecode("0x41"), Exception);
    // A bad odd last byte is never looked at.
    EXPECT_EQ(HexDecode("41Z"), "A");
}

TEST(PasswordScrambling, EncodedFormIsKnownAndFourTimesLonger) {
    // "a" -> "61" -> "16" -> "3136" -> "6313"
    EXPECT_EQ(EncodePassword("a"), "6313");
    EXPECT_EQ(EncodePassword("ab"), "63136323");
    EXPECT_EQ(EncodePassword(""), "");
    EXPECT_EQ(DecodePassword(""), "");
    EXPECT_EQ(DecodePassword("6313"), "a");
}

TEST(PasswordScrambling, RoundTripsAnyBytes) {
    const std::string samples[] = {"secret", "日本語のパスワード", std::string("\x00\x01\xfe\xff", 4),
                                   "with \"quotes\" and \\", "\x82\xa0\x82\xa2"};
    for (const std::string& plain : samples) {
        const std::string stored = EncodePassword(plain);
        EXPECT_EQ(stored.size(), plain.size() * 4);
        EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        EXPECT_EQ(DecodePassword(stored), plain);
    }
}

TEST(PasswordScrambling, DecodeFailsOnTextThatIsNotScrambled) {
    EXPECT_THROW(DecodePassword("plain-password"), Exception);
    EXPECT_THROW(DecodePassword("63G3"), Exception);
}

TEST(IntervalConversion, MinutesAndPeriods) {
    EXPECT_EQ(MinutesToPeriod(5), 300000u);
    EXPECT_EQ(MinutesToPeriod(0), 0u);
    EXPECT_EQ(MinutesToPeriod(MaxIntervalMinutes), 4294920000u);
    // Beyond the largest interval the default is used instead of a wrapped product.
    EXPECT_EQ(MinutesToPeriod(MaxIntervalMinutes + 1), 300000u);
    EXPECT_EQ(MinutesToPeriod(0xFFFFFFFFu), 300000u);
    EXPECT_EQ(PeriodToMinutes(299999), 4u);
    EXPECT_EQ(PeriodToMinutes(300000), 5u);
    EXPECT_EQ(PeriodToMinutes(0xFFFFFFFFu), MaxIntervalMinutes);
}
