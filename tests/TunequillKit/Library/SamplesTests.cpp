#include "TunequillKit/Library/Samples.h"

#include "TunequillKit/Song/SongFile.h"

#include <gtest/gtest.h>

using namespace TunequillKit;

TEST(Samples, EightSongsInOrderEachParsingCleanly)
{
    const char* files[] = {"Amazing Grace.cho",    "Holy, Holy, Holy.cho",         "Shall We Gather at the River.cho",
                           "Simple Gifts.cho",     "Swing Low, Sweet Chariot.cho", "Down in the Valley.cho",
                           "Red River Valley.txt", "Home on the Range.cho"};
    const char* keys[] = {"G", "D", "G", "F", "A", "C", "D", "G"};
    Library lib = Samples::library();
    ASSERT_EQ(Samples::all.size(), 8u);
    ASSERT_EQ(lib.songs.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(Samples::all[i].file, files[i]);
        Song song = lib.songs[i].song();
        EXPECT_EQ(song.title + (i == 6 ? ".txt" : ".cho"), files[i]);
        EXPECT_EQ(song.key, Key::parse(keys[i])) << files[i];
        EXPECT_TRUE(song.warnings.empty()) << files[i];
        EXPECT_FALSE(lib.songs[i].fileName);
        EXPECT_EQ(lib.songs[i].added.unixTime(), 1791000000.0 + static_cast<double>(i));
        if (i != 6) {
            EXPECT_EQ(lib.songs[i].source, Samples::all[i].text) << files[i];
        }
    }
    EXPECT_EQ(lib.songs[2].song().capo, 3);
    EXPECT_EQ(lib.songs[5].song().definitions.size(), 2u);
    EXPECT_EQ(lib.songs[7].song().sections.front().kind, SectionKind::tab);
    EXPECT_EQ(lib.songs[7].song().sections.front().lines.size(), 4u);
}

TEST(Samples, ThePlainTextSampleIsStoredAsChordPro)
{
    EXPECT_EQ(detectSongFormat(Samples::redRiverValleyPlain), SongFormat::plainText);
    Library lib = Samples::library();
    const std::string& source = lib.songs[6].source;
    EXPECT_EQ(source.rfind("{title: Red River Valley}\n{artist: Traditional}\n{key: D}\n", 0), 0u) << source;
    Song song = lib.songs[6].song();
    ASSERT_EQ(song.sections.size(), 2u);
    EXPECT_EQ(song.sections[0].kind, SectionKind::verse);
    EXPECT_EQ(song.sections[0].label, "Verse 1");
    EXPECT_EQ(song.sections[1].kind, SectionKind::chorus);
    EXPECT_EQ(song.sections[1].label, "Chorus");
    EXPECT_EQ(song.sections[1].lines.size(), 4u);
    EXPECT_EQ(song.chordTokens(), (std::vector<std::string>{"D", "A7", "G"}));
    EXPECT_EQ(song.firstLine(), "From this valley they say you are going,");
}

TEST(Samples, BooksReferToTheirSongsByTitle)
{
    Library lib = Samples::library();
    ASSERT_EQ(lib.books.size(), 2u);
    const Songbook& hymns = lib.books[0];
    const Songbook& campfire = lib.books[1];
    EXPECT_EQ(hymns.name, "Sunday Hymns");
    EXPECT_EQ(hymns.kind, BookKind::book);
    EXPECT_EQ(hymns.subtitle, "Sample songbook");
    EXPECT_EQ(hymns.settings, BookSettings::forKind(BookKind::book));
    EXPECT_EQ(campfire.name, "Campfire Night");
    EXPECT_EQ(campfire.kind, BookKind::setList);
    EXPECT_EQ(campfire.subtitle, "Saturday at the lake");
    EXPECT_EQ(campfire.settings.fontSize, 20);
    EXPECT_TRUE(campfire.settings.setListPage);
    EXPECT_FALSE(campfire.settings.tableOfContents);
    EXPECT_FALSE(campfire.settings.index);

    auto titles = [&](const Songbook& book) {
        std::vector<std::string> out;
        for (const SongEntry& e : book.entries) {
            EXPECT_EQ(e.transpose, 0);
            EXPECT_FALSE(e.capo);
            for (const StoredSong& s : lib.songs)
                if (s.id == e.songID) out.push_back(s.song().title);
        }
        return out;
    };
    EXPECT_EQ(titles(hymns), (std::vector<std::string>{"Amazing Grace", "Holy, Holy, Holy", "Shall We Gather at the River",
                                                       "Simple Gifts", "Swing Low, Sweet Chariot"}));
    EXPECT_EQ(titles(campfire), (std::vector<std::string>{"Down in the Valley", "Red River Valley", "Home on the Range",
                                                          "Swing Low, Sweet Chariot", "Amazing Grace"}));
}

TEST(Samples, EveryCallGivesFreshIdentifiers)
{
    Library a = Samples::library(), b = Samples::library();
    for (std::size_t i = 0; i < a.songs.size(); ++i) {
        EXPECT_NE(a.songs[i].id, b.songs[i].id);
        EXPECT_EQ(a.songs[i].source, b.songs[i].source);
    }
    EXPECT_NE(a.books[0].id, b.books[0].id);
    EXPECT_NE(a.books[1].entries[0].id, b.books[1].entries[0].id);
    EXPECT_EQ(a.books[1].name, b.books[1].name);
}
