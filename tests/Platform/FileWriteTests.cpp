#include "Platform/FileWrite.h"
#include "tests/FileSizeLimit.h"
#include "tests/InterruptedWrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Platform::FileWriteError;
using Platform::removeAbandonedTemporaries;
using Platform::writeFileAtomically;

class FileWriteTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("filewrite-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    static std::string contents(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto& entry : fs::directory_iterator(folder)) result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }

    fs::path folder;
};

TEST_F(FileWriteTest, ReplacesWholeFileKeepingPermissionsAndLinks)
{
    const auto target = folder / "library.json";
    writeFileAtomically(target, std::string_view("first"));
    EXPECT_EQ(contents(target), "first");

    ::chmod(target.c_str(), 0640);
    const std::vector<std::uint8_t> bytes(70000, 'x');
    writeFileAtomically(target, bytes);
    EXPECT_EQ(contents(target), std::string(70000, 'x'));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Through a link, the file it names is replaced and the link stays.
    const auto link = folder / "link.json";
    fs::create_symlink(target, link);
    writeFileAtomically(link, std::string_view("third"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(target), "third");

    EXPECT_EQ(names(), (std::vector<std::string>{"library.json", "link.json"}));
}

TEST_F(FileWriteTest, FailureLeavesOldFileAndGivesSystemReason)
{
    const auto target = folder / "book.pdf";
    writeFileAtomically(target, std::string_view("old contents"));

    {
        // Half the bytes fit: the write fails part way through.
        FileSizeLimit limit(32768);
        const std::vector<std::uint8_t> bytes(65536, 'n');
        try {
            writeFileAtomically(target, bytes);
            ADD_FAILURE() << "a write over the size limit succeeded";
        } catch (const FileWriteError& error) {
            EXPECT_STREQ(error.what(), std::strerror(EFBIG));
        }
    }
    EXPECT_EQ(contents(target), "old contents");
    EXPECT_EQ(names(), std::vector<std::string>{"book.pdf"});

    struct Case {
        fs::path target;
        int error;
    };
    fs::create_directory(folder / "a folder");
    for (const auto& [where, error] : {Case{folder / "missing" / "x.pdf", ENOENT}, Case{folder / "a folder", EISDIR}}) {
        try {
            writeFileAtomically(where, std::string_view("data"));
            ADD_FAILURE() << where << " was written";
        } catch (const FileWriteError& e) {
            EXPECT_STREQ(e.what(), std::strerror(error)) << where;
        }
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"a folder", "book.pdf"}));
}

TEST_F(FileWriteTest, EveryNameTheFileSystemTakesIsWritten)
{
    std::string cjk;
    for (int i = 0; i < 82; ++i) cjk += "\u540d"; // three bytes each
    for (const std::string& name : {std::string(250, 'a'), std::string(255, 'b'), cjk + ".pdf"}) {
        ASSERT_LE(name.size(), 255u);
        const auto target = folder / name;
        EXPECT_NO_THROW(writeFileAtomically(target, std::string_view("pages"))) << name.size() << " bytes";
        EXPECT_EQ(contents(target), "pages");
        EXPECT_NO_THROW(writeFileAtomically(target, std::string_view("again")));
        EXPECT_EQ(contents(target), "again");
    }
    EXPECT_EQ(names().size(), 3u);
}

TEST_F(FileWriteTest, ADanglingLinkHasTheFileItNamesWritten)
{
    // One link and a chain of two, both naming a file that is not there yet.
    fs::create_symlink("named.json", folder / "link.json");
    fs::create_symlink("middle.json", folder / "chain.json");
    fs::create_symlink(folder / "end.json", folder / "middle.json");
    writeFileAtomically(folder / "link.json", std::string_view("through the link"));
    writeFileAtomically(folder / "chain.json", std::string_view("through the chain"));
    EXPECT_EQ(fs::read_symlink(folder / "link.json"), "named.json");
    EXPECT_EQ(contents(folder / "named.json"), "through the link");
    EXPECT_TRUE(fs::is_symlink(folder / "chain.json"));
    EXPECT_TRUE(fs::is_symlink(folder / "middle.json"));
    EXPECT_EQ(contents(folder / "end.json"), "through the chain");

    // A file that can't be made is refused with the reason; the link stays.
    fs::create_symlink("gone/x.json", folder / "nowhere.json");
    fs::create_symlink("loop-b.json", folder / "loop-a.json");
    fs::create_symlink("loop-a.json", folder / "loop-b.json");
    struct Case {
        const char* name;
        int error;
    };
    for (const auto& [name, error] : {Case{"nowhere.json", ENOENT}, Case{"loop-a.json", ELOOP}}) {
        try {
            writeFileAtomically(folder / name, std::string_view("data"));
            ADD_FAILURE() << name << " was written";
        } catch (const FileWriteError& e) {
            EXPECT_STREQ(e.what(), std::strerror(error)) << name;
        }
        EXPECT_TRUE(fs::is_symlink(folder / name)) << name;
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"chain.json", "end.json", "link.json", "loop-a.json", "loop-b.json",
                                                 "middle.json", "named.json", "nowhere.json"}));
}

