// A song of tens of thousands of chorus recalls, laid out and rendered in a
// child process: each recall is a look-up, so it costs what its cue costs.

#include "tests/FolmiraKit/HostileFiles.h"
#include "tests/HangGuard.h"

#include <gtest/gtest.h>

TEST(HostileCost, FiftyThousandChorusRecallsAreLookUps)
{
    const int recalls = HangGuard::sanitized ? 12'500 : 50'000;
    std::string song = "{title: Recalls}\n{soc: Refrain}\n[G]Sing a[C]long\n{eoc}\n{soc}\n[D]All to[G]gether\n{eoc}\n";
    for (int i = 0; i < recalls; ++i) song += i % 2 ? "{chorus}\n" : "{chorus: Refrain}\n";
    const auto file = std::filesystem::temp_directory_path() / ("recalls-" + std::to_string(getpid()) + ".cho");
    HostileFiles::write(file, song);
    HostileFiles::Cost cost = HostileFiles::probeWith(FOLMIRA_SONGBOOK_PROBE, file);
    std::filesystem::remove(file);
    EXPECT_EQ(cost.output.rfind("songbook ", 0), 0u) << cost.output;
    // Searched from the song's end at every recall, it took ten seconds.
    EXPECT_LT(cost.cpuSeconds, 3.0 * HangGuard::slowdown);
    EXPECT_LT(cost.peakMegabytes, HangGuard::sanitized ? 1500 : 500);
}
