#include "FolmiraKit/Model/Folmira.h"

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

using namespace FolmiraKit;
namespace fs = std::filesystem;

namespace {

class EntryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("folmira-entry-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, const std::string& content)
    {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    ConversionError refusal(const fs::path& path)
    {
        try {
            Folmira::read(path, false);
        } catch (const ConversionError& error) {
            return error;
        }
        ADD_FAILURE() << path << " was not refused";
        return ConversionError(ConversionError::Reason::damaged, "");
    }

    fs::path dir_;
};

const std::string olderWord =
    "This is an older Word file (.doc). Open it in Word or LibreOffice Writer and save it as .docx, then drop that in.";

std::string otherKind(const std::string& extension)
{
    return "Folmira reads text (.txt), Markdown (.md), RTF, Word (.docx) and PDFs with text in them. “." + extension +
           "” files aren’t one of those.";
}

} // namespace

TEST_F(EntryTest, TitleAndReaderFromTheFileName)
{
    BigDocument doc = Folmira::read(write("Report.TXT", "Hello there\n"), false);
    EXPECT_EQ(doc.title, "Report");
    EXPECT_EQ(doc.source, BigDocument::Source::text);
}

TEST_F(EntryTest, RefusalsInTheirOrder)
{
    struct Case {
        std::string name;
        std::string content;
        ConversionError::Reason reason;
        std::string message;
    };
    const Case cases[] = {
        {"letter.doc", "x", ConversionError::Reason::unsupported, olderWord},
        {"LETTER.DOC", "x", ConversionError::Reason::unsupported, olderWord},
        {"deck.Pages", "x", ConversionError::Reason::unsupported, otherKind("Pages")},
        {"noextension", "x", ConversionError::Reason::unsupported, otherKind("")},
        {"a.pdf", "", ConversionError::Reason::empty, "This file is empty: there’s no text to make large."},
        {"a.xyz", "", ConversionError::Reason::unsupported, otherKind("xyz")},
        {"blank.txt", " \n\t\n\n", ConversionError::Reason::empty, "This file is empty: there’s no text to make large."},
    };
    for (const auto& c : cases) {
        ConversionError error = refusal(write(c.name, c.content));
        EXPECT_EQ(error.reason, c.reason) << c.name;
        EXPECT_EQ(error.message(), c.message) << c.name;
    }
    ConversionError missing = refusal(dir_ / "a.docx");
    EXPECT_EQ(missing.reason, ConversionError::Reason::damaged);
    EXPECT_EQ(missing.message(), "“a.docx” couldn’t be opened.");
    EXPECT_EQ(refusal(dir_).reason, ConversionError::Reason::damaged);
    // A FIFO would block the read for ever: only regular files are opened.
    ASSERT_EQ(::mkfifo((dir_ / "pipe.txt").c_str(), 0600), 0);
    EXPECT_EQ(refusal(dir_ / "pipe.txt").message(), "“pipe.txt” couldn’t be opened.");
}

TEST(Entry, SourceForExtension)
{
    EXPECT_EQ(Folmira::source("Markdown"), BigDocument::Source::markdown);
    EXPECT_EQ(Folmira::source("TEXT"), BigDocument::Source::text);
    EXPECT_EQ(Folmira::source("docx"), BigDocument::Source::word);
    EXPECT_FALSE(Folmira::source("rtfd"));
    EXPECT_FALSE(Folmira::source("doc"));
    EXPECT_FALSE(Folmira::source(""));
    for (auto extension : Folmira::extensions) EXPECT_TRUE(Folmira::source(extension)) << extension;
}

TEST_F(EntryTest, TitleKeepsInnerDots)
{
    EXPECT_EQ(Folmira::read(write("archive.tar.txt", "Hi"), false).title, "archive.tar");
}

TEST_F(EntryTest, AHugeFileIsRefusedBeforeItIsRead)
{
    // Sparse: the file claims more than 1 GB without taking the disk space.
    fs::path big = write("big.txt", "x");
    fs::resize_file(big, (std::uintmax_t(1) << 30) + 1);
    ConversionError error = refusal(big);
    EXPECT_EQ(error.reason, ConversionError::Reason::unsupported);
    EXPECT_EQ(error.message(), "“big.txt” is too large to open: Folmira reads files up to 1 GB.");
}

TEST(Entry, KeepLineBreaksRebuildsPlainText)
{
    std::string text = "Title\n\nA longer first sentence that wraps\nonto a second line of the file.\n";
    std::vector<std::uint8_t> data(text.begin(), text.end());
    BigDocument joined = Folmira::readBytes(data, "txt", "t", std::nullopt, false);
    BigDocument kept = Folmira::readBytes(data, "txt", "t", std::nullopt, true);
    ASSERT_EQ(joined.blocks.size(), 2u);
    ASSERT_EQ(kept.blocks.size(), 2u);
    EXPECT_FALSE(joined.blocks[1].as<Block::Paragraph>()->lineBreaks);
    const auto* paragraph = kept.blocks[1].as<Block::Paragraph>();
    ASSERT_TRUE(paragraph);
    EXPECT_TRUE(paragraph->lineBreaks);
    EXPECT_EQ(plain(paragraph->runs), "A longer first sentence that wraps\nonto a second line of the file.");
    EXPECT_EQ(kept.blocks[0], joined.blocks[0]);
}
