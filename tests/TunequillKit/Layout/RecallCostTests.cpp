// A song of tens of thousands of chorus recalls, laid out and rendered in a
// child process: each recall is a look-up, so it costs what its cue costs,
// about what a comment line in its place costs.

#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

TEST(HostileCost, ChorusRecallsByTheHundredThousandAreLookUps)
{
    // Enough that a search from the song's end at every recall lands over
    // three times past the bound (27 times the comments' cost at 150,000).
    const int recalls = HangGuard::sanitized ? 37'500 : 150'000;
    const std::string head = "{title: Recalls}\n{soc: Refrain}\n[G]Sing a[C]long\n{eoc}\n{soc}\n[D]All to[G]gether\n{eoc}\n";
    std::string song = head, comments = head;
    for (int i = 0; i < recalls; ++i) {
        song += i % 2 ? "{chorus}\n" : "{chorus: Refrain}\n";
        comments += "{comment: Refrain}\n";
    }
    const auto folder = std::filesystem::temp_directory_path();
    const auto file = folder / ("recalls-" + std::to_string(getpid()) + ".cho");
    const auto reference = folder / ("comments-" + std::to_string(getpid()) + ".cho");
    HostileFiles::write(file, song);
    HostileFiles::write(reference, comments);
    // Looked up, they cost about 2.3 times what the comments cost.
    const double bound = HangGuard::ratio(2.5);
    const HostileFiles::Beside beside = HostileFiles::probeBeside(FOLMIRA_SONGBOOK_PROBE, file, reference, bound);
    std::filesystem::remove(file);
    std::filesystem::remove(reference);
    EXPECT_EQ(beside.cost.output.rfind("songbook ", 0), 0u) << beside.cost.output;
    EXPECT_EQ(beside.reference.output.rfind("songbook ", 0), 0u) << beside.reference.output;
    EXPECT_LT(beside.ratio(), bound) << beside.cost.cpuSeconds << " s of CPU, " << beside.reference.cpuSeconds
                                     << " s with comments in their place";
    EXPECT_LT(beside.cost.peakMegabytes, HangGuard::sanitized ? 1500 : 500);
}

// A sheet of thousands of lines of dashes, none of them a staff: each run of
// such lines is looked at once, so they cost about what lyric lines cost.
TEST(HostileCost, RunsOfDashesAreReadOnce)
{
    const int lines = HangGuard::sanitized ? 8'000 : 30'000;
    std::string dashes = "Dashes\n\n", lyrics = dashes;
    for (int i = 0; i < lines; ++i) {
        dashes += "--------------------|\n";
        lyrics += "la la la la la la la|\n";
    }
    const auto folder = std::filesystem::temp_directory_path();
    const auto file = folder / ("dashes-" + std::to_string(getpid()) + ".txt");
    const auto reference = folder / ("lyrics-" + std::to_string(getpid()) + ".txt");
    HostileFiles::write(file, dashes);
    HostileFiles::write(reference, lyrics);
    const double bound = HangGuard::ratio(3);
    const HostileFiles::Beside beside = HostileFiles::probeBeside(FOLMIRA_SONGBOOK_PROBE, file, reference, bound);
    std::filesystem::remove(file);
    std::filesystem::remove(reference);
    EXPECT_EQ(beside.cost.output.rfind("songbook ", 0), 0u) << beside.cost.output;
    EXPECT_LT(beside.ratio(), bound) << beside.cost.cpuSeconds << " s of CPU, " << beside.reference.cpuSeconds
                                     << " s with lyrics in their place";
}
