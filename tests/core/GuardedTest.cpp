#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/Guarded.h"

using namespace quorvel;

// Whatever a handler throws stops at the wrapper and is reported once; a
// report that throws itself goes no further either.
TEST(Guarded, NothingEscapesAndEachFailureIsToldOnce) {
    std::vector<std::string> told;
    const TErrorReport report = [&told](const std::string& Message) { told.push_back(Message); };
    Guarded(report, [] {});
    Guarded(report, [] { throw std::runtime_error("disk full"); });
    Guarded(report, [] { throw 42; });
    Guarded(report, [] { throw "a bare string"; });
    EXPECT_EQ(told, (std::vector<std::string>{"disk full", "Unknown error", "Unknown error"}));

    EXPECT_NO_THROW(Guarded([](const std::string&) { throw std::logic_error("report failed"); },
                            [] { throw std::runtime_error("x"); }));
    EXPECT_NO_THROW(Guarded(TErrorReport{}, [] { throw std::runtime_error("nobody to tell"); }));
}
