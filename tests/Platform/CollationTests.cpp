#include "Platform/Collation.h"

#include <gtest/gtest.h>

namespace {

using Platform::Collation::standardCompare;

TEST(CollationTest, OrdersIgnoringCaseWithNumbersByValue)
{
    // Run under the C locale too, where ICU's default is en_US_POSIX.
    EXPECT_LT(standardCompare("alpha", "Song 2"), 0);
    EXPECT_LT(standardCompare("Song 2", "song 10"), 0);
    EXPECT_LT(standardCompare("Song 9", "Song 10"), 0);
    EXPECT_EQ(standardCompare("ABC", "abc"), 0);
    EXPECT_NE(standardCompare("resume", "résumé"), 0);
}

} // namespace
