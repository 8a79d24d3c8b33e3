// What a save ended half-way left beside the library, at the next start.

#include "Fakes.h"

#include "tests/InterruptedWrite.h"

#include <algorithm>

namespace LyricadeTest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ModelTest, AStartRemovesWhatAnInterruptedSaveLeftAndNothingElse)
{
    Library stored;
    stored.songs.push_back(storedSong("Kept Song"));
    writeFile(libraryPath(), stored.encode());
    const fs::path songbooks = libraryPath().parent_path();
    ASSERT_TRUE(interruptedWrite(libraryPath()));
    ASSERT_TRUE(interruptedWrite(libraryPath()));
    ASSERT_EQ(namesIn(songbooks).size(), 3u);
    std::vector<std::string> theirs = {".library.json.swp", "library.json.bak", "notes.tmp"};
    for (const auto& name : theirs) writeFile(songbooks / name, "the user's");

    AppModel& m = make();
    EXPECT_EQ(m.library().songs, stored.songs);
    theirs.push_back("library.json");
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(namesIn(songbooks), theirs);
    EXPECT_EQ(readFile(songbooks / "notes.tmp"), "the user's");
}

TEST_F(ModelTest, AStartLooksForThemBesideTheFileALinkNames)
{
    const fs::path cloud = dataFolder().parent_path() / "cloud";
    fs::create_directories(cloud);
    fs::create_directories(libraryPath().parent_path());
    fs::create_symlink(cloud / "library.json", libraryPath());
    Library stored;
    stored.songs.push_back(storedSong("Kept Song"));
    writeFile(cloud / "library.json", stored.encode());
    // Saves killed half-way through the link leave their temporaries in the synced folder.
    ASSERT_TRUE(interruptedWrite(libraryPath()));
    ASSERT_TRUE(interruptedWrite(libraryPath()));
    ASSERT_EQ(namesIn(cloud).size(), 3u);
    writeFile(cloud / "notes.tmp", "the user's");

    AppModel& m = make();
    EXPECT_EQ(m.library().songs, stored.songs);
    EXPECT_EQ(namesIn(cloud), (std::vector<std::string>{"library.json", "notes.tmp"}));
    EXPECT_EQ(namesIn(libraryPath().parent_path()), std::vector<std::string>{"library.json"});
    EXPECT_TRUE(fs::is_symlink(libraryPath()));
}

} // namespace
} // namespace LyricadeTest
