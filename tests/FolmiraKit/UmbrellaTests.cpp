// The umbrella header alone must be enough to read a file.

#include "FolmiraKit/FolmiraKit.h"

#include <gtest/gtest.h>

TEST(Umbrella, ReadsThroughTheEntry)
{
    auto doc = FolmiraKit::Folmira::readBytes({'H', 'i'}, "md", "t", std::nullopt, false);
    EXPECT_EQ(doc.source, FolmiraKit::BigDocument::Source::markdown);
}
