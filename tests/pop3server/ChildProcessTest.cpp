#include "tests/pop3server/ChildProcess.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcessTest, CapturesOutputAndExitStatus) {
    const auto Result = RunChild("/bin/sh", {"-c", "printf 'one\\ntwo'; printf 'err' >&2; exit 3"}, {}, 10s);
    EXPECT_TRUE(Result.Finished);
    EXPECT_EQ(Result.ExitStatus, 3);
    EXPECT_EQ(Result.Output, "one\ntwo");
}

TEST(ChildProcessTest, ChangesOnlyTheNamedVariables) {
    ::setenv("QUORVEL_KEPT", "kept", 1);
    ::setenv("QUORVEL_REPLACED", "old", 1);
    const auto Result =
        RunChild("/bin/sh", {"-c", "printf '%s/%s/%s' \"$QUORVEL_KEPT\" \"$QUORVEL_REPLACED\" \"$QUORVEL_NEW\""},
                 {{"QUORVEL_REPLACED", "new value"}, {"QUORVEL_NEW", "added"}}, 10s);
    EXPECT_EQ(Result.Output, "kept/new value/added");
    EXPECT_EQ(Result.ExitStatus, 0);
}

TEST(ChildProcessTest, AChildThatOverrunsItsLimitIsKilled) {
    const auto Result = RunChild("/bin/sleep", {"30"}, {}, 300ms);
    EXPECT_FALSE(Result.Finished);
    EXPECT_EQ(Result.ExitStatus, -1);
    EXPECT_LT(Result.Elapsed, 10s);
}

TEST(ChildProcessTest, AChildThatClosesItsOutputEarlyIsStillBounded) {
    const auto Result = RunChild("/bin/sh", {"-c", "exec >&-; sleep 30"}, {}, 300ms);
    EXPECT_FALSE(Result.Finished);
    EXPECT_LT(Result.Elapsed, 10s);
}

TEST(ChildProcessTest, AMissingProgramExitsWith127) {
    const auto Result = RunChild("/nonexistent/quorvel-program", {}, {}, 10s);
    EXPECT_TRUE(Result.Finished);
    EXPECT_EQ(Result.ExitStatus, 127);
}

}  // namespace
}  // namespace quorvel
