// The umbrella header alone must be enough to parse a song.

#include "TunequillKit/TunequillKit.h"

#include <gtest/gtest.h>

TEST(Umbrella, ParsesThroughThePublicHeader)
{
    auto song = TunequillKit::ChordProParser::parse("{title: Hymn}\n[G]Words");
    EXPECT_EQ(song.title, "Hymn");
}