TEST_F(FileWriteTest, AbandonedTemporariesGoAndNothingElse)
{
    const auto target = folder / "library.json";
    writeFileAtomically(target, std::string_view("whole"));
    const auto before = names();
    // One leftover whose write still runs (its lock held here), then one abandoned.
    ASSERT_TRUE(interruptedWrite(target));
    auto afterFirst = names();
    ASSERT_EQ(afterFirst.size(), 2u);
    const std::string held = afterFirst[0] == "library.json" ? afterFirst[1] : afterFirst[0];
    const int lock = ::open((folder / held).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    ASSERT_TRUE(interruptedWrite(target));
    ASSERT_EQ(names().size(), 3u);

    // What earlier versions left, names that only look alike, and an empty
    // temporary, which may be a write that has not locked it yet.
    const std::vector<std::string> kept = {".book.pdf.1-2-3.tmp", ".library.json.tmp", ".library.json.1-2.tmp",
                                           "library.json.bak", "notes.tmp", ".folmira-.tmp"};
    const std::string justMade = ".folmira-000000000000.tmp";
    std::ofstream(folder / justMade);
    for (const auto& name : kept) std::ofstream(folder / name) << "mine";
    std::ofstream(folder / ".library.json.4242-0-123456.tmp") << "partial";

    EXPECT_EQ(removeAbandonedTemporaries(target), 2u);
    auto expected = kept;
    expected.insert(expected.end(), {"library.json", held, justMade});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(contents(target), "whole");

    ::close(lock);
    EXPECT_EQ(removeAbandonedTemporaries(target), 1u);
    EXPECT_EQ(names().size(), kept.size() + before.size() + 1);
}

TEST_F(FileWriteTest, TemporariesAreLookedForBesideTheFileALinkNames)
{
    // The library kept in a synced folder, reached through a link.
    fs::create_directories(folder / "cloud");
    fs::create_directories(folder / "data");
    const auto link = folder / "data" / "library.json";
    fs::create_symlink("../cloud/library.json", link);
    writeFileAtomically(link, std::string_view("whole"));
    ASSERT_TRUE(interruptedWrite(link));
    ASSERT_TRUE(interruptedWrite(link));
    ASSERT_EQ(std::distance(fs::directory_iterator(folder / "cloud"), {}), 3);

    EXPECT_EQ(removeAbandonedTemporaries(link), 2u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "cloud"), {}), 1);
    EXPECT_EQ(contents(folder / "cloud" / "library.json"), "whole");
    EXPECT_TRUE(fs::is_symlink(link));

    // A link loop names no other folder, and its own is still looked at.
    fs::create_symlink("loop.json", folder / "data" / "loop.json");
    std::ofstream(folder / "data" / ".loop.json.1-2-3.tmp") << "partial";
    EXPECT_EQ(removeAbandonedTemporaries(folder / "data" / "loop.json"), 1u);
}

TEST_F(FileWriteTest, ACleanUpRunningBesideWritesNeverTakesTheirTemporaries)
{
    // Another instance on the same data folder cleans while this one saves:
    // a temporary is made and locked in two steps, and a clean-up between
    // them once made the save fail. In memory where there is room: syncs
    // to a disk would make the thousands of writes slow.
    std::error_code ec;
    const fs::path shm = "/dev/shm";
    const fs::path place = fs::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0
                               ? shm / ("filewrite-race-" + std::to_string(::getpid()))
                               : folder / "race";
    fs::create_directories(place);
    const auto target = place / "library.json";
    constexpr int writes = 3000;
    std::atomic<bool> writing = true;
    std::atomic<int> cleanUps = 0;
    std::thread cleaner([&] {
        while (writing) {
            removeAbandonedTemporaries(target);
            ++cleanUps;
        }
    });
    int failures = 0;
    std::string lastFailure;
    for (int i = 0; i < writes; ++i) {
        try {
            writeFileAtomically(target, std::to_string(i));
        } catch (const FileWriteError& error) {
            ++failures;
            lastFailure = error.what();
        }
    }
    writing = false;
    cleaner.join();
    EXPECT_EQ(failures, 0) << lastFailure;
    EXPECT_GT(cleanUps, 0);
    EXPECT_EQ(contents(target), std::to_string(writes - 1));
    EXPECT_EQ(std::distance(fs::directory_iterator(place), {}), 1);
    fs::remove_all(place);
}

} // namespace
