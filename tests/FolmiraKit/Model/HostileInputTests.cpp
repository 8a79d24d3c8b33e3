// Any bytes at all must give a document or a ConversionError, never a crash.

#include "FolmiraKit/Model/Folmira.h"

#include <gtest/gtest.h>

#include <random>

using namespace FolmiraKit;

TEST(HostileInput, RandomAndTruncatedBytesNeverCrash)
{
    std::mt19937 random(20261207);
    const std::string sample = "Title\n\n\xEF\xBB\xBF- item\n1. one\n> quote\n\xFF\xFE\x93x\x94\r\nWORDS:\n\t\t- deep";
    for (std::string_view extension : Folmira::extensions) {
        for (int round = 0; round < 60; ++round) {
            std::vector<std::uint8_t> data(static_cast<std::size_t>(random() % 600));
            for (auto& b : data) b = static_cast<std::uint8_t>(random());
            if (round % 3 == 0) data.assign(sample.begin(), sample.begin() + static_cast<long>(random() % sample.size()));
            try {
                BigDocument doc = Folmira::readBytes(data, extension, "fuzz", std::nullopt, round % 2 == 0);
                EXPECT_EQ(doc.title, "fuzz");
            } catch (const ConversionError& error) {
                EXPECT_FALSE(error.message().empty());
            }
        }
    }
}
