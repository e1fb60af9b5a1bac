#include <gtest/gtest.h>

#include "net/Pop3Client.h"
#include "net/SocketErrors.h"

namespace quorvel {
namespace {

TEST(SocketErrors, ErrorTextJoinsNumberAndTableText) {
    EXPECT_EQ(ErrorText(10061), "10061:Connection refused");
    EXPECT_EQ(ErrorText(10054), "10054:Connection reset by peer");
    EXPECT_EQ(ErrorText(10004), "10004:Interrupted system call");
    EXPECT_EQ(ErrorText(10047), "10047:Address family not supported by protocol family");
    EXPECT_EQ(ErrorText(10065), "10065:No route to Host");
    EXPECT_EQ(ErrorText(11003), "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP");
    EXPECT_EQ(ErrorText(11004), "11004:Valid name, no data record of requested type");
}

TEST(SocketErrors, UnknownAndZeroCodes) {
    EXPECT_EQ(ErrorText(10101), "Unknown Error No. 10101");
    EXPECT_EQ(ErrorText(10072), "Unknown Error No. 10072");
    EXPECT_EQ(ErrorText(-1), "Unknown Error No. -1");
    EXPECT_EQ(ErrorText(0), "") << "code 0 is never looked up";
}

TEST(NthWord, FieldsAndSeparators) {
    EXPECT_EQ(TPop3Client::NthWord("+OK 2 320\r\n", ' ', 1), "+OK");
    EXPECT_EQ(TPop3Client::NthWord("+OK 2 320\r\n", ' ', 2), "2");
    EXPECT_EQ(TPop3Client::NthWord("+OK 2 320\r\n", ' ', 3), "320\r\n");
    EXPECT_EQ(TPop3Client::NthWord("+OK 2\r\n", ' ', 2), "2\r\n") << "the last field keeps the line end";
    EXPECT_EQ(TPop3Client::NthWord("+OK 2 320\r\n", ' ', 4), "");
    EXPECT_EQ(TPop3Client::NthWord("a  b", ' ', 2), "") << "consecutive separators make an empty field";
    EXPECT_EQ(TPop3Client::NthWord("a  b", ' ', 3), "b");
    EXPECT_EQ(TPop3Client::NthWord(" +OK", ' ', 1), "");
    EXPECT_EQ(TPop3Client::NthWord("", ' ', 1), "");
    EXPECT_EQ(TPop3Client::NthWord("a,b", ',', 0), "");
}

TEST(NthWord, PositiveRepliesAreCaseSensitive) {
    EXPECT_TRUE(TPop3Client::IsPositive("+OK\r\n"));
    EXPECT_TRUE(TPop3Client::IsPositive("+OK POP3 ready\r\n"));
    EXPECT_TRUE(TPop3Client::IsPositive("x+OKy more\r\n")) << "+OK anywhere in the first field";
    EXPECT_FALSE(TPop3Client::IsPositive("+ok\r\n"));
    EXPECT_FALSE(TPop3Client::IsPositive(" +OK\r\n")) << "a leading blank empties the first field";
    EXPECT_FALSE(TPop3Client::IsPositive("-ERR +OK\r\n"));
    EXPECT_FALSE(TPop3Client::IsPositive(""));
}

}  // namespace
}  // namespace quorvel
