#include "Platform/FileWrite.h"
#include "tests/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Platform::FileWriteError;
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

} // namespace
