#include <gtest/gtest.h>

#include <cerrno>
#include <utility>

#include "net/SocketErrors.h"

namespace quorvel {
namespace {

TEST(SocketErrors, ErrnoKeepsTheSocketNumbering) {
    for (const auto& [error, code] :
         {std::pair{ECONNREFUSED, 10061}, std::pair{ECONNRESET, 10054}, std::pair{ETIMEDOUT, 10060},
          std::pair{EHOSTUNREACH, 10065}, std::pair{ENETUNREACH, 10051}, std::pair{ENOTCONN, 10057},
          std::pair{EAGAIN, 10035}, std::pair{EWOULDBLOCK, 10035}, std::pair{EINPROGRESS, 10036},
          std::pair{EALREADY, 10037}, std::pair{EISCONN, 10056}, std::pair{EADDRINUSE, 10048}, std::pair{0, 0}})
        EXPECT_EQ(SocketErrorFromErrno(error), code) << error;
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
