#include <gtest/gtest.h>

#include <cerrno>

#include "net/SocketErrors.h"

namespace quorvel {
namespace {

TEST(SocketErrors, ErrnoKeepsTheSocketNumbering) {
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EINPROGRESS), 10036);
    EXPECT_EQ(SocketErrorFromErrno(EALREADY), 10037);
    EXPECT_EQ(SocketErrorFromErrno(EISCONN), 10056);
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
}

TEST(SocketErrors, UnmappedErrnoNeverPosesAsATableEntry) {
    // EDEADLK is 35 and EIO 5: they must not come out as 10035 (would-block,
    // which is never raised) or any other number of the table.
    for (const int error : {EDEADLK, EIO, ENOSPC, EROFS}) {
        const std::int32_t code = SocketErrorFromErrno(error);
        EXPECT_GT(code, 10000);
        EXPECT_EQ(ErrorText(code).rfind("Unknown Error No. ", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace quorvel
